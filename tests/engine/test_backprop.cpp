// The back-propagation side of the engine: learning, exact runs, the codes of every command,
// cycles, unusable rows, jogs and divergence.
#include "engine/bpnet.h"
#include "engine/fastmath.h"
#include "engine/netfile.h"
#include "engine/parallel.h"
#include "tests/engine/enginetest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <functional>
#include <memory>
#include <string>
#include <thread>

using namespace enginetest;

namespace {

Table Xor()
{
    Table t(2, 4);
    const float rows[4][3] = {{0, 0, 0}, {1, 0, 1}, {1, 1, 0}, {0, 1, 1}};
    for (int r = 0; r < 4; ++r)
        for (int j = 0; j < 3; ++j)
            t.Row(r + 1)[j] = rows[r][j];
    return t;
}

// 0.5 + 0.3 sin(3x) cos(2y) on a 20 x 20 grid.
Table Smooth()
{
    Table t(2, 400);
    for (int r = 1; r <= 400; ++r) {
        const float x = static_cast<float>((r - 1) % 20) / 19.0f;
        const float y = static_cast<float>((r - 1) / 20) / 19.0f;
        t.Row(r)[0] = 0.5f + 0.3f * std::sin(3.0f * x) * std::cos(2.0f * y);
        t.Row(r)[1] = x;
        t.Row(r)[2] = y;
    }
    return t;
}

Bp NewBp(const std::string& name = "net.tmp")
{
    Bp bp;
    bp.file = FileIn(NewFolder(), name);
    return bp;
}

double Logistic(double x) { return 1.0 / (1.0 + std::exp(-x)); }

}  // namespace

TEST(BackPropArithmetic, LogisticIsAccurateAndBoundedEverywhere)
{
    double worst = 0.0;
    for (int step = -200000; step <= 200000; ++step) {
        const float x = static_cast<float>(step) * 0.0005f;
        const float y = kvengine::Logistic(x);
        ASSERT_TRUE(y >= 0.0f && y <= 1.0f) << x;
        worst = std::max(worst, std::fabs(y - Logistic(x)));
    }
    EXPECT_LT(worst, 2e-7);
    EXPECT_EQ(kvengine::Logistic(-1e30f), kvengine::Logistic(-87.0f));
    EXPECT_EQ(kvengine::Logistic(1e30f), 1.0f);
}

// A diverged network's net inputs are NaN: the logistic passes them on with defined
// arithmetic (the pass then reports the divergence).
TEST(BackPropArithmetic, NaNStaysNaN)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(std::isnan(kvengine::ExpPoly(nan)));
    EXPECT_TRUE(std::isnan(kvengine::Logistic(nan)));
}

TEST(BackPropLearning, LearnsXor)
{
    Table t = Xor();
    Bp bp = NewBp();
    bp.learnRate = 0.5f;
    bp.momentum = 0.9f;
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    int32_t error = bp(t, KV_ENGINE_RUN);
    for (int pass = 0; pass < 4000 && error > 500; ++pass) {
        ASSERT_EQ(bp(t, KV_ENGINE_TRAIN), 1);
        if (pass % 50 == 0)
            error = bp(t, KV_ENGINE_RUN);
    }
    error = bp(t, KV_ENGINE_RUN);
    EXPECT_LT(error, 500);  // mean error under 5 %
    for (int r = 1; r <= 4; ++r)
        EXPECT_NEAR(t.bpResults[r], t.Row(r)[0], 0.2f) << "row " << r;
    VTRELEASE(bp.file.c_str());
}

TEST(BackPropLearning, LearnsSmoothFunction)
{
    Table t = Smooth();
    Bp bp = NewBp();
    bp.hidden = 8;
    bp.learnRate = 0.5f;
    bp.momentum = 0.5f;
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    const int32_t before = bp(t, KV_ENGINE_RUN);
    for (int pass = 0; pass < 400; ++pass)
        ASSERT_EQ(bp(t, KV_ENGINE_TRAIN), 1);
    const int32_t after = bp(t, KV_ENGINE_RUN);
    EXPECT_LT(after, 150) << "before training " << before;  // under 1.5 % on the 0..1 scale
    VTRELEASE(bp.file.c_str());
}

