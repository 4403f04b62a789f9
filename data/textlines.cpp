#include "data/textlines.h"

#include "core/kverror.h"
#include "core/pathutils.h"

#include <cstring>

namespace {

// Windows-1252 code points of the bytes 0x80..0x9F; the rest of the code page is Latin-1.
// Bytes the code page leaves undefined keep their own value, as the platform's decoder does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t Cp1252(unsigned char b)
{
    return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t(b);
}

constexpr size_t kChunk = 1 << 20;

// UTF-32's little-endian byte-order mark begins as UTF-16's does; without a mark, a first
// character below 256 shows the encoding by its zero bytes ("a" is 61 00 in UTF-16LE, 00 00 00
// 61 in UTF-32BE). Returns the size of the mark.
template <typename Wide>
int WideEncoding(const QByteArray& head, Wide& wide)
{
    const auto at = [&](qsizetype i) { return i < head.size() ? int(uchar(head[i])) : -1; };
    const bool four = head.size() >= 4;
    const bool two = head.size() >= 2;
    struct Form {
        bool matches;
        Wide wide;
        int mark;
    };
    const Form forms[] = {
        {four && at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0, Wide::Utf32LE, 4},
        {four && at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF, Wide::Utf32BE, 4},
        {at(0) == 0xFF && at(1) == 0xFE, Wide::Utf16LE, 2},
        {at(0) == 0xFE && at(1) == 0xFF, Wide::Utf16BE, 2},
        {four && at(0) != 0 && at(1) == 0 && at(2) == 0 && at(3) == 0, Wide::Utf32LE, 0},
        {four && at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) != 0, Wide::Utf32BE, 0},
        {two && at(0) == 0 && at(1) != 0, Wide::Utf16BE, 0},
        {two && at(0) != 0 && at(1) == 0, Wide::Utf16LE, 0},
    };
    for (const Form& f : forms) {
        if (f.matches) {
            wide = f.wide;
            return f.mark;
        }
    }
    return 0;
}

// Writes the character as UTF-8 at `d` (room for four bytes); returns the bytes written.
size_t EncodeUtf8(uint32_t cp, char* d)
{
    if (cp < 0x80) {
        d[0] = char(cp);
        return 1;
    }
    if (cp < 0x800) {
        d[0] = char(0xC0 | (cp >> 6));
        d[1] = char(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        d[0] = char(0xE0 | (cp >> 12));
        d[1] = char(0x80 | ((cp >> 6) & 0x3F));
        d[2] = char(0x80 | (cp & 0x3F));
        return 3;
    }
    d[0] = char(0xF0 | (cp >> 18));
    d[1] = char(0x80 | ((cp >> 12) & 0x3F));
    d[2] = char(0x80 | ((cp >> 6) & 0x3F));
    d[3] = char(0x80 | (cp & 0x3F));
    return 4;
}

} // namespace

bool IsValidUtf8(std::string_view bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        // Eight plain ASCII bytes at a time: most of any data file.
        while (i + 8 <= n) {
            uint64_t w;
            std::memcpy(&w, s + i, 8);
            if (w & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)
            || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

QString DecodeText(std::string_view bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8)
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    QString out(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (size_t i = 0; i < bytes.size(); ++i)
        d[i] = QChar(Cp1252(static_cast<unsigned char>(bytes[i])));
    return out;
}

void AppendAsUtf8(std::string& out, std::string_view bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8) {
        out.append(bytes);
        return;
    }
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out.push_back(ch);
            continue;
        }
        char utf8[4];
        out.append(utf8, EncodeUtf8(Cp1252(b), utf8));
    }
}

CTextLineReader::CTextLineReader(const QString& path) : m_file(path)
{
    // A file that is there but cannot be read says why (a loop of links, no permission, a pipe).
    Utilities::OpenForReading(m_file);
    m_buf.resize(kChunk);
    const int mark = WideEncoding(m_file.peek(4), m_wide);
    m_read = m_file.read(mark).size();
    m_added = m_read;
}

bool CTextLineReader::Fill()
{
    if (m_eof)
        return false;
    if (m_pos > 0) {
        std::memmove(m_buf.data(), m_buf.data() + m_pos, m_end - m_pos);
        m_end -= m_pos;
        m_pos = 0;
    }
    if (m_end == m_buf.size())
        m_buf.resize(m_buf.size() * 2);
    if (m_wide != Wide::No) {
        const QByteArray raw = m_file.read(qint64(kChunk));
        if (raw.isEmpty() && m_file.error() != QFileDevice::NoError)
            throw KvError(KvErr::DeviceIO);
        if (raw.isEmpty()) {
            if (!m_partial.empty())
                ThrowNotWide(m_wide, m_read - int64_t(m_partial.size()));
            m_eof = true;
            return false;
        }
        AddWide(raw);
        return true;
    }
    const qint64 got = m_file.read(m_buf.data() + m_end, qint64(m_buf.size() - m_end));
    if (got < 0)
        throw KvError(KvErr::DeviceIO);
    if (got == 0) {
        m_eof = true;
        return false;
    }
    m_end += size_t(got);
    m_read += got;
    m_added += got;
    return true;
}

