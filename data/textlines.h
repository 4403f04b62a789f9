// Reading text files line by line for the importers: any line end (LF, CRLF, CR), lines of
// any length, bytes handed out undecoded, and the decoding of UTF-8 with a Windows-1252
// fallback for files that are not valid UTF-8. A UTF-16 or UTF-32 file (either byte order) is
// handed out as UTF-8: known by its byte-order mark, or without one by the zero bytes of its
// first character, which in a file of names and numbers is below 256.
#pragma once

#include <QFile>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TextEncoding { Utf8, Windows1252 };

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);
// The bytes as text in the given encoding.
QString DecodeText(std::string_view bytes, TextEncoding encoding);
// The bytes as UTF-8 (Windows-1252 bytes converted), appended to `out`.
void AppendAsUtf8(std::string& out, std::string_view bytes, TextEncoding encoding);

class CTextLineReader {
public:
    // Opens the file; raises KvError 53 when it is missing and 75 when it cannot be read.
    // Reading a UTF-16 or UTF-32 file that breaks its encoding's rules raises KvError 57.
    explicit CTextLineReader(const QString& path);
    // The next line without its line end (a UTF-8 byte-order mark at the start is dropped);
    // valid until the next call. False at the end of the file.
    bool Next(std::string_view& line);
    // Bytes of the file handed out so far (with their line ends), and the file's size: how
    // far a reading has come. Of a UTF-16 or UTF-32 file, in the proportion of its bytes to
    // theirs.
    int64_t Consumed() const
    {
        const size_t waiting = m_end - m_pos;
        return m_added == m_read ? m_read - int64_t(waiting)
                                 : m_read - int64_t(double(waiting) * double(m_read) / double(m_added));
    }
    int64_t Size() const { return m_file.size(); }

private:
    bool Fill();    // reads more bytes; false at the end of the file

    QFile m_file;
    std::vector<char> m_buf;
    size_t m_pos = 0;
    size_t m_end = 0;
    int64_t m_read = 0;    // bytes read from the file
    int64_t m_added = 0;   // bytes put into the buffer (not as many as read of a wide file)
    bool m_eof = false;
    bool m_first = true;
    // Set for a UTF-16 or UTF-32 file: its text goes into the buffer as UTF-8.
    enum class Wide : uint8_t { No, Utf16LE, Utf16BE, Utf32LE, Utf32BE };
    Wide m_wide = Wide::No;
    std::string m_partial;   // bytes read of a character whose other bytes come with the next read
    void AddWide(const QByteArray& raw);
    [[noreturn]] static void ThrowNotWide(Wide wide, int64_t at);
};