TEST(BackPropLearning, SameDataAndParametersGiveTheSameNetwork)
{
    Table t = Smooth();
    Bp a = NewBp("a.tmp"), b = NewBp("b.tmp");
    for (Bp* bp : {&a, &b}) {
        ASSERT_EQ((*bp)(t, KV_ENGINE_INIT), 1);
        for (int pass = 0; pass < 5; ++pass)
            ASSERT_EQ((*bp)(t, KV_ENGINE_TRAIN), 1);
        ASSERT_EQ((*bp)(t, KV_ENGINE_WRITE), 1);
    }
    EXPECT_EQ(ReadBytes(a.file), ReadBytes(b.file));
    VTRELEASE(a.file.c_str());
    VTRELEASE(b.file.c_str());
}

TEST(BackPropRun, ExactOnHandSetNetwork)
{
    kvengine::BpNet net(2, 2);
    const float w1[2][3] = {{0.5f, -1.0f, 2.0f}, {-0.25f, 1.5f, 0.75f}};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i)
            net.SetHiddenWeight(k, i, w1[k][i]);
    net.SetOutputWeight(0, 1.25f);
    net.SetOutputWeight(1, -2.0f);
    net.SetOutputBias(0.1f);
    const std::string file = FileIn(NewFolder(), "hand.tmp");
    ASSERT_EQ(kvengine::WriteFileAtomic(
                  file, kvengine::WrapNetFile(kvengine::NetKind::BackProp, net.Payload())),
              1);

    Table t(2, 3);
    const float rows[3][3] = {{0.3f, 0.0f, 0.0f}, {0.6f, 1.0f, 0.25f}, {0.9f, 0.2f, 0.8f}};
    for (int r = 0; r < 3; ++r)
        for (int j = 0; j < 3; ++j)
            t.Row(r + 1)[j] = rows[r][j];
    Bp bp;
    bp.file = file;
    ASSERT_EQ(bp(t, KV_ENGINE_READ), 1);
    const int32_t code = bp(t, KV_ENGINE_RUN);

    double sum = 0.0;
    for (int r = 1; r <= 3; ++r) {
        const float* row = t.Row(r);
        double out = 0.1;
        const double wOut[2] = {1.25, -2.0};
        for (int k = 0; k < 2; ++k)
            out += wOut[k] * Logistic(w1[k][0] + w1[k][1] * row[1] + w1[k][2] * row[2]);
        const double expected = Logistic(out);
        EXPECT_NEAR(t.bpResults[r], expected, 2e-6) << "row " << r;
        EXPECT_EQ(t.bpResults[r], net.Predict(row));
        sum += std::fabs(row[0] - t.bpResults[r]);
    }
    EXPECT_EQ(code, static_cast<int32_t>(std::lround(10000.0 * sum / 3.0)));
    VTRELEASE(file.c_str());
}

// Finite inputs whose products overflow to +inf and -inf give no output at all: the run
// says so with the numeric code, and the network serves sound rows as before.
TEST(BackPropRun, OverflowingNetInputIsANumericFailure)
{
    kvengine::BpNet net(2, 1);
    net.SetHiddenWeight(0, 1, 2.0f);
    net.SetHiddenWeight(0, 2, -2.0f);
    net.SetOutputWeight(0, 1.0f);
    const std::string file = FileIn(NewFolder(), "wild.tmp");
    ASSERT_EQ(kvengine::WriteFileAtomic(
                  file, kvengine::WrapNetFile(kvengine::NetKind::BackProp, net.Payload())),
              1);
    Table t(2, 2);
    t.Row(1)[1] = t.Row(1)[2] = 3e38f;
    t.Row(2)[1] = 0.25f;
    Bp bp;
    bp.file = file;
    ASSERT_EQ(bp(t, KV_ENGINE_READ), 1);
    EXPECT_EQ(bp(t, KV_ENGINE_RUN), KV_ENGINE_ERR_NUMERIC);
    t.Skip(1);
    EXPECT_GE(bp(t, KV_ENGINE_RUN), 0);
    EXPECT_EQ(t.bpResults[2], net.Predict(t.Row(2)));
    VTRELEASE(file.c_str());
}

