// Arithmetic kernels shared by the networks: a polynomial exponential and the logistic built
// on it, written without library calls or tables so that loops over them vectorise and give
// the same bits in a scalar and a vector build, or are written on vectors directly; and the
// vector of eight floats the SFAM choice works in.
#pragma once

#include <bit>
#include <cstdint>

// Float8 values are used inside the kernels, never passed to a function that is not inlined;
// gcc's note that such vectors would be passed differently without AVX does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace kvengine {

typedef float Float8 __attribute__((vector_size(32)));

// v in every lane of F.
template <class F> constexpr F Splat(float v)
{
    if constexpr (sizeof(F) == sizeof(float))
        return v;
    else
        return F{} + v;
}

// The unsigned integers of the size of F: the bits of a float, or of each lane of a vector.
template <class F> struct BitsOf {
    typedef uint32_t U __attribute__((vector_size(sizeof(F))));
};
template <> struct BitsOf<float> {
    typedef uint32_t U;
};

// e^x for |x| <= 87, within two units of the last place, by the same operations on every lane
// of F, a float or a vector of floats; outside that range the value is nonsense (it is the
// caller's to clamp).
template <class F> constexpr F ExpPolyCore(F x)
{
    typedef typename BitsOf<F>::U U;
    // n = round(x / ln 2): adding and taking away 1.5 * 2^23 rounds to an integer without a
    // branch (the compiler may not reassociate it away: no fast-math here).
    constexpr float kRound = 12582912.0f;
    const F shifted = x * 1.44269504088896341f + kRound;
    const F n = shifted - kRound;
    // x - n ln 2 in two steps: the first constant is exact in few bits, so n * it is exact.
    F r = x - n * 0.693359375f;
    r = r + n * 2.12194440e-4f;
    F p = Splat<F>(1.9875691500e-4f);
    p = p * r + 1.3981999507e-3f;
    p = p * r + 8.3334519073e-3f;
    p = p * r + 4.1665795894e-2f;
    p = p * r + 1.6666665459e-1f;
    p = p * r + 5.0000001201e-1f;
    const F e = p * r * r + r + 1.0f;
    // 2^n from the bits of `shifted`, whose low bits hold n: integer arithmetic on bits is
    // defined for every input, where converting a NaN (a diverged network) to int is not. A NaN
    // makes e NaN, so whatever scale it gives, the result stays NaN.
    const U exponent =
        (std::bit_cast<U>(shifted) - std::bit_cast<uint32_t>(kRound) + 127u) << 23;
    return e * std::bit_cast<F>(exponent);
}

// e^x for |x| <= 87 (clamped outside), within two units of the last place. A NaN gives NaN.
// The value of a clamped x is known beforehand, so it is chosen at the end instead of
// clamping x at the start: the same bits, and the choice waits on nothing.
template <class F> inline F ExpPolyOf(F x)
{
    constexpr float kHigh = ExpPolyCore(87.0f), kLow = ExpPolyCore(-87.0f);
    const F e = ExpPolyCore(x);
    const F low = x < Splat<F>(-87.0f) ? Splat<F>(kLow) : e;
    return x > Splat<F>(87.0f) ? Splat<F>(kHigh) : low;
}

template <class F> inline F LogisticOf(F x) { return 1.0f / (1.0f + ExpPolyOf(-x)); }

inline float ExpPoly(float x) { return ExpPolyOf(x); }
inline float Logistic(float x) { return LogisticOf(x); }

}  // namespace kvengine

#pragma GCC diagnostic pop

// A function marked so is built twice, for AVX2 and for any x86-64, and the loader picks one.
// Both builds do the same operations in the same order without fused multiply-adds, so they
// give identical results.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define KV_HOT_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KV_HOT_CLONES
#endif
