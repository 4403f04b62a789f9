// A back-propagation network with one hidden layer of logistic units and one logistic output:
// its weights, their momentum terms and its random generator, with online training, runs,
// jogs and the payload of its engine file. Tests use it to set weights by hand.
#pragma once

#include "engine/rng.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace kvengine {

// Allocates on 64-byte boundaries, so that a block of hidden units' weights is one cache line
// and one aligned vector load.
template <class T> struct CacheAligned {
    typedef T value_type;
    CacheAligned() = default;
    template <class U> CacheAligned(const CacheAligned<U>&) {}
    T* allocate(size_t n)
    {
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(64)));
    }
    void deallocate(T* p, size_t) { ::operator delete(p, std::align_val_t(64)); }
    template <class U> bool operator==(const CacheAligned<U>&) const { return true; }
};

class BpNet {
public:
    // Hidden units are kept in blocks of this many, padded with units of zero weight.
    static constexpr int32_t kLanes = 16;

    // All weights and momentum terms zero. Throws std::bad_alloc when memory runs out.
    BpNet(int32_t nInputs, int32_t nHidden);

    int32_t Inputs() const { return mInputs; }
    int32_t Hidden() const { return mHidden; }

    // Weight into hidden unit k (0-based) from input i: i = 0 is the bias, 1..Inputs() the
    // inputs, numbered like the columns of a pattern row.
    float HiddenWeight(int32_t k, int32_t i) const { return mW1[HiddenIndex(k, i)]; }
    void SetHiddenWeight(int32_t k, int32_t i, float w) { mW1[HiddenIndex(k, i)] = w; }
    // Weight into the output from hidden unit k, and the output's bias.
    float OutputWeight(int32_t k) const { return mW2[static_cast<size_t>(k)]; }
    void SetOutputWeight(int32_t k, float w) { mW2[static_cast<size_t>(k)] = w; }
    float OutputBias() const { return mB2; }
    void SetOutputBias(float w) { mB2 = w; }

    // New weights uniform in [-initMax, initMax) from a generator seeded by `seed`, drawn in
    // the file's weight order; momentum cleared.
    void Randomize(float initMax, uint64_t seed);
    // Adds uniform noise in [-amplitude, amplitude) to every weight and clears the momentum.
    // False, and the network unchanged, when a weight would not stay finite.
    bool Jog(float amplitude);

    // One online pass over the given rows of `patterns` in their order. False, and the
    // network unchanged, when a weight did not stay finite.
    bool TrainPass(const float* patterns, int32_t nFields, const int32_t* rows, size_t count,
                   float learnRate, float momentum);

    // The output for one pattern row (its columns 1..Inputs()).
    float Predict(const float* row) const;

    // Writes the output of every listed row into results[row] and returns the sum of
    // |target - output| over them. Large jobs use several threads; the outcome does not
    // depend on how many.
    double Run(const float* patterns, int32_t nFields, const int32_t* rows, size_t count,
               float* results) const;

    bool Finite() const;

    // The instruction sets the kernels are built for. Training and runs use the widest the
    // machine has; tests make each in turn the one used, to check that all give the same bits.
    enum class Kernels { Generic, Avx2, Avx512 };
    static bool Supported(Kernels k);
    // Process-wide; a set the machine lacks selects the widest it has.
    static void UseKernels(Kernels k);

    std::vector<uint8_t> Payload() const;
    // 1 and a network, or the bad-file code.
    static int32_t FromPayload(const std::vector<uint8_t>& payload, std::unique_ptr<BpNet>& out);

    // Connections updated by one training row: every weight and bias.
    size_t Connections() const
    {
        return static_cast<size_t>(mHidden) * static_cast<size_t>(mInputs + 1) + mHidden + 1;
    }

private:
    size_t HiddenIndex(int32_t k, int32_t i) const
    {
        const size_t block = static_cast<size_t>(k / kLanes);
        return (block * static_cast<size_t>(mInputs + 1) + static_cast<size_t>(i)) * kLanes
               + static_cast<size_t>(k % kLanes);
    }
    // Visits the weights in file order; Self is BpNet or const BpNet.
    template <class Self, class F> static void ForEachWeight(Self& self, F f);
    friend struct BpNetAccess;

    int32_t mInputs;
    int32_t mHidden;
    int32_t mPadded;  // mHidden rounded up to whole blocks
    // Hidden weights block by block: block b holds, for i = 0..Inputs(), the kLanes weights
    // from input i into units b*kLanes .. b*kLanes+kLanes-1, so training streams them in order.
    typedef std::vector<float, CacheAligned<float>> Floats;
    Floats mW1, mD1;
    Floats mW2, mD2;  // mPadded entries; padding stays zero
    float mB2 = 0.0f, mDB2 = 0.0f;
    Pcg32 mRng;
};

}  // namespace kvengine