// Large runs are split over threads inside kernels built for the machine; every row must
// still come out exactly as a lone prediction computes it.
TEST(BackPropRun, ManyRowsMatchSinglePredictions)
{
    const int32_t rows = 150000;
    Table t(20, rows);
    kvengine::Pcg32 g(7);
    for (int32_t r = 1; r <= rows; ++r)
        for (int32_t j = 0; j <= 20; ++j)
            t.Row(r)[j] = g.Unit();
    kvengine::BpNet net(20, 37);
    net.Randomize(1.0f, 99);
    const std::string file = FileIn(NewFolder(), "many.tmp");
    ASSERT_EQ(kvengine::WriteFileAtomic(
                  file, kvengine::WrapNetFile(kvengine::NetKind::BackProp, net.Payload())),
              1);
    Bp bp;
    bp.file = file;
    ASSERT_EQ(bp(t, KV_ENGINE_READ), 1);
    ASSERT_GE(bp(t, KV_ENGINE_RUN), 0);
    int32_t differ = 0;
    for (int32_t r = 1; r <= rows; ++r)
        differ += t.bpResults[static_cast<size_t>(r)] != net.Predict(t.Row(r));
    EXPECT_EQ(differ, 0);
    VTRELEASE(file.c_str());
}

namespace {

// Online back-propagation written plainly, one unit at a time, every sum in the kernels'
// order: a hidden unit's from its bias through its inputs, the output's in eight partial sums
// (partial l over units l, l + 8, ...) added pairwise.
struct PlainNet {
    explicit PlainNet(const kvengine::BpNet& net) : n(net.Inputs()), h(net.Hidden())
    {
        for (int k = 0; k < h; ++k) {
            for (int i = 0; i <= n; ++i)
                w1.push_back(net.HiddenWeight(k, i));
            w2.push_back(net.OutputWeight(k));
        }
        b2 = net.OutputBias();
        d1.assign(w1.size(), 0.0f);
        d2.assign(w2.size(), 0.0f);
    }
    float Forward(const float* x, std::vector<float>& hid) const
    {
        hid.assign(static_cast<size_t>(h), 0.0f);
        float s[8] = {};
        for (int k = 0; k < h; ++k) {
            const float* w = &w1[static_cast<size_t>(k * (n + 1))];
            float a = w[0];
            for (int i = 1; i <= n; ++i)
                a += x[i] * w[i];
            hid[k] = kvengine::Logistic(a);
            s[k % 8] += w2[k] * hid[k];
        }
        return kvengine::Logistic(((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]))
                                  + b2);
    }
    void Train(const float* x, float lr, float mom)
    {
        std::vector<float> hid;
        const float y = Forward(x, hid);
        const float dOut = (x[0] - y) * y * (1.0f - y);
        const float gOut = lr * dOut;
        for (int k = 0; k < h; ++k) {
            const float g = lr * (dOut * w2[k] * hid[k] * (1.0f - hid[k]));
            d2[k] = gOut * hid[k] + mom * d2[k];
            w2[k] += d2[k];
            for (int i = 0; i <= n; ++i) {
                const size_t o = static_cast<size_t>(k * (n + 1) + i);
                d1[o] = (i == 0 ? g : g * x[i]) + mom * d1[o];
                w1[o] += d1[o];
            }
        }
        db2 = gOut + mom * db2;
        b2 += db2;
    }
    int n, h;
    std::vector<float> w1, d1, w2, d2;
    float b2 = 0.0f, db2 = 0.0f;
};

}  // namespace