[[noreturn]] void CTextLineReader::ThrowNotWide(Wide wide, int64_t at)
{
    static const char* const names[] = {"", "UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE"};
    throw KvError(KvErr::DeviceIO, {},
                  QStringLiteral("The file is not %1 text throughout: the bytes at byte %2 are no character of it.")
                      .arg(QLatin1String(names[int(wide)]))
                      .arg(at));
}

// The characters of the bytes read, with those of the last read that waited for these, go into
// the buffer as UTF-8. A value the encoding cannot hold (half a character, a number beyond
// Unicode) is refused rather than imported changed.
void CTextLineReader::AddWide(const QByteArray& raw)
{
    const int64_t partialAt = m_read - int64_t(m_partial.size());
    m_partial.append(raw.constData(), size_t(raw.size()));
    const auto* p = reinterpret_cast<const unsigned char*>(m_partial.data());
    const size_t n = m_partial.size();
    // Two bytes become at most three of UTF-8, four at most four.
    if (m_buf.size() - m_end < n * 3 / 2 + 4)
        m_buf.resize(m_end + n * 3 / 2 + 4);
    const bool little = m_wide == Wide::Utf16LE || m_wide == Wide::Utf32LE;
    const auto unit16 = [&](size_t i) {
        return little ? uint32_t(p[i]) | uint32_t(p[i + 1]) << 8 : uint32_t(p[i]) << 8 | uint32_t(p[i + 1]);
    };
    const size_t before = m_end;
    size_t i = 0;
    if (m_wide == Wide::Utf16LE || m_wide == Wide::Utf16BE) {
        while (i + 2 <= n) {
            uint32_t cp = unit16(i);
            size_t size = 2;
            if (cp >= 0xD800 && cp < 0xDC00) {
                if (i + 4 > n)
                    break;
                const uint32_t low = unit16(i + 2);
                if (low < 0xDC00 || low > 0xDFFF)
                    ThrowNotWide(m_wide, partialAt + int64_t(i));
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                size = 4;
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                ThrowNotWide(m_wide, partialAt + int64_t(i));
            }
            m_end += EncodeUtf8(cp, m_buf.data() + m_end);
            i += size;
        }
    } else {
        for (; i + 4 <= n; i += 4) {
            const uint32_t cp = little ? uint32_t(p[i]) | uint32_t(p[i + 1]) << 8 | uint32_t(p[i + 2]) << 16
                                             | uint32_t(p[i + 3]) << 24
                                       : uint32_t(p[i]) << 24 | uint32_t(p[i + 1]) << 16
                                             | uint32_t(p[i + 2]) << 8 | uint32_t(p[i + 3]);
            if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                ThrowNotWide(m_wide, partialAt + int64_t(i));
            m_end += EncodeUtf8(cp, m_buf.data() + m_end);
        }
    }
    m_partial.erase(0, i);
    m_read += raw.size();
    m_added += int64_t(m_end - before);
}

bool CTextLineReader::Next(std::string_view& line)
{
    size_t scan = m_pos;
    for (;;) {
        const char* b = m_buf.data();
        size_t k = scan;
        while (k < m_end && b[k] != '\n' && b[k] != '\r')
            ++k;
        if (k < m_end) {
            // A CR at the very end of the bytes read so far may be followed by its LF.
            if (b[k] == '\r' && k + 1 == m_end && !m_eof) {
                const size_t offset = k - m_pos;
                Fill();
                scan = m_pos + offset;
                if (m_pos + offset + 1 < m_end || m_eof) {
                    b = m_buf.data();
                    k = scan;
                } else {
                    continue;
                }
            }
            size_t start = m_pos;
            const size_t stop = k;
            size_t next = k + 1;
            if (b[k] == '\r' && next < m_end && b[next] == '\n')
                ++next;
            m_pos = next;
            if (m_first) {
                m_first = false;
                if (stop - start >= 3 && std::memcmp(b + start, "\xEF\xBB\xBF", 3) == 0)
                    start += 3;
            }
            line = std::string_view(b + start, stop - start);
            return true;
        }
        const size_t offset = k - m_pos;
        if (!Fill()) {
            if (m_pos >= m_end)
                return false;
            size_t start = m_pos;
            if (m_first) {
                m_first = false;
                if (m_end - start >= 3 && std::memcmp(m_buf.data() + start, "\xEF\xBB\xBF", 3) == 0)
                    start += 3;
            }
            line = std::string_view(m_buf.data() + start, m_end - start);
            m_pos = m_end;
            return true;
        }
        scan = m_pos + offset;
    }
}
