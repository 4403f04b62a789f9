// Reading text files line by line for the importers: any line end (LF, CRLF, CR), lines of
// any length, bytes handed out undecoded, and the decoding of UTF-8 with a Windows-1252
// fallback for files that are not valid UTF-8. A file that starts with a UTF-16 byte-order
// mark (either byte order) is handed out as UTF-8.
#pragma once

#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <optional>
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
    explicit CTextLineReader(const QString& path);
    // The next line without its line end (a UTF-8 byte-order mark at the start is dropped);
    // valid until the next call. False at the end of the file.
    bool Next(std::string_view& line);
    // Bytes of the file handed out so far (with their line ends), and the file's size: how
    // far a reading has come. Of a UTF-16 file, in the proportion of its bytes to theirs.
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
    int64_t m_added = 0;   // bytes put into the buffer (more than read of a UTF-16 file)
    bool m_eof = false;
    bool m_first = true;
    // Set for a UTF-16 file: its text, decoded across the reads, goes into the buffer as UTF-8.
    std::optional<QStringDecoder> m_utf16;
    QString m_highHalf;
};