// Every kernel this machine can run, on shapes trained in registers and in memory, with and
// without padding units: training and runs give the plain reference's bits.
TEST(BackPropKernels, EveryKernelGivesThePlainReferenceBits)
{
    using K = kvengine::BpNet::Kernels;
    // Back to the widest set when the test ends, however it ends.
    struct Widest {
        ~Widest() { kvengine::BpNet::UseKernels(K::Avx512); }
    } widest;
    const int shapes[][2] = {{8, 16}, {20, 40}, {100, 200}, {3, 5}, {13, 70}};
    for (const auto& shape : shapes) {
        const int n = shape[0], h = shape[1], rows = 300;
        Table t(n, rows);
        kvengine::Pcg32 g(static_cast<uint64_t>(n * 1000 + h));
        for (int32_t r = 1; r <= rows; ++r)
            for (int32_t j = 0; j <= n; ++j)
                t.Row(r)[j] = g.Unit();
        std::vector<int32_t> order;  // every row but a few, so the rows are not one span
        for (int32_t r = 1; r <= rows; ++r)
            if (r % 7 != 3)
                order.push_back(r);

        kvengine::BpNet start(n, h);
        start.Randomize(0.5f, 17);
        PlainNet plain(start);
        for (int pass = 0; pass < 2; ++pass)
            for (int32_t r : order)
                plain.Train(t.Row(r), 0.2f, 0.5f);

        for (K kernels : {K::Generic, K::Avx2, K::Avx512}) {
            if (!kvengine::BpNet::Supported(kernels))
                continue;
            SCOPED_TRACE(std::to_string(n) + "-" + std::to_string(h) + "-1, kernels "
                         + std::to_string(static_cast<int>(kernels)));
            kvengine::BpNet::UseKernels(kernels);
            kvengine::BpNet net = start;
            // One pass whole, one in blocks of rows as a paced pass trains them.
            ASSERT_TRUE(net.TrainPass(t.patterns.data(), t.fields, order.data(), order.size(),
                                      0.2f, 0.5f));
            for (size_t b = 0; b < order.size(); b += 37)
                ASSERT_TRUE(net.TrainPass(t.patterns.data(), t.fields, order.data() + b,
                                          std::min<size_t>(37, order.size() - b), 0.2f, 0.5f));
            int differ = 0;
            for (int k = 0; k < h; ++k) {
                for (int i = 0; i <= n; ++i)
                    differ += std::bit_cast<uint32_t>(net.HiddenWeight(k, i))
                              != std::bit_cast<uint32_t>(plain.w1[static_cast<size_t>(k * (n + 1) + i)]);
                differ += std::bit_cast<uint32_t>(net.OutputWeight(k))
                          != std::bit_cast<uint32_t>(plain.w2[static_cast<size_t>(k)]);
            }
            differ += std::bit_cast<uint32_t>(net.OutputBias()) != std::bit_cast<uint32_t>(plain.b2);
            EXPECT_EQ(differ, 0) << "weights differ";

            std::vector<float> results(static_cast<size_t>(t.rows), 0.0f), hid;
            net.Run(t.patterns.data(), t.fields, order.data(), order.size(), results.data());
            int outputs = 0;
            for (int32_t r : order)
                outputs += std::bit_cast<uint32_t>(results[static_cast<size_t>(r)])
                           != std::bit_cast<uint32_t>(plain.Forward(t.Row(r), hid));
            EXPECT_EQ(outputs, 0) << "outputs differ";
        }
    }
}

TEST(BackPropRun, UnusableRowsStayMarkedAndRowZeroUntouched)
{
    Table t = Smooth();
    t.Skip(3);
    t.Skip(400);
    t.bpResults[0] = 42.0f;
    t.Row(3)[1] = std::nanf("");  // an unusable row's values are never looked at
    Bp bp = NewBp();
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    ASSERT_EQ(bp(t, KV_ENGINE_TRAIN), 1);
    ASSERT_GE(bp(t, KV_ENGINE_RUN), 0);
    EXPECT_EQ(t.bpResults[3], -1.0f);
    EXPECT_EQ(t.bpResults[400], -1.0f);
    EXPECT_EQ(t.bpResults[0], 42.0f);
    for (int r : {1, 2, 4, 399}) {
        EXPECT_GT(t.bpResults[r], 0.0f);
        EXPECT_LT(t.bpResults[r], 1.0f);
    }
    // The run's outputs may stay in place for the next pass: they mark usable rows.
    EXPECT_EQ(bp(t, KV_ENGINE_TRAIN), 1);
    EXPECT_GE(bp(t, KV_ENGINE_RUN), 0);
    EXPECT_EQ(t.bpResults[3], -1.0f);

    for (int r = 1; r <= 400; ++r)
        t.Skip(r);
    EXPECT_EQ(bp(t, KV_ENGINE_RUN), KV_ENGINE_ERR_TOO_FEW_ROWS);
    EXPECT_EQ(bp(t, KV_ENGINE_TRAIN), KV_ENGINE_ERR_TOO_FEW_ROWS);
    VTRELEASE(bp.file.c_str());
}

