// The engine's random numbers: a small permuted congruential generator whose whole state is a
// 64-bit word, so that a network file can carry it and a run repeats bit for bit anywhere.
#pragma once

#include <cstdint>

namespace kvengine {

class Pcg32 {
public:
    explicit Pcg32(uint64_t seed = 0x4B56454E47494E45ULL)
    {
        Next();
        mState += seed;
        Next();
    }
    static Pcg32 FromState(uint64_t state)
    {
        Pcg32 g;
        g.mState = state;
        return g;
    }
    uint64_t State() const { return mState; }

    uint32_t Next()
    {
        const uint64_t old = mState;
        mState = old * 6364136223846793005ULL + kIncrement;
        const uint32_t shifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
        const uint32_t rot = static_cast<uint32_t>(old >> 59u);
        return (shifted >> rot) | (shifted << ((32u - rot) & 31u));
    }
    // Uniform in [0, 1) on a grid of 2^-24.
    float Unit() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }
    // Uniform in [-a, a).
    float Symmetric(float a) { return a * (2.0f * Unit() - 1.0f); }

private:
    static constexpr uint64_t kIncrement = 1442695040888963407ULL;
    uint64_t mState = 0;
};

}  // namespace kvengine
