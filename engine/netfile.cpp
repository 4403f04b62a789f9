#include "engine/netfile.h"

#include "engine/korvan_engine.h"

#include <array>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvengine {

namespace {

constexpr uint8_t kMagic[4] = {'K', 'V', 'N', 'F'};
constexpr uint16_t kVersion = 1;
constexpr size_t kHeaderSize = 4 + 2 + 2 + 4;
constexpr size_t kTrailerSize = 4;
// No sensible network comes near this; a larger file is not ours.
constexpr off_t kMaxFileSize = off_t(1) << 30;

std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[i] = c;
    }
    return t;
}

bool WriteAll(int fd, const uint8_t* p, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

void ByteWriter::U16(uint16_t v)
{
    mBytes.push_back(static_cast<uint8_t>(v));
    mBytes.push_back(static_cast<uint8_t>(v >> 8));
}

void ByteWriter::U32(uint32_t v)
{
    for (int s = 0; s < 32; s += 8)
        mBytes.push_back(static_cast<uint8_t>(v >> s));
}

void ByteWriter::U64(uint64_t v)
{
    for (int s = 0; s < 64; s += 8)
        mBytes.push_back(static_cast<uint8_t>(v >> s));
}

void ByteWriter::F32(float v) { U32(std::bit_cast<uint32_t>(v)); }

void ByteWriter::F32s(const float* v, size_t n)
{
    mBytes.reserve(mBytes.size() + 4 * n);
    for (size_t i = 0; i < n; ++i)
        F32(v[i]);
}

bool ByteReader::Take(size_t n)
{
    if (mFailed || mSize - mPos < n) {
        mFailed = true;
        return false;
    }
    return true;
}

uint16_t ByteReader::U16()
{
    if (!Take(2))
        return 0;
    const uint16_t v = static_cast<uint16_t>(mData[mPos] | (mData[mPos + 1] << 8));
    mPos += 2;
    return v;
}

uint32_t ByteReader::U32()
{
    if (!Take(4))
        return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | mData[mPos + static_cast<size_t>(i)];
    mPos += 4;
    return v;
}

uint64_t ByteReader::U64()
{
    const uint64_t lo = U32();
    const uint64_t hi = U32();
    return lo | (hi << 32);
}

float ByteReader::F32() { return std::bit_cast<float>(U32()); }

uint32_t Crc32(const uint8_t* data, size_t size)
{
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> WrapNetFile(NetKind kind, const std::vector<uint8_t>& payload)
{
    ByteWriter w;
    w.Bytes().reserve(kHeaderSize + payload.size() + kTrailerSize);
    for (uint8_t b : kMagic)
        w.Bytes().push_back(b);
    w.U16(kVersion);
    w.U16(static_cast<uint16_t>(kind));
    w.U32(static_cast<uint32_t>(payload.size()));
    w.Bytes().insert(w.Bytes().end(), payload.begin(), payload.end());
    w.U32(Crc32(w.Bytes().data(), w.Bytes().size()));
    return std::move(w.Bytes());
}

int32_t UnwrapNetFile(const std::vector<uint8_t>& image, NetKind expected,
                      std::vector<uint8_t>& payload)
{
    if (image.size() < kHeaderSize + kTrailerSize
        || std::memcmp(image.data(), kMagic, sizeof kMagic) != 0)
        return KV_ENGINE_ERR_BAD_FILE;
    ByteReader r(image.data() + 4, image.size() - 4);
    const uint16_t version = r.U16();
    const uint16_t kind = r.U16();
    const uint32_t length = r.U32();
    if (version != kVersion || length != image.size() - kHeaderSize - kTrailerSize)
        return KV_ENGINE_ERR_BAD_FILE;
    const size_t body = image.size() - kTrailerSize;
    ByteReader tail(image.data() + body, kTrailerSize);
    if (tail.U32() != Crc32(image.data(), body))
        return KV_ENGINE_ERR_BAD_FILE;
    if (kind != static_cast<uint16_t>(NetKind::BackProp)
        && kind != static_cast<uint16_t>(NetKind::SFam))
        return KV_ENGINE_ERR_BAD_FILE;
    if (kind != static_cast<uint16_t>(expected))
        return KV_ENGINE_ERR_WRONG_KIND;
    payload.assign(image.begin() + kHeaderSize, image.begin() + static_cast<ptrdiff_t>(body));
    return KV_ENGINE_SUCCESS;
}

int32_t WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes)
{
    // The aside name keeps the target's stem and ends in ".tmp", so that a sweep of the
    // engine's temporary files also finds one left behind by a crash. A stem near the longest
    // name a folder holds is cut short, or a name that is fine itself could not be written.
    constexpr size_t kAsideTail = sizeof ".XXXXXX.tmp" - 1;
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string aside = path;
    if (aside.size() - nameStart + kAsideTail > NAME_MAX)
        aside.resize(nameStart + NAME_MAX - kAsideTail);
    aside += ".XXXXXX.tmp";
    const int fd = ::mkostemps(aside.data(), 4, O_CLOEXEC);
    if (fd < 0)
        return KV_ENGINE_ERR_FILE_IO;
    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(aside.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(aside.c_str());
        return KV_ENGINE_ERR_FILE_IO;
    }
    return KV_ENGINE_SUCCESS;
}

int32_t ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    // Not blocking: opening a named pipe would otherwise wait for a writer for ever. Reads of
    // the regular file that passes the check below do not heed the flag.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return KV_ENGINE_ERR_FILE_IO;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return KV_ENGINE_ERR_FILE_IO;
    }
    if (st.st_size > kMaxFileSize) {
        ::close(fd);
        return KV_ENGINE_ERR_BAD_FILE;
    }
    bytes.clear();
    uint8_t buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return KV_ENGINE_ERR_FILE_IO;
        }
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buf, buf + n);
        if (bytes.size() > static_cast<size_t>(kMaxFileSize)) {
            ::close(fd);
            return KV_ENGINE_ERR_BAD_FILE;
        }
    }
    ::close(fd);
    return KV_ENGINE_SUCCESS;
}

}  // namespace kvengine