TEST(BackPropCodes, InitRefusals)
{
    Bp bp = NewBp();
    {
        Table t = Smooth();
        for (int r = 2; r <= 400; ++r)
            t.Skip(r);
        EXPECT_EQ(bp(t, KV_ENGINE_INIT), KV_ENGINE_ERR_TOO_FEW_ROWS);
        Table empty(2, 0);
        EXPECT_EQ(bp(empty, KV_ENGINE_INIT), KV_ENGINE_ERR_TOO_FEW_ROWS);
    }
    {
        Table t = Smooth();
        t.fmin[2] = t.fmax[2] = 7.0f;
        EXPECT_EQ(bp(t, KV_ENGINE_INIT), KV_ENGINE_ERR_ZERO_RANGE);
        t.fmin[2] = 0.0f;
        t.fmin[0] = t.fmax[0];  // the prediction field's range is not an input's
        EXPECT_EQ(bp(t, KV_ENGINE_INIT), 1);
        VTRELEASE(bp.file.c_str());
    }
    {
        Table t = Smooth();
        for (int r = 1; r <= 400; ++r)
            t.Row(r)[1] = 0.25f;
        t.Row(7)[1] = 0.9f;
        t.Skip(7);  // the one different value lies in an unusable row
        EXPECT_EQ(bp(t, KV_ENGINE_INIT), KV_ENGINE_ERR_CONSTANT_INPUT);
    }
    {
        Table t = Smooth();
        Bp bad = bp;
        bad.hidden = 0;
        EXPECT_EQ(bad(t, KV_ENGINE_INIT), KV_ENGINE_ERR_ARGUMENT);
        bad = bp;
        bad.learnRate = -0.1f;
        EXPECT_EQ(bad(t, KV_ENGINE_INIT), KV_ENGINE_ERR_ARGUMENT);
        bad = bp;
        bad.initMax = std::nanf("");
        EXPECT_EQ(bad(t, KV_ENGINE_INIT), KV_ENGINE_ERR_ARGUMENT);
        EXPECT_EQ(bp(t, 6), KV_ENGINE_ERR_ARGUMENT);
        EXPECT_EQ(bp(t, -1), KV_ENGINE_ERR_ARGUMENT);
        EXPECT_EQ(VTBACKPROP(nullptr, t.fields, t.rows, t.fmin.data(), t.fmax.data(),
                             t.bpResults.data(), &bp.cycles, 4, 25, 1, 0.5f, 0.5f,
                             bp.file.c_str(), KV_ENGINE_INIT),
                  KV_ENGINE_ERR_ARGUMENT);
        EXPECT_EQ(VTBACKPROP(t.patterns.data(), 1, t.rows, t.fmin.data(), t.fmax.data(),
                             t.bpResults.data(), &bp.cycles, 4, 25, 1, 0.5f, 0.5f,
                             bp.file.c_str(), KV_ENGINE_INIT),
                  KV_ENGINE_ERR_ARGUMENT);
        EXPECT_EQ(VTBACKPROP(t.patterns.data(), t.fields, t.rows, t.fmin.data(), t.fmax.data(),
                             t.bpResults.data(), &bp.cycles, 4, 25, 1, 0.5f, 0.5f, "",
                             KV_ENGINE_INIT),
                  KV_ENGINE_ERR_ARGUMENT);
        t.Row(9)[2] = std::numeric_limits<float>::infinity();
        EXPECT_EQ(bp(t, KV_ENGINE_INIT), KV_ENGINE_ERR_ARGUMENT);
    }
    // None of the refusals left a network behind.
    Table t = Smooth();
    EXPECT_EQ(bp(t, KV_ENGINE_RUN), KV_ENGINE_ERR_NO_NETWORK);
}

TEST(BackPropCodes, CommandsNeedANetworkOfTheirLayout)
{
    Table t = Smooth();
    Bp bp = NewBp();
    for (int16_t c : {KV_ENGINE_TRAIN, KV_ENGINE_RUN, KV_ENGINE_WRITE, KV_ENGINE_JOG})
        EXPECT_EQ(bp(t, c), KV_ENGINE_ERR_NO_NETWORK) << "command " << c;
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    Table wider(3, 10);
    for (int r = 1; r <= 10; ++r)
        for (int j = 1; j <= 3; ++j)
            wider.Row(r)[j] = static_cast<float>((r * j) % 7) / 7.0f;
    EXPECT_EQ(bp(wider, KV_ENGINE_TRAIN), KV_ENGINE_ERR_LAYOUT);
    EXPECT_EQ(bp(wider, KV_ENGINE_RUN), KV_ENGINE_ERR_LAYOUT);
    // An SFAM call on a back-propagation network's name finds no network of its kind.
    SFam sf;
    sf.file = bp.file;
    EXPECT_EQ(sf(t, KV_ENGINE_RUN), KV_ENGINE_ERR_NO_NETWORK);
    VTRELEASE(bp.file.c_str());
    EXPECT_EQ(bp(t, KV_ENGINE_RUN), KV_ENGINE_ERR_NO_NETWORK);
    VTRELEASE(bp.file.c_str());  // forgetting twice is harmless
    VTRELEASE(nullptr);
}

