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
        const char16_t cp = Cp1252(b);
        if (cp < 0x800) {
            out.push_back(char(0xC0 | (cp >> 6)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
}

CTextLineReader::CTextLineReader(const QString& path) : m_file(path)
{
    // A file that is there but cannot be read says why (a loop of links, no permission, a pipe).
    Utilities::OpenForReading(m_file);
    m_buf.resize(kChunk);
    const QByteArray mark = m_file.peek(2);
    if (mark == QByteArrayLiteral("\xFF\xFE") || mark == QByteArrayLiteral("\xFE\xFF")) {
        m_utf16.emplace(mark[0] == '\xFF' ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        m_read = m_file.read(2).size();
        m_added = m_read;
    }
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
    if (m_utf16) {
        const QByteArray raw = m_file.read(qint64(kChunk));
        if (raw.isEmpty() && m_file.error() != QFileDevice::NoError)
            throw KvError(KvErr::DeviceIO);
        QString decoded = m_highHalf + QString((*m_utf16)(raw));
        m_highHalf.clear();
        if (raw.isEmpty() && decoded.isEmpty()) {
            m_eof = true;
            return false;
        }
        // The first half of a character beyond 16 bits waits for its second half.
        if (!raw.isEmpty() && !decoded.isEmpty() && decoded.back().isHighSurrogate()) {
            m_highHalf = decoded.back();
            decoded.chop(1);
        }
        const QByteArray text = decoded.toUtf8();
        if (m_buf.size() - m_end < size_t(text.size()))
            m_buf.resize(m_end + size_t(text.size()));
        std::memcpy(m_buf.data() + m_end, text.constData(), size_t(text.size()));
        m_end += size_t(text.size());
        m_read += raw.size();
        m_added += text.size();
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
