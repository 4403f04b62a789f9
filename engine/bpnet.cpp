#include "engine/bpnet.h"

#include "engine/fastmath.h"
#include "engine/korvan_engine.h"
#include "engine/netfile.h"
#include "engine/parallel.h"

#include <atomic>
#include <cmath>

namespace kvengine {

namespace {

constexpr int32_t L = BpNet::kLanes;

// What a forward pass reads.
struct View {
    size_t n;   // inputs
    size_t nb;  // hidden blocks
    size_t h;   // real hidden units; units h..nb*L-1 are padding
    const float* w1;
    const float* w2;
    float b2;
};

// What training changes.
struct Weights {
    size_t n;   // inputs
    size_t nb;  // hidden blocks
    size_t h;   // real hidden units; units h..nb*L-1 are padding
    float* w1;
    float* d1;
    float* w2;
    float* d2;
    float* b2;
    float* db2;
};

#define KV_ALWAYS_INLINE inline __attribute__((always_inline))

// The vector widths the kernels are built for. A block of L hidden units is one, two or four
// vectors; operations on them are the element-wise float operations in the written order, so
// every width computes the same bits. Mem is the type that views floats anywhere in an array.
struct Wide512 {  // AVX-512: 512-bit registers, 32 of them
    typedef float V __attribute__((vector_size(64)));
    typedef float Mem __attribute__((vector_size(64), aligned(alignof(float)), may_alias));
    static constexpr int kPerBlock = 1;
    static constexpr int kGroup = 4;  // blocks worked side by side
    static constexpr int kFixed = 4;  // up to this many blocks, a network trains in registers
};
struct Wide {  // AVX2: 256-bit registers, 16 of them
    typedef float V __attribute__((vector_size(32)));
    typedef float Mem __attribute__((vector_size(32), aligned(alignof(float)), may_alias));
    static constexpr int kPerBlock = 2;
    static constexpr int kGroup = 2;
    // Three blocks do not fit in 16 registers, but the few values spilled to the stack cost
    // less than the net inputs, activations and deltas of every row going through memory.
    static constexpr int kFixed = 3;
};
struct Narrow {  // any x86-64 (SSE2), and other machines: 128-bit registers
    typedef float V __attribute__((vector_size(16)));
    typedef float Mem __attribute__((vector_size(16), aligned(alignof(float)), may_alias));
    static constexpr int kPerBlock = 4;
    static constexpr int kGroup = 1;
    static constexpr int kFixed = 1;
};

// A pointer, dereferenced where it is used: through a reference clang drops the lowered
// alignment of Mem and emits aligned moves, which fault on our float-aligned arrays.
template <class T> KV_ALWAYS_INLINE const typename T::Mem* At(const float* p)
{
    return reinterpret_cast<const typename T::Mem*>(p);
}
template <class T> KV_ALWAYS_INLINE typename T::Mem* At(float* p)
{
    return reinterpret_cast<typename T::Mem*>(p);
}

// The vectors of G blocks of hidden units, held in registers.
template <class T, int G> using Regs = typename T::V[G][T::kPerBlock];

// Block q from p + q * stride: blocks side by side, or the same input's weights of blocks
// kept apart.
template <class T, int G>
KV_ALWAYS_INLINE void Load(Regs<T, G>& r, const float* p, size_t stride = L)
{
    constexpr int S = T::kPerBlock, W = L / S;
#pragma GCC unroll 8
    for (int q = 0; q < G; ++q)
#pragma GCC unroll 4
        for (int v = 0; v < S; ++v)
            r[q][v] = *At<T>(p + q * stride + v * W);
}
template <class T, int G> KV_ALWAYS_INLINE void Store(const Regs<T, G>& r, float* p)
{
    constexpr int S = T::kPerBlock, W = L / S;
#pragma GCC unroll 8
    for (int q = 0; q < G; ++q)
#pragma GCC unroll 4
        for (int v = 0; v < S; ++v)
            *At<T>(p + q * L + v * W) = r[q][v];
}

// Net inputs of G blocks of hidden units for one row: bias, then the inputs in order. Several
// blocks at a time give independent sums, so the additions do not wait on each other.
template <class T, int G>
KV_ALWAYS_INLINE void NetInputsOf(const float* __restrict wb, size_t stride, size_t n,
                                  const float* __restrict x, Regs<T, G>& a)
{
    constexpr int S = T::kPerBlock, W = L / S;
    Load<T, G>(a, wb, stride);
    for (size_t i = 1; i <= n; ++i) {
        const float xi = x[i];
#pragma GCC unroll 8
        for (int q = 0; q < G; ++q)
#pragma GCC unroll 4
            for (int v = 0; v < S; ++v)
                a[q][v] += xi * *At<T>(wb + q * stride + i * L + v * W);
    }
}

template <class T>
KV_ALWAYS_INLINE void NetInputs(const float* w1, size_t n, size_t nb, const float* x, float* acc)
{
    const size_t stride = (n + 1) * L;
    size_t b = 0;
    if constexpr (T::kGroup >= 4)
        for (; b + 4 <= nb; b += 4) {
            Regs<T, 4> a;
            NetInputsOf<T, 4>(w1 + b * stride, stride, n, x, a);
            Store<T, 4>(a, acc + b * L);
        }
    if constexpr (T::kGroup >= 2)
        for (; b + 2 <= nb; b += 2) {
            Regs<T, 2> a;
            NetInputsOf<T, 2>(w1 + b * stride, stride, n, x, a);
            Store<T, 2>(a, acc + b * L);
        }
    for (; b < nb; ++b) {
        Regs<T, 1> a;
        NetInputsOf<T, 1>(w1 + b * stride, stride, n, x, a);
        Store<T, 1>(a, acc + b * L);
    }
}

// Momentum update of the weights of G blocks for row x with the scaled deltas gv, and the net
// inputs of the next row xn over the updated weights.
template <class T, int G>
KV_ALWAYS_INLINE void UpdateBlocks(float* __restrict wb, float* __restrict db, size_t stride,
                                   size_t n, const Regs<T, G>& gv, float mom,
                                   const float* __restrict x, const float* __restrict xn,
                                   Regs<T, G>& a)
{
    constexpr int S = T::kPerBlock, W = L / S;
#pragma GCC unroll 8
    for (int q = 0; q < G; ++q)
#pragma GCC unroll 4
        for (int v = 0; v < S; ++v) {
            const size_t o = q * stride + v * W;
            const typename T::V d = gv[q][v] + mom * *At<T>(db + o);
            *At<T>(db + o) = d;
            const typename T::V w = *At<T>(wb + o) + d;
            *At<T>(wb + o) = w;
            a[q][v] = w;
        }
    for (size_t i = 1; i <= n; ++i) {
        const float xi = x[i];
        const float xni = xn[i];
#pragma GCC unroll 8
        for (int q = 0; q < G; ++q)
#pragma GCC unroll 4
            for (int v = 0; v < S; ++v) {
                const size_t o = q * stride + i * L + v * W;
                const typename T::V d = gv[q][v] * xi + mom * *At<T>(db + o);
                *At<T>(db + o) = d;
                const typename T::V w = *At<T>(wb + o) + d;
                *At<T>(wb + o) = w;
                a[q][v] += xni * w;
            }
    }
}

template <class T, int G>
KV_ALWAYS_INLINE void UpdateBlocksIn(float* wb, float* db, size_t stride, size_t n, const float* g,
                                     float mom, const float* x, const float* xn, float* acc)
{
    Regs<T, G> gv, a;
    Load<T, G>(gv, g);
    UpdateBlocks<T, G>(wb, db, stride, n, gv, mom, x, xn, a);
    Store<T, G>(a, acc);
}

// The output unit's sum over the hidden units: eight partial sums, partial l taking units
// l, l + 8, l + 16, ... in turn, added in a fixed order at the end.
KV_ALWAYS_INLINE float OutputSum(const float* w2, size_t hp, const float* hid)
{
    float s[8] = {};
    for (size_t c = 0; c < hp / 8; ++c)
        for (int32_t l = 0; l < 8; ++l)
            s[l] += w2[c * 8 + l] * hid[c * 8 + l];
    return ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
}

KV_ALWAYS_INLINE float OutputOf(const float* w2, float b2, size_t nb, const float* hid)
{
    return Logistic(OutputSum(w2, nb * L, hid) + b2);
}

// Hidden activations from the net inputs; padding units give 0 so they add nothing.
KV_ALWAYS_INLINE void Activate(const float* acc, size_t h, size_t hp, float* hid)
{
    for (size_t k = 0; k < hp; ++k)
        hid[k] = Logistic(acc[k]);
    for (size_t k = h; k < hp; ++k)
        hid[k] = 0.0f;
}

// `scratch` holds two rows of hidden units.
template <class T> KV_ALWAYS_INLINE float Forward(const View& w, const float* x, float* scratch)
{
    const size_t hp = w.nb * L;
    NetInputs<T>(w.w1, w.n, w.nb, x, scratch);
    Activate(scratch, w.h, hp, scratch + hp);
    return OutputOf(w.w2, w.b2, w.nb, scratch + hp);
}

template <class T>
KV_ALWAYS_INLINE double RunRows(const View& w, const float* patterns, size_t nFields,
                                const int32_t* rows, size_t count, float* results, float* scratch)
{
    double sum = 0.0;
    for (size_t r = 0; r < count; ++r) {
        const float* x = patterns + static_cast<size_t>(rows[r]) * nFields;
        const float y = Forward<T>(w, x, scratch);
        results[rows[r]] = y;
        sum += std::fabs(static_cast<double>(x[0]) - static_cast<double>(y));
    }
    return sum;
}

// Online back-propagation with momentum. The update of the hidden weights for one row is
// fused with the forward pass of the next row over the freshly updated weights: the same
// operations in the same order as two separate sweeps, with one trip through memory.
template <class T>
KV_ALWAYS_INLINE void TrainRows(const Weights& w, const float* patterns, size_t nFields,
                                const int32_t* rows, size_t count, float lr, float mom,
                                float* acc, float* hid, float* g)
{
    const size_t stride = (w.n + 1) * L;
    const size_t hp = w.nb * L;
    NetInputs<T>(w.w1, w.n, w.nb, patterns + static_cast<size_t>(rows[0]) * nFields, acc);
    for (size_t r = 0; r < count; ++r) {
        const float* x = patterns + static_cast<size_t>(rows[r]) * nFields;
        const float* xn = r + 1 < count ? patterns + static_cast<size_t>(rows[r + 1]) * nFields : x;

        Activate(acc, w.h, hp, hid);
        const float y = OutputOf(w.w2, *w.b2, w.nb, hid);
        const float dOut = (x[0] - y) * y * (1.0f - y);
        const float gOut = lr * dOut;

        // Hidden deltas from the output weights before their update.
        for (size_t k = 0; k < hp; ++k)
            g[k] = lr * (dOut * w.w2[k] * hid[k] * (1.0f - hid[k]));
        for (size_t k = 0; k < hp; ++k) {
            const float d = gOut * hid[k] + mom * w.d2[k];
            w.d2[k] = d;
            w.w2[k] += d;
        }
        {
            const float d = gOut + mom * *w.db2;
            *w.db2 = d;
            *w.b2 += d;
        }

        size_t b = 0;
        if constexpr (T::kGroup >= 4)
            for (; b + 4 <= w.nb; b += 4)
                UpdateBlocksIn<T, 4>(w.w1 + b * stride, w.d1 + b * stride, stride, w.n,
                                     g + b * L, mom, x, xn, acc + b * L);
        if constexpr (T::kGroup >= 2)
            for (; b + 2 <= w.nb; b += 2)
                UpdateBlocksIn<T, 2>(w.w1 + b * stride, w.d1 + b * stride, stride, w.n,
                                     g + b * L, mom, x, xn, acc + b * L);
        for (; b < w.nb; ++b)
            UpdateBlocksIn<T, 1>(w.w1 + b * stride, w.d1 + b * stride, stride, w.n, g + b * L,
                                 mom, x, xn, acc + b * L);
    }
}

// The eight units c*8 .. c*8+7 of G blocks held in registers.
template <class T, int G> KV_ALWAYS_INLINE Float8 Eight(const Regs<T, G>& r, int c)
{
    constexpr int S = T::kPerBlock;
    const int q = c * 8 / L, k = c * 8 % L;
    if constexpr (S == 1)
        return k == 0 ? __builtin_shufflevector(r[q][0], r[q][0], 0, 1, 2, 3, 4, 5, 6, 7)
                      : __builtin_shufflevector(r[q][0], r[q][0], 8, 9, 10, 11, 12, 13, 14, 15);
    else if constexpr (S == 2)
        return r[q][k / 8];
    else
        return __builtin_shufflevector(r[q][k / 4], r[q][k / 4 + 1], 0, 1, 2, 3, 4, 5, 6, 7);
}

// Online back-propagation as TrainRows, for a network of G blocks: the hidden units' net
// inputs, activations and deltas and the output weights stay in registers from row to row.
// Every number is computed by the same operations in the same order as in TrainRows.
template <class T, int G>
KV_ALWAYS_INLINE void TrainFixed(const Weights& w, const float* patterns, size_t nFields,
                                 const int32_t* rows, size_t count, float lr, float mom)
{
    typedef typename T::V V;
    typedef int32_t I __attribute__((vector_size(sizeof(V))));
    constexpr int S = T::kPerBlock, W = L / S;
    const size_t stride = (w.n + 1) * L;

    // Lanes of real units; the others are padding, whose activation is 0.
    Regs<T, G> w2, d2;
    I live[G][S];
#pragma GCC unroll 8
    for (int q = 0; q < G; ++q)
#pragma GCC unroll 4
        for (int v = 0; v < S; ++v)
#pragma GCC unroll 16
            for (int l = 0; l < W; ++l)
                live[q][v][l] = static_cast<size_t>(q * L + v * W + l) < w.h ? -1 : 0;
    Load<T, G>(w2, w.w2);
    Load<T, G>(d2, w.d2);
    float b2 = *w.b2, db2 = *w.db2;

    Regs<T, G> acc;
    NetInputsOf<T, G>(w.w1, stride, w.n, patterns + static_cast<size_t>(rows[0]) * nFields, acc);
    for (size_t r = 0; r < count; ++r) {
        const float* x = patterns + static_cast<size_t>(rows[r]) * nFields;
        const float* xn = r + 1 < count ? patterns + static_cast<size_t>(rows[r + 1]) * nFields : x;

        Regs<T, G> hid, prod;
#pragma GCC unroll 8
        for (int q = 0; q < G; ++q)
#pragma GCC unroll 4
            for (int v = 0; v < S; ++v) {
                hid[q][v] = live[q][v] != 0 ? LogisticOf(acc[q][v]) : V{};
                prod[q][v] = w2[q][v] * hid[q][v];
            }
        Float8 s = {};
#pragma GCC unroll 16
        for (int c = 0; c < G * L / 8; ++c)
            s += Eight<T, G>(prod, c);
        // ((s0 + s1) + (s2 + s3)) + ((s4 + s5) + (s6 + s7)), each operand on its side.
        const Float8 s2 = s + __builtin_shufflevector(s, s, 1, 0, 3, 2, 5, 4, 7, 6);
        const Float8 s4 = s2 + __builtin_shufflevector(s2, s2, 2, 3, 0, 1, 6, 7, 4, 5);
        const float y = Logistic((s4[0] + s4[4]) + b2);
        const float dOut = (x[0] - y) * y * (1.0f - y);
        const float gOut = lr * dOut;

        // Hidden deltas from the output weights before their update.
        Regs<T, G> g;
#pragma GCC unroll 8
        for (int q = 0; q < G; ++q)
#pragma GCC unroll 4
            for (int v = 0; v < S; ++v) {
                g[q][v] = lr * (dOut * w2[q][v] * hid[q][v] * (1.0f - hid[q][v]));
                const V d = gOut * hid[q][v] + mom * d2[q][v];
                d2[q][v] = d;
                w2[q][v] += d;
            }
        {
            const float d = gOut + mom * db2;
            db2 = d;
            b2 += d;
        }
        UpdateBlocks<T, G>(w.w1, w.d1, stride, w.n, g, mom, x, xn, acc);
    }
    Store<T, G>(w2, w.w2);
    Store<T, G>(d2, w.d2);
    *w.b2 = b2;
    *w.db2 = db2;
}

// A network of few blocks trains in registers, any other in memory.
template <class T, int G = 1>
KV_ALWAYS_INLINE void Train(const Weights& w, const float* p, size_t f, const int32_t* rows,
                            size_t n, float lr, float mom, float* acc, float* hid, float* g)
{
    if constexpr (G <= T::kFixed) {
        if (w.nb == G)
            TrainFixed<T, G>(w, p, f, rows, n, lr, mom);
        else
            Train<T, G + 1>(w, p, f, rows, n, lr, mom, acc, hid, g);
    } else {
        TrainRows<T>(w, p, f, rows, n, lr, mom, acc, hid, g);
    }
}

// Each kernel is built for AVX-512, for AVX2 and for any machine; the widest the machine has
// is used unless a test chose another.
using Isa = BpNet::Kernels;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KV_AVX512 __attribute__((target("avx512f")))
#define KV_AVX2 __attribute__((target("avx2")))
Isa Detected()
{
    static const Isa isa = __builtin_cpu_supports("avx512f") ? Isa::Avx512
                           : __builtin_cpu_supports("avx2")  ? Isa::Avx2
                                                             : Isa::Generic;
    return isa;
}
#else
#define KV_AVX512
#define KV_AVX2
Isa Detected() { return Isa::Generic; }
#endif

std::atomic<Isa>& Chosen()
{
    static std::atomic<Isa> isa{Detected()};
    return isa;
}

Isa Machine() { return Chosen().load(std::memory_order_relaxed); }

KV_AVX512 double Run512(const View& w, const float* p, size_t f, const int32_t* rows, size_t n,
                        float* results, float* scratch)
{
    return RunRows<Wide512>(w, p, f, rows, n, results, scratch);
}

KV_AVX2 double RunWide(const View& w, const float* p, size_t f, const int32_t* rows, size_t n,
                       float* results, float* scratch)
{
    return RunRows<Wide>(w, p, f, rows, n, results, scratch);
}

double RunNarrow(const View& w, const float* p, size_t f, const int32_t* rows, size_t n,
                 float* results, float* scratch)
{
    return RunRows<Narrow>(w, p, f, rows, n, results, scratch);
}

KV_AVX512 void Train512(const Weights& w, const float* p, size_t f, const int32_t* rows,
                        size_t n, float lr, float mom, float* acc, float* hid, float* g)
{
    Train<Wide512>(w, p, f, rows, n, lr, mom, acc, hid, g);
}

KV_AVX2 void TrainWide(const Weights& w, const float* p, size_t f, const int32_t* rows, size_t n,
                       float lr, float mom, float* acc, float* hid, float* g)
{
    Train<Wide>(w, p, f, rows, n, lr, mom, acc, hid, g);
}

void TrainNarrow(const Weights& w, const float* p, size_t f, const int32_t* rows, size_t n,
                 float lr, float mom, float* acc, float* hid, float* g)
{
    Train<Narrow>(w, p, f, rows, n, lr, mom, acc, hid, g);
}

double RunKernel(const View& w, const float* p, size_t f, const int32_t* rows, size_t n,
                 float* results, float* scratch)
{
    switch (Machine()) {
    case Isa::Avx512:
        return Run512(w, p, f, rows, n, results, scratch);
    case Isa::Avx2:
        return RunWide(w, p, f, rows, n, results, scratch);
    default:
        return RunNarrow(w, p, f, rows, n, results, scratch);
    }
}

void TrainKernel(const Weights& w, const float* p, size_t f, const int32_t* rows, size_t n,
                 float lr, float mom, float* acc, float* hid, float* g)
{
    switch (Machine()) {
    case Isa::Avx512:
        return Train512(w, p, f, rows, n, lr, mom, acc, hid, g);
    case Isa::Avx2:
        return TrainWide(w, p, f, rows, n, lr, mom, acc, hid, g);
    default:
        return TrainNarrow(w, p, f, rows, n, lr, mom, acc, hid, g);
    }
}

template <class Floats> bool AllFinite(const Floats& v)
{
    bool ok = true;
    for (float x : v)
        ok &= std::isfinite(x);
    return ok;
}

}  // namespace

BpNet::BpNet(int32_t nInputs, int32_t nHidden)
    : mInputs(nInputs), mHidden(nHidden), mPadded((nHidden + kLanes - 1) / kLanes * kLanes),
      mW1(static_cast<size_t>(mPadded) * static_cast<size_t>(nInputs + 1), 0.0f),
      mD1(mW1.size(), 0.0f), mW2(static_cast<size_t>(mPadded), 0.0f),
      mD2(static_cast<size_t>(mPadded), 0.0f)
{
}

// The order of the file and of the generator's draws: per hidden unit its bias and input
// weights, then the output weights, then the output bias.
template <class Self, class F> void BpNet::ForEachWeight(Self& self, F f)
{
    for (int32_t k = 0; k < self.mHidden; ++k)
        for (int32_t i = 0; i <= self.mInputs; ++i)
            f(self.mW1[self.HiddenIndex(k, i)]);
    for (int32_t k = 0; k < self.mHidden; ++k)
        f(self.mW2[static_cast<size_t>(k)]);
    f(self.mB2);
}

struct BpNetAccess {
    static View Forward(const BpNet& net)
    {
        return View{static_cast<size_t>(net.mInputs), static_cast<size_t>(net.mPadded / L),
                    static_cast<size_t>(net.mHidden), net.mW1.data(), net.mW2.data(), net.mB2};
    }
    static Weights Training(BpNet& net)
    {
        return Weights{static_cast<size_t>(net.mInputs), static_cast<size_t>(net.mPadded / L),
                       static_cast<size_t>(net.mHidden), net.mW1.data(), net.mD1.data(),
                       net.mW2.data(), net.mD2.data(), &net.mB2, &net.mDB2};
    }
};

void BpNet::Randomize(float initMax, uint64_t seed)
{
    mRng = Pcg32(seed);
    ForEachWeight(*this, [&](float& w) { w = mRng.Symmetric(initMax); });
    std::fill(mD1.begin(), mD1.end(), 0.0f);
    std::fill(mD2.begin(), mD2.end(), 0.0f);
    mDB2 = 0.0f;
}

bool BpNet::Jog(float amplitude)
{
    const Floats w1 = mW1, w2 = mW2;
    const float b2 = mB2;
    const Pcg32 rng = mRng;
    ForEachWeight(*this, [&](float& w) { w += mRng.Symmetric(amplitude); });
    if (!std::isfinite(mB2) || !AllFinite(mW1) || !AllFinite(mW2)) {
        mW1 = w1;
        mW2 = w2;
        mB2 = b2;
        mRng = rng;
        return false;
    }
    std::fill(mD1.begin(), mD1.end(), 0.0f);
    std::fill(mD2.begin(), mD2.end(), 0.0f);
    mDB2 = 0.0f;
    return true;
}

bool BpNet::TrainPass(const float* patterns, int32_t nFields, const int32_t* rows, size_t count,
                      float learnRate, float momentum)
{
    if (count == 0)
        return true;
    // The pass works in place; a copy brings the network back if it diverges.
    const Floats w1 = mW1, d1 = mD1, w2 = mW2, d2 = mD2;
    const float b2 = mB2, db2 = mDB2;

    std::vector<float> scratch(3 * static_cast<size_t>(mPadded));
    const Weights w = BpNetAccess::Training(*this);
    TrainKernel(w, patterns, static_cast<size_t>(nFields), rows, count, learnRate, momentum,
                scratch.data(), scratch.data() + mPadded, scratch.data() + 2 * mPadded);
    if (Finite())
        return true;
    mW1 = w1;
    mD1 = d1;
    mW2 = w2;
    mD2 = d2;
    mB2 = b2;
    mDB2 = db2;
    return false;
}

float BpNet::Predict(const float* row) const
{
    std::vector<float> scratch(2 * static_cast<size_t>(mPadded));
    return Forward<Narrow>(BpNetAccess::Forward(*this), row, scratch.data());
}

double BpNet::Run(const float* patterns, int32_t nFields, const int32_t* rows, size_t count,
                  float* results) const
{
    const View w = BpNetAccess::Forward(*this);
    constexpr size_t kChunk = 4096;
    const size_t chunks = (count + kChunk - 1) / kChunk;
    std::vector<double> partial(chunks, 0.0);
    const unsigned threads =
        ThreadsFor(static_cast<double>(count) * static_cast<double>(Connections()));
    ForEachChunk(count, kChunk, threads, [&](size_t c, size_t begin, size_t end) {
        std::vector<float> scratch(2 * static_cast<size_t>(mPadded));
        partial[c] = RunKernel(w, patterns, static_cast<size_t>(nFields), rows + begin,
                               end - begin, results, scratch.data());
    });
    double sum = 0.0;
    for (double p : partial)
        sum += p;
    return sum;
}

bool BpNet::Supported(Kernels k) { return k <= Detected(); }

void BpNet::UseKernels(Kernels k) { Chosen() = Supported(k) ? k : Detected(); }

bool BpNet::Finite() const
{
    return std::isfinite(mB2) && std::isfinite(mDB2) && AllFinite(mW1) && AllFinite(mD1)
           && AllFinite(mW2) && AllFinite(mD2);
}

std::vector<uint8_t> BpNet::Payload() const
{
    ByteWriter out;
    out.I32(mInputs);
    out.I32(mHidden);
    out.U64(mRng.State());
    ForEachWeight(*this, [&](const float& w) { out.F32(w); });
    // The momentum terms in the same order, so a network read back trains on exactly as the
    // written one would have.
    for (int32_t k = 0; k < mHidden; ++k)
        for (int32_t i = 0; i <= mInputs; ++i)
            out.F32(mD1[HiddenIndex(k, i)]);
    for (int32_t k = 0; k < mHidden; ++k)
        out.F32(mD2[static_cast<size_t>(k)]);
    out.F32(mDB2);
    return std::move(out.Bytes());
}

int32_t BpNet::FromPayload(const std::vector<uint8_t>& payload, std::unique_ptr<BpNet>& out)
{
    ByteReader in(payload.data(), payload.size());
    const int32_t n = in.I32();
    const int32_t h = in.I32();
    const uint64_t state = in.U64();
    if (in.Failed() || n < 1 || h < 1 || h > KV_BP_MAX_HIDDEN)
        return KV_ENGINE_ERR_BAD_FILE;
    const uint64_t weights = static_cast<uint64_t>(h) * (static_cast<uint64_t>(n) + 1) + h + 1;
    if (in.Remaining() / 8 != weights || in.Remaining() % 8 != 0)
        return KV_ENGINE_ERR_BAD_FILE;

    auto net = std::make_unique<BpNet>(n, h);
    net->mRng = Pcg32::FromState(state);
    ForEachWeight(*net, [&](float& w) { w = in.F32(); });
    for (int32_t k = 0; k < h; ++k)
        for (int32_t i = 0; i <= n; ++i)
            net->mD1[net->HiddenIndex(k, i)] = in.F32();
    for (int32_t k = 0; k < h; ++k)
        net->mD2[static_cast<size_t>(k)] = in.F32();
    net->mDB2 = in.F32();
    if (in.Failed() || in.Remaining() != 0 || !net->Finite())
        return KV_ENGINE_ERR_BAD_FILE;
    out = std::move(net);
    return KV_ENGINE_SUCCESS;
}

}  // namespace kvengine