TEST(BackPropCycles, GrowByOnePerTrainOnly)
{
    Table t = Smooth();
    Bp bp = NewBp();
    bp.cycles = 17;
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    EXPECT_EQ(bp.cycles, 17);
    ASSERT_EQ(bp(t, KV_ENGINE_TRAIN), 1);
    ASSERT_EQ(bp(t, KV_ENGINE_TRAIN), 1);
    EXPECT_EQ(bp.cycles, 19);
    bp(t, KV_ENGINE_RUN);
    bp(t, KV_ENGINE_WRITE);
    bp(t, KV_ENGINE_READ);
    bp(t, KV_ENGINE_JOG);
    EXPECT_EQ(bp.cycles, 19);
    Bp bad = bp;
    bad.momentum = -1.0f;
    EXPECT_EQ(bad(t, KV_ENGINE_TRAIN), KV_ENGINE_ERR_ARGUMENT);
    EXPECT_EQ(bad.cycles, 19);
    VTRELEASE(bp.file.c_str());
}

TEST(BackPropJog, ChangesOutputsButNotTheLayout)
{
    Table t = Smooth();
    Bp bp = NewBp();
    bp.hidden = 5;
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    ASSERT_EQ(bp(t, KV_ENGINE_TRAIN), 1);
    ASSERT_GE(bp(t, KV_ENGINE_RUN), 0);
    const std::vector<float> before = t.bpResults;

    bp.jogMax = 0;
    ASSERT_EQ(bp(t, KV_ENGINE_JOG), 1);
    ASSERT_GE(bp(t, KV_ENGINE_RUN), 0);
    EXPECT_EQ(t.bpResults, before);

    bp.jogMax = 25;
    ASSERT_EQ(bp(t, KV_ENGINE_JOG), 1);
    ASSERT_GE(bp(t, KV_ENGINE_RUN), 0);
    int changed = 0;
    for (int r = 1; r <= 400; ++r)
        changed += t.bpResults[r] != before[r];
    EXPECT_GT(changed, 390);
    EXPECT_EQ(bp(t, KV_ENGINE_TRAIN), 1);

    ASSERT_EQ(bp(t, KV_ENGINE_WRITE), 1);
    std::vector<uint8_t> payload;
    std::unique_ptr<kvengine::BpNet> net;
    ASSERT_EQ(kvengine::UnwrapNetFile(ReadBytes(bp.file), kvengine::NetKind::BackProp, payload), 1);
    ASSERT_EQ(kvengine::BpNet::FromPayload(payload, net), 1);
    EXPECT_EQ(net->Inputs(), 2);
    EXPECT_EQ(net->Hidden(), 5);

    bp.jogMax = -1;
    EXPECT_EQ(bp(t, KV_ENGINE_JOG), KV_ENGINE_ERR_ARGUMENT);
    VTRELEASE(bp.file.c_str());
}

TEST(BackPropJog, StaysWithinTheJogSize)
{
    kvengine::BpNet net(3, 9);
    net.Randomize(0.0f, 1);
    ASSERT_TRUE(net.Jog(0.5f));
    float largest = 0.0f;
    for (int k = 0; k < 9; ++k) {
        for (int i = 0; i <= 3; ++i)
            largest = std::max(largest, std::fabs(net.HiddenWeight(k, i)));
        largest = std::max(largest, std::fabs(net.OutputWeight(k)));
    }
    EXPECT_LE(largest, 0.5f);
    EXPECT_GT(largest, 0.3f);
}

TEST(BackPropDivergence, LeavesTheNetworkAsBeforeThePass)
{
    Table t = Smooth();
    Bp bp = NewBp();
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    ASSERT_EQ(bp(t, KV_ENGINE_TRAIN), 1);
    const int32_t error = bp(t, KV_ENGINE_RUN);
    const std::vector<float> before = t.bpResults;
    const int32_t cycles = bp.cycles;

    Bp wild = bp;
    wild.learnRate = 3e38f;
    wild.momentum = 1e38f;
    EXPECT_EQ(wild(t, KV_ENGINE_TRAIN), KV_ENGINE_ERR_NUMERIC);
    EXPECT_EQ(wild.cycles, cycles);
    EXPECT_EQ(bp(t, KV_ENGINE_RUN), error);
    EXPECT_EQ(t.bpResults, before);
    VTRELEASE(bp.file.c_str());
}

