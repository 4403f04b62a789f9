#include "engine/sfamnet.h"

#include "engine/fastmath.h"
#include "engine/korvan_engine.h"
#include "engine/netfile.h"
#include "engine/parallel.h"

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

// S_j = |I ^ w_j| and the choice T_j = S_j / (alpha + |w_j|) for every category.
KV_HOT_CLONES
void ChoiceKernel(const float* w, const float* wsum, size_t count, size_t cap, const float* input,
                  size_t dims, float alpha, float* s, float* t)
{
    for (size_t j = 0; j < count; ++j)
        s[j] = 0.0f;
    for (size_t d = 0; d < dims; ++d) {
        const float id = input[d];
        const float* wd = w + d * cap;
        for (size_t j = 0; j < count; ++j)
            s[j] += wd[j] < id ? wd[j] : id;
    }
    for (size_t j = 0; j < count; ++j)
        t[j] = s[j] / (alpha + wsum[j]);
}

// The first category of highest choice.
inline size_t Winner(const float* t, size_t count)
{
    size_t best = 0;
    for (size_t j = 1; j < count; ++j)
        if (t[j] > t[best])
            best = j;
    return best;
}

}  // namespace

SfamNet::SfamNet(int32_t nInputs) : mInputs(nInputs), mDims(2 * nInputs) {}

void SfamNet::Commit(const float* input, int32_t cls)
{
    if (static_cast<size_t>(mCount) == mCap) {
        const size_t cap = mCap == 0 ? 16 : 2 * mCap;
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
    const size_t n = static_cast<size_t>(mCount);
    std::vector<float> input(static_cast<size_t>(mDims)), s(n), t(n);
    Complement(row, mInputs, input.data());
    ChoiceKernel(mW.data(), mWSum.data(), n, mCap, input.data(), static_cast<size_t>(mDims), alpha,
                 s.data(), t.data());
    return mClass[Winner(t.data(), n)];
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
        std::vector<float> input(static_cast<size_t>(mDims)), s(n), t(n);
        int64_t misses = 0;
        for (size_t r = begin; r < end; ++r) {
            const float* row =
                patterns + static_cast<size_t>(rows[r]) * static_cast<size_t>(nFields);
            Complement(row, mInputs, input.data());
            ChoiceKernel(mW.data(), mWSum.data(), n, mCap, input.data(),
                         static_cast<size_t>(mDims), alpha, s.data(), t.data());
            const int32_t cls = mClass[Winner(t.data(), n)];
            results[rows[r]] = static_cast<int16_t>(cls);
            misses += cls != static_cast<int32_t>(row[0]);
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
