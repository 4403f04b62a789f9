#include "engine/sfamnet.h"

#include "engine/fastmath.h"
#include "engine/korvan_engine.h"
#include "engine/netfile.h"
#include "engine/parallel.h"

#include <algorithm>
#include <cmath>

namespace kvengine {

namespace {

// I = (a, 1 - a), the inputs clamped to 0..1 so that |I| is the number of inputs.
inline void Complement(const float* row, int32_t inputs, float* input)
{
    for (int32_t d = 0; d < inputs; ++d) {
        float a = row[d + 1];
        a = a < 0.0f ? 0.0f : a;
        a = a > 1.0f ? 1.0f : a;
        input[d] = a;
        input[d + inputs] = 1.0f - a;
    }
}

typedef float Mem8 __attribute__((vector_size(32), aligned(alignof(float)), may_alias));
typedef int32_t Index8 __attribute__((vector_size(32)));

inline __attribute__((always_inline)) Float8 Load8(const float* p)
{
    return *reinterpret_cast<const Mem8*>(p);
}
inline __attribute__((always_inline)) void Store8(float* p, Float8 v)
{
    *reinterpret_cast<Mem8*>(p) = v;
}

// S_j = |I ^ w_j| for the 8K categories from j on, each summed over the components in order
// (as a loop over the categories, one component at a time, sums them), but held in registers
// for the whole sum instead of going through memory once a component.
template <int K>
inline __attribute__((always_inline)) void MatchTile(const float* w, size_t cap, const float* input,
                                                     size_t dims, size_t j, Float8 (&s)[K])
{
#pragma GCC unroll 8
    for (int k = 0; k < K; ++k)
        s[k] = Float8{};
    for (size_t d = 0; d < dims; ++d) {
        const Float8 id = Splat<Float8>(input[d]);
        const float* wd = w + d * cap + j;
#pragma GCC unroll 8
        for (int k = 0; k < K; ++k) {
            const Float8 v = Load8(wd + 8 * k);
            s[k] += v < id ? v : id;
        }
    }
}

// S_j and the choice T_j = S_j / (alpha + |w_j|) of every category, tile by tile; the categories
// past the last whole tile one by one.
template <class Tile>
inline __attribute__((always_inline)) size_t ForEachChoice(const float* w, const float* wsum,
                                                           size_t count, size_t cap,
                                                           const float* input, size_t dims,
                                                           float alpha, Tile tile)
{
    constexpr int K = 4;
    const Float8 a = Splat<Float8>(alpha);
    size_t j = 0;
    for (; j + 8 * K <= count; j += 8 * K) {
        Float8 s[K];
        MatchTile<K>(w, cap, input, dims, j, s);
#pragma GCC unroll 8
        for (int k = 0; k < K; ++k)
            tile(j + 8 * k, s[k], s[k] / (a + Load8(wsum + j + 8 * k)));
    }
    for (; j + 8 <= count; j += 8) {
        Float8 s[1];
        MatchTile<1>(w, cap, input, dims, j, s);
        tile(j, s[0], s[0] / (a + Load8(wsum + j)));
    }
    return j;
}

// MatchTile for two inputs at once: each weight read serves both, and the two rows' sums are
// independent chains of additions that overlap.
template <int K>
inline __attribute__((always_inline)) void MatchTile2(const float* w, size_t cap, const float* in0,
                                                      const float* in1, size_t dims, size_t j,
                                                      Float8 (&s0)[K], Float8 (&s1)[K])
{
#pragma GCC unroll 8
    for (int k = 0; k < K; ++k)
        s0[k] = s1[k] = Float8{};
    for (size_t d = 0; d < dims; ++d) {
        const Float8 i0 = Splat<Float8>(in0[d]);
        const Float8 i1 = Splat<Float8>(in1[d]);
        const float* wd = w + d * cap + j;
#pragma GCC unroll 8
        for (int k = 0; k < K; ++k) {
            const Float8 v = Load8(wd + 8 * k);
            s0[k] += v < i0 ? v : i0;
            s1[k] += v < i1 ? v : i1;
        }
    }
}

// One category's S_j and T_j, for the categories past the tiles.
inline float MatchOne(const float* w, size_t cap, const float* input, size_t dims, size_t j)
{
    float s = 0.0f;
    for (size_t d = 0; d < dims; ++d) {
        const float wd = w[d * cap + j];
        s += wd < input[d] ? wd : input[d];
    }
    return s;
}

KV_HOT_CLONES
void ChoiceKernel(const float* w, const float* wsum, size_t count, size_t cap, const float* input,
                  size_t dims, float alpha, float* s, float* t)
{
    size_t j = ForEachChoice(w, wsum, count, cap, input, dims, alpha,
                             [&](size_t first, Float8 sv, Float8 tv) {
                                 Store8(s + first, sv);
                                 Store8(t + first, tv);
                             });
    for (; j < count; ++j) {
        s[j] = MatchOne(w, cap, input, dims, j);
        t[j] = s[j] / (alpha + wsum[j]);
    }
}

// Rows chosen together: a tile of categories read from memory once serves this many rows.
constexpr size_t kBatch = 8;

// The first category of highest choice for each of `rows` inputs (at most kBatch, `dims` apart
// in `inputs`). Each lane keeps the first of its own highest, and the lanes are then merged by
// value and then by the lower index: the same category as a scan of all choices in order
// keeping the first highest (choices are never NaN: they are sums of numbers in 0..1 over
// alpha > 0 plus such a sum).
KV_HOT_CLONES
void Winners(const float* w, const float* wsum, size_t count, size_t cap, const float* inputs,
             size_t rows, size_t dims, float alpha, size_t* winners)
{
    constexpr int K = 4;
    const Float8 a = Splat<Float8>(alpha);
    const Index8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
    Float8 best[kBatch];
    Index8 at[kBatch];
    for (size_t q = 0; q < rows; ++q) {
        best[q] = Splat<Float8>(-1.0f);
        at[q] = Index8{};
    }
    const auto keep = [&](size_t q, size_t first, Float8 tv) {
        const Index8 higher = tv > best[q];
        best[q] = higher ? tv : best[q];
        at[q] = higher ? lane + static_cast<int32_t>(first) : at[q];
    };
    size_t j = 0;
    for (; j + 8 * K <= count; j += 8 * K) {
        size_t q = 0;
        for (; q + 2 <= rows; q += 2) {
            Float8 s0[K], s1[K];
            MatchTile2<K>(w, cap, inputs + q * dims, inputs + (q + 1) * dims, dims, j, s0, s1);
#pragma GCC unroll 8
            for (int k = 0; k < K; ++k) {
                const Float8 den = a + Load8(wsum + j + 8 * k);
                keep(q, j + 8 * k, s0[k] / den);
                keep(q + 1, j + 8 * k, s1[k] / den);
            }
        }
        for (; q < rows; ++q) {
            Float8 s[K];
            MatchTile<K>(w, cap, inputs + q * dims, dims, j, s);
#pragma GCC unroll 8
            for (int k = 0; k < K; ++k)
                keep(q, j + 8 * k, s[k] / (a + Load8(wsum + j + 8 * k)));
        }
    }
    for (; j + 8 <= count; j += 8)
        for (size_t q = 0; q < rows; ++q) {
            Float8 s[1];
            MatchTile<1>(w, cap, inputs + q * dims, dims, j, s);
            keep(q, j, s[0] / (a + Load8(wsum + j)));
        }
    for (size_t q = 0; q < rows; ++q) {
        float top = -1.0f;
        size_t winner = 0;
        for (int l = 0; l < 8; ++l)
            if (best[q][l] > top || (best[q][l] == top && static_cast<size_t>(at[q][l]) < winner)) {
                top = best[q][l];
                winner = static_cast<size_t>(at[q][l]);
            }
        for (size_t i = j; i < count; ++i) {
            const float t = MatchOne(w, cap, inputs + q * dims, dims, i) / (alpha + wsum[i]);
            if (t > top) {
                top = t;
                winner = i;
            }
        }
        winners[q] = winner;
    }
}

}  // namespace

SfamNet::SfamNet(int32_t nInputs) : mInputs(nInputs), mDims(2 * nInputs) {}

void SfamNet::Commit(const float* input, int32_t cls)
{
    if (static_cast<size_t>(mCount) == mCap) {
        // Not a power of two: one component's row of weights lies a cache line off the
        // previous one's in the cache's sets, so the rows a tile of categories reads together
        // do not evict each other.
        const size_t cap = mCap == 0 ? 16 : 2 * mCap + 16;
        std::vector<float> w(static_cast<size_t>(mDims) * cap, 0.0f);
        for (size_t d = 0; d < static_cast<size_t>(mDims); ++d)
            std::copy_n(mW.begin() + static_cast<ptrdiff_t>(d * mCap), mCount,
                        w.begin() + static_cast<ptrdiff_t>(d * cap));
        mW.swap(w);
        mWSum.resize(cap, 0.0f);
        mClass.resize(cap, 0);
        mCap = cap;
    }
    const size_t j = static_cast<size_t>(mCount++);
    float sum = 0.0f;
    for (size_t d = 0; d < static_cast<size_t>(mDims); ++d) {
        mW[d * mCap + j] = input[d];
        sum += input[d];
    }
    mWSum[j] = sum;
    mClass[j] = cls;
}

void SfamNet::Learn(int32_t j, const float* input, float beta)
{
    float sum = 0.0f;
    for (size_t d = 0; d < static_cast<size_t>(mDims); ++d) {
        float& w = mW[d * mCap + static_cast<size_t>(j)];
        const float m = w < input[d] ? w : input[d];
        // beta m + (1 - beta) w, written so that rounding keeps w between m and its old value.
        w = beta == 1.0f ? m : w + beta * (m - w);
        sum += w;
    }
    mWSum[static_cast<size_t>(j)] = sum;
}

int32_t SfamNet::TrainPass(const float* patterns, int32_t nFields, const int32_t* rows,
                           size_t count, const SfamParams& p)
{
    const std::vector<float> w = mW, wsum = mWSum;
    const std::vector<int32_t> cls = mClass;
    const int32_t oldCount = mCount;
    const size_t oldCap = mCap;

    std::vector<float> input(static_cast<size_t>(mDims));
    std::vector<float> s, t;
    for (size_t r = 0; r < count; ++r) {
        const float* row = patterns + static_cast<size_t>(rows[r]) * static_cast<size_t>(nFields);
        const int32_t target = static_cast<int32_t>(row[0]);
        Complement(row, mInputs, input.data());
        const size_t n = static_cast<size_t>(mCount);
        s.resize(n);
        t.resize(n);
        ChoiceKernel(mW.data(), mWSum.data(), n, mCap, input.data(), static_cast<size_t>(mDims),
                     p.alpha, s.data(), t.data());
        // |I| is the number of inputs, but summed here in the kernel's order: a category equal
        // to I then matches exactly 1 rather than a rounding below it, which at full vigilance
        // would fail and commit a duplicate on every pass.
        float norm = 0.0f;
        for (size_t d = 0; d < static_cast<size_t>(mDims); ++d)
            norm += input[d];
        for (size_t j = 0; j < n; ++j)
            s[j] /= norm;  // now the match |I ^ w_j| / |I|

        // Search the categories by falling choice; those below the vigilance drop out, and a
        // category of the wrong class raises the vigilance just above its match.
        float vigilance = p.vigBase;
        bool settled = false;
        for (;;) {
            size_t best = n;
            for (size_t j = 0; j < n; ++j)
                if (t[j] >= 0.0f && s[j] >= vigilance && (best == n || t[j] > t[best]))
                    best = j;
            if (best == n)
                break;
            if (mClass[best] == target) {
                Learn(static_cast<int32_t>(best), input.data(), p.beta);
                settled = true;
                break;
            }
            vigilance = s[best] + p.epsilon;
            if (vigilance > 1.0f) {
                // These inputs already stand for another class: learning nothing keeps
                // contradictory rows from growing the network without end.
                settled = true;
                break;
            }
            t[best] = -1.0f;
        }
        if (settled)
            continue;
        if (mCount >= KV_SFAM_MAX_CATEGORIES) {
            mW = w;
            mWSum = wsum;
            mClass = cls;
            mCount = oldCount;
            mCap = oldCap;
            return KV_ENGINE_ERR_CATEGORY_LIMIT;
        }
        Commit(input.data(), target);
    }
    return KV_ENGINE_SUCCESS;
}

int32_t SfamNet::Predict(const float* row, float alpha) const
{
    std::vector<float> input(static_cast<size_t>(mDims));
    Complement(row, mInputs, input.data());
    size_t winner = 0;
    Winners(mW.data(), mWSum.data(), static_cast<size_t>(mCount), mCap, input.data(), 1,
            static_cast<size_t>(mDims), alpha, &winner);
    return mClass[winner];
}

int64_t SfamNet::Run(const float* patterns, int32_t nFields, const int32_t* rows, size_t count,
                     float alpha, int16_t* results) const
{
    const size_t n = static_cast<size_t>(mCount);
    constexpr size_t kChunk = 1024;
    const size_t chunks = (count + kChunk - 1) / kChunk;
    std::vector<int64_t> wrong(chunks, 0);
    const double work = static_cast<double>(count) * static_cast<double>(n) * mDims;
    ForEachChunk(count, kChunk, ThreadsFor(work), [&](size_t c, size_t begin, size_t end) {
        const size_t dims = static_cast<size_t>(mDims);
        std::vector<float> inputs(kBatch * dims);
        size_t winners[kBatch];
        int64_t misses = 0;
        for (size_t r = begin; r < end; r += kBatch) {
            const size_t batch = std::min(kBatch, end - r);
            for (size_t q = 0; q < batch; ++q)
                Complement(patterns + static_cast<size_t>(rows[r + q]) * static_cast<size_t>(nFields),
                           mInputs, inputs.data() + q * dims);
            Winners(mW.data(), mWSum.data(), n, mCap, inputs.data(), batch, dims, alpha, winners);
            for (size_t q = 0; q < batch; ++q) {
                const float* row =
                    patterns + static_cast<size_t>(rows[r + q]) * static_cast<size_t>(nFields);
                const int32_t cls = mClass[winners[q]];
                results[rows[r + q]] = static_cast<int16_t>(cls);
                misses += cls != static_cast<int32_t>(row[0]);
            }
        }
        wrong[c] = misses;
    });
    int64_t total = 0;
    for (int64_t m : wrong)
        total += m;
    return total;
}

std::vector<uint8_t> SfamNet::Payload() const
{
    ByteWriter out;
    out.I32(mInputs);
    out.I32(mCount);
    for (int32_t j = 0; j < mCount; ++j) {
        out.I32(mClass[static_cast<size_t>(j)]);
        for (int32_t d = 0; d < mDims; ++d)
            out.F32(Weight(j, d));
    }
    return std::move(out.Bytes());
}

int32_t SfamNet::FromPayload(const std::vector<uint8_t>& payload, std::unique_ptr<SfamNet>& out)
{
    ByteReader in(payload.data(), payload.size());
    const int32_t inputs = in.I32();
    const int32_t count = in.I32();
    if (in.Failed() || inputs < 1 || inputs > (INT32_MAX / 2) || count < 0
        || count > KV_SFAM_MAX_CATEGORIES)
        return KV_ENGINE_ERR_BAD_FILE;
    const uint64_t perCategory = 4 + 8 * static_cast<uint64_t>(inputs);
    if (in.Remaining() != perCategory * static_cast<uint64_t>(count))
        return KV_ENGINE_ERR_BAD_FILE;

    auto net = std::make_unique<SfamNet>(inputs);
    // Only a file that holds categories pays for a row of their width.
    std::vector<float> w(count > 0 ? static_cast<size_t>(net->mDims) : 0);
    for (int32_t j = 0; j < count; ++j) {
        const int32_t cls = in.I32();
        if (cls < 0 || cls > KV_SFAM_MAX_CLASS)
            return KV_ENGINE_ERR_BAD_FILE;
        for (float& v : w) {
            v = in.F32();
            if (!std::isfinite(v) || v < 0.0f || v > 1.0f)
                return KV_ENGINE_ERR_BAD_FILE;
        }
        net->Commit(w.data(), cls);
    }
    if (in.Failed())
        return KV_ENGINE_ERR_BAD_FILE;
    out = std::move(net);
    return KV_ENGINE_SUCCESS;
}

}  // namespace kvengine