TEST(BackPropInit, ReplacesTheNetworkOfTheName)
{
    Table t = Smooth();
    Bp bp = NewBp();
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    const int32_t fresh = bp(t, KV_ENGINE_RUN);
    for (int pass = 0; pass < 20; ++pass)
        ASSERT_EQ(bp(t, KV_ENGINE_TRAIN), 1);
    ASSERT_NE(bp(t, KV_ENGINE_RUN), fresh);
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    EXPECT_EQ(bp(t, KV_ENGINE_RUN), fresh);
    VTRELEASE(bp.file.c_str());
}

TEST(BackPropThreads, NetworksOfDifferentNamesTrainSideBySide)
{
    const Table data = Smooth();
    auto train = [&](const std::string& file, std::vector<float>& out) {
        Table t = data;
        Bp bp;
        bp.file = file;
        if (bp(t, KV_ENGINE_INIT) != 1)
            return;
        for (int pass = 0; pass < 30; ++pass)
            bp(t, KV_ENGINE_TRAIN);
        bp(t, KV_ENGINE_RUN);
        out = t.bpResults;
        VTRELEASE(file.c_str());
    };
    const std::string folder = NewFolder();
    std::vector<float> alone;
    train(FileIn(folder, "alone.tmp"), alone);
    ASSERT_FALSE(alone.empty());
    std::vector<std::vector<float>> outs(4);
    std::vector<std::thread> pool;
    for (int i = 0; i < 4; ++i)
        pool.emplace_back(train, FileIn(folder, "t" + std::to_string(i) + ".tmp"),
                          std::ref(outs[i]));
    for (auto& th : pool)
        th.join();
    for (const auto& out : outs)
        EXPECT_EQ(out, alone);
}

// A test shown with its progress runs in many small calls: they all share one set of threads,
// started once, whether the calls come one after another, from several threads at once, or
// from inside a chunk; every chunk is worked once, and a chunk's exception comes out of its
// call after the others have ended.
TEST(BackPropThreads, ManyCallsShareOneSetOfThreads)
{
    const size_t before = kvengine::ThreadsStarted();
    const auto calls = [](int n) {
        int wrong = 0;
        for (int i = 0; i < n; ++i) {
            std::vector<std::atomic<int>> seen(64);
            kvengine::ForEachChunk(640, 10, 4, [&](size_t c, size_t begin, size_t end) {
                seen[c] += begin == c * 10 && end == begin + 10 ? 1 : 100;
                if (c == 5) {   // a job inside a job
                    std::atomic<int> inner{0};
                    kvengine::ForEachChunk(8, 1, 4, [&](size_t, size_t, size_t) { ++inner; });
                    seen[c] += inner == 8 ? 0 : 100;
                }
            });
            for (const std::atomic<int>& s : seen)
                wrong += s != 1;
        }
        return wrong;
    };
    EXPECT_EQ(calls(200), 0);
    std::vector<int> wrong(3, -1);
    std::vector<std::thread> callers;
    for (int& w : wrong)
        callers.emplace_back([&w, &calls] { w = calls(50); });
    for (std::thread& c : callers)
        c.join();
    EXPECT_EQ(wrong, std::vector<int>(3, 0));
    std::atomic<int> worked{0};
    EXPECT_THROW(kvengine::ForEachChunk(64, 1, 4,
                                        [&](size_t c, size_t, size_t) {
                                            ++worked;
                                            if (c == 3)
                                                throw std::runtime_error("chunk 3");
                                        }),
                 std::runtime_error);
    EXPECT_LE(worked, 64);
    EXPECT_EQ(calls(1), 0);
    EXPECT_LE(kvengine::ThreadsStarted() - before, std::max(1u, std::thread::hardware_concurrency()) - 1);
}

// A network object still held when the process ends goes after the statics, and releases its
// file from its destructor then: the engine must still know its files. The child starts afresh,
// so that the engine's first use comes after the release is arranged, as in the program.
TEST(BackPropRelease, ANetworkLetGoAfterTheStaticsAtExit)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static char file[4096];
            std::atexit([] { VTRELEASE(file); });
            Table t = Xor();
            Bp bp = NewBp();
            bp.file.copy(file, sizeof file - 1);
            if (bp(t, KV_ENGINE_INIT) != 1)
                std::_Exit(3);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
