// Arithmetic kernels shared by the networks: a polynomial exponential and the logistic built
// on it, written without library calls or tables so that loops over them vectorise and give
// the same bits in a scalar and a vector build.
#pragma once

#include <bit>
#include <cstdint>

namespace kvengine {

// e^x for |x| <= 87 (clamped outside), within two units of the last place.
inline float ExpPoly(float x)
{
    x = x > 87.0f ? 87.0f : x;
    x = x < -87.0f ? -87.0f : x;
    // n = round(x / ln 2): adding and taking away 1.5 * 2^23 rounds to an integer without a
    // branch (the compiler may not reassociate it away: no fast-math here).
    constexpr float kRound = 12582912.0f;
    const float n = (x * 1.44269504088896341f + kRound) - kRound;
    // x - n ln 2 in two steps: the first constant is exact in few bits, so n * it is exact.
    float r = x - n * 0.693359375f;
    r = r + n * 2.12194440e-4f;
    float p = 1.9875691500e-4f;
    p = p * r + 1.3981999507e-3f;
    p = p * r + 8.3334519073e-3f;
    p = p * r + 4.1665795894e-2f;
    p = p * r + 1.6666665459e-1f;
    p = p * r + 5.0000001201e-1f;
    const float e = p * r * r + r + 1.0f;
    const float scale = std::bit_cast<float>((static_cast<int32_t>(n) + 127) << 23);
    return e * scale;
}

inline float Logistic(float x) { return 1.0f / (1.0f + ExpPoly(-x)); }

}  // namespace kvengine

// A function marked so is built twice, for AVX2 and for any x86-64, and the loader picks one.
// Both builds do the same operations in the same order without fused multiply-adds, so they
// give identical results.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define KV_HOT_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KV_HOT_CLONES
#endif
