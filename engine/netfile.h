// The engine file: a little-endian envelope (magic, version, kind, payload length, payload,
// CRC-32) around a network's own payload, and the atomic write and whole-file read of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvengine {

enum class NetKind : uint16_t { BackProp = 1, SFam = 2 };

// Appends little-endian values, independent of the machine's byte order.
class ByteWriter {
public:
    void U16(uint16_t v);
    void U32(uint32_t v);
    void U64(uint64_t v);
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F32(float v);
    void F32s(const float* v, size_t n);
    std::vector<uint8_t>& Bytes() { return mBytes; }

private:
    std::vector<uint8_t> mBytes;
};

// Reads little-endian values; any read past the end sets Failed() and yields zeros.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
    uint16_t U16();
    uint32_t U32();
    uint64_t U64();
    int32_t I32() { return static_cast<int32_t>(U32()); }
    float F32();
    size_t Remaining() const { return mSize - mPos; }
    bool Failed() const { return mFailed; }

private:
    bool Take(size_t n);
    const uint8_t* mData;
    size_t mSize;
    size_t mPos = 0;
    bool mFailed = false;
};

uint32_t Crc32(const uint8_t* data, size_t size);

// The complete file image of a payload.
std::vector<uint8_t> WrapNetFile(NetKind kind, const std::vector<uint8_t>& payload);

// Checks the envelope and hands out the payload: 1, or the bad-file / wrong-kind code.
int32_t UnwrapNetFile(const std::vector<uint8_t>& image, NetKind expected,
                      std::vector<uint8_t>& payload);

// Writes beside the target and renames over it, so a reader sees the old file or the new one
// and never a part: 1, or the file input/output code.
int32_t WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes);

// The whole file: 1, the file input/output code, or the bad-file code for an absurd size.
int32_t ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

}  // namespace kvengine
