// The SFAM side of the engine: learning, vigilance, contradictory rows, class codes, the
// category limit and the commands that need a trained network.
#include "engine/netfile.h"
#include "engine/rng.h"
#include "engine/sfamnet.h"
#include "tests/engine/enginetest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace enginetest;

namespace {

// Class 1 in the left third of the square, class 2 in the right third.
Table TwoClusters(int32_t rows, uint64_t seed)
{
    Table t(2, rows);
    kvengine::Pcg32 g(seed);
    for (int32_t r = 1; r <= rows; ++r) {
        const bool left = g.Next() & 1u;
        t.Row(r)[0] = left ? 1.0f : 2.0f;
        t.Row(r)[1] = (left ? 0.0f : 0.67f) + 0.33f * g.Unit();
        t.Row(r)[2] = g.Unit();
    }
    return t;
}

// Class 1 inside the centred circle of half the square's area, class 2 outside.
Table Circle(int32_t rows, uint64_t seed)
{
    Table t(2, rows);
    kvengine::Pcg32 g(seed);
    for (int32_t r = 1; r <= rows; ++r) {
        const float x = g.Unit(), y = g.Unit();
        t.Row(r)[1] = x;
        t.Row(r)[2] = y;
        const float d2 = (x - 0.5f) * (x - 0.5f) + (y - 0.5f) * (y - 0.5f);
        t.Row(r)[0] = d2 < 0.5f / 3.14159265f ? 1.0f : 2.0f;
    }
    return t;
}

SFam NewSFam(const std::string& name = "sfam.tmp")
{
    SFam s;
    s.file = FileIn(NewFolder(), name);
    return s;
}

}  // namespace

TEST(SFamLearning, SeparatesTwoSeparableClassesInOnePass)
{
    Table t = TwoClusters(300, 1);
    SFam s = NewSFam();
    ASSERT_EQ(s(t, KV_ENGINE_INIT), 1);
    const int32_t nodes = s(t, KV_ENGINE_TRAIN);
    EXPECT_GE(nodes, 2);
    EXPECT_EQ(s(t, KV_ENGINE_RUN), 0);
    Table fresh = TwoClusters(1000, 2);
    EXPECT_EQ(s(fresh, KV_ENGINE_RUN), 0);
    for (int r = 1; r <= 1000; ++r)
        ASSERT_EQ(fresh.classResults[r], static_cast<int16_t>(fresh.Row(r)[0]));
    VTRELEASE(s.file.c_str());
}

TEST(SFamLearning, HigherVigilanceGivesAtLeastAsManyCategories)
{
    Table t = Circle(2000, 3);
    int32_t previous = 0;
    for (float vigilance : {0.0f, 0.3f, 0.5f, 0.7f, 0.85f, 0.95f}) {
        Table copy = t;
        SFam s = NewSFam();
        s.vigBase = vigilance;
        ASSERT_EQ(s(copy, KV_ENGINE_INIT), 1);
        const int32_t nodes = s(copy, KV_ENGINE_TRAIN);
        EXPECT_GE(nodes, previous) << "vigilance " << vigilance;
        previous = nodes;
        VTRELEASE(s.file.c_str());
    }
    EXPECT_GT(previous, 20);
}

TEST(SFamLearning, ContradictoryRowsKeepTheCategoryCountBounded)
{
    // Ten points, each given both classes over and over.
    Table t(2, 1000);
    for (int r = 1; r <= 1000; ++r) {
        const int point = (r - 1) % 10;
        t.Row(r)[1] = static_cast<float>(point) / 9.0f;
        t.Row(r)[2] = static_cast<float>((point * 7) % 10) / 9.0f;
        t.Row(r)[0] = ((r - 1) / 10) % 2 == 0 ? 1.0f : 2.0f;
    }
    SFam s = NewSFam();
    s.vigBase = 0.9f;
    ASSERT_EQ(s(t, KV_ENGINE_INIT), 1);
    const int32_t first = s(t, KV_ENGINE_TRAIN);
    EXPECT_GT(first, 0);
    EXPECT_LE(first, 20);
    for (int pass = 0; pass < 5; ++pass)
        EXPECT_EQ(s(t, KV_ENGINE_TRAIN), first);
    EXPECT_EQ(s.cycles, 6);
    VTRELEASE(s.file.c_str());
}

// A point that equals a category matches it fully, so at full vigilance a second pass over
// the same rows finds every row its category and commits nothing.
TEST(SFamLearning, FullVigilanceLearnsEachPointOnce)
{
    for (int32_t inputs : {2, 10}) {
        Table t(inputs, 300);
        kvengine::Pcg32 g(12);
        for (int32_t r = 1; r <= 300; ++r) {
            for (int32_t j = 1; j <= inputs; ++j)
                t.Row(r)[j] = g.Unit();
            t.Row(r)[0] = t.Row(r)[1] < 0.5f ? 1.0f : 2.0f;
        }
        SFam s = NewSFam();
        s.vigBase = 1.0f;
        ASSERT_EQ(s(t, KV_ENGINE_INIT), 1);
        EXPECT_EQ(s(t, KV_ENGINE_TRAIN), 300) << inputs << " inputs";
        EXPECT_EQ(s(t, KV_ENGINE_TRAIN), 300) << inputs << " inputs";
        EXPECT_EQ(s(t, KV_ENGINE_RUN), 0);
        VTRELEASE(s.file.c_str());
    }
}

TEST(SFamLearning, LearnsTheCircle)
{
    Table t = Circle(10000, 4);
    SFam s = NewSFam();
    ASSERT_EQ(s(t, KV_ENGINE_INIT), 1);
    ASSERT_GT(s(t, KV_ENGINE_TRAIN), 0);
    Table test = Circle(5000, 5);
    const int32_t wrong = s(test, KV_ENGINE_RUN);
    ASSERT_GE(wrong, 0);
    EXPECT_LT(wrong, 5000 / 10);
    VTRELEASE(s.file.c_str());
}

TEST(SFamCodes, TargetsMustBeClassNumbers)
{
    for (float bad : {-5.0f, 1.5f, 257.0f, std::nanf("")}) {
        Table t = TwoClusters(20, 6);
        t.Row(4)[0] = bad;
        SFam s = NewSFam();
        EXPECT_EQ(s(t, KV_ENGINE_INIT), KV_ENGINE_ERR_BAD_CLASS) << bad;
        t.Skip(4);
        EXPECT_EQ(s(t, KV_ENGINE_INIT), 1) << "a skipped row's target is not read";
        t.classResults[4] = 0;
        EXPECT_EQ(s(t, KV_ENGINE_TRAIN), KV_ENGINE_ERR_BAD_CLASS);
        EXPECT_EQ(s(t, KV_ENGINE_RUN), KV_ENGINE_ERR_BAD_CLASS);
        EXPECT_EQ(s.cycles, 0);
        VTRELEASE(s.file.c_str());
    }
    Table t = TwoClusters(20, 6);
    t.Row(1)[0] = 0.0f;
    t.Row(2)[0] = 256.0f;
    SFam s = NewSFam();
    EXPECT_EQ(s(t, KV_ENGINE_INIT), 1);
    VTRELEASE(s.file.c_str());
}

TEST(SFamCodes, InitRefusalsAndParameters)
{
    SFam s = NewSFam();
    {
        Table t = TwoClusters(20, 7);
        for (int r = 2; r <= 20; ++r)
            t.Skip(r);
        EXPECT_EQ(s(t, KV_ENGINE_INIT), KV_ENGINE_ERR_TOO_FEW_ROWS);
    }
    {
        Table t = TwoClusters(20, 7);
        t.fmin[1] = t.fmax[1] = 0.5f;
        EXPECT_EQ(s(t, KV_ENGINE_INIT), KV_ENGINE_ERR_ZERO_RANGE);
    }
    {
        Table t = TwoClusters(20, 7);
        for (int r = 1; r <= 20; ++r)
            t.Row(r)[2] = 0.5f;
        EXPECT_EQ(s(t, KV_ENGINE_INIT), KV_ENGINE_ERR_CONSTANT_INPUT);
    }
    Table t = TwoClusters(20, 7);
    for (auto change : {+[](SFam& p) { p.vigBase = 1.5f; }, +[](SFam& p) { p.alpha = 0.0f; },
                        +[](SFam& p) { p.beta = -0.1f; }, +[](SFam& p) { p.epsilon = -1e-4f; }}) {
        SFam bad = s;
        change(bad);
        EXPECT_EQ(bad(t, KV_ENGINE_INIT), KV_ENGINE_ERR_ARGUMENT);
    }
    EXPECT_EQ(s(t, KV_ENGINE_JOG), KV_ENGINE_ERR_ARGUMENT);
    EXPECT_EQ(s(t, KV_ENGINE_TRAIN), KV_ENGINE_ERR_NO_NETWORK);
}

TEST(SFamCodes, RunNeedsATrainedNetwork)
{
    Table t = TwoClusters(50, 8);
    SFam s = NewSFam();
    EXPECT_EQ(s(t, KV_ENGINE_RUN), KV_ENGINE_ERR_NO_NETWORK);
    ASSERT_EQ(s(t, KV_ENGINE_INIT), 1);
    EXPECT_EQ(s(t, KV_ENGINE_RUN), KV_ENGINE_ERR_NO_NETWORK);
    const int32_t nodes = s(t, KV_ENGINE_TRAIN);
    ASSERT_GT(nodes, 0);
    t.Skip(5);
    t.classResults[6] = 123;  // the output of an earlier run marks a usable row
    EXPECT_GE(s(t, KV_ENGINE_RUN), 0);
    EXPECT_EQ(t.classResults[5], -1);
    EXPECT_EQ(t.classResults[6], static_cast<int16_t>(t.Row(6)[0]));
    EXPECT_EQ(s.cycles, 1);
    Table wider(3, 5);
    EXPECT_EQ(s(wider, KV_ENGINE_RUN), KV_ENGINE_ERR_LAYOUT);
    VTRELEASE(s.file.c_str());
}

// Every distinct point at full vigilance is a category of its own, one more than allowed.
TEST(SFamLimits, CategoryLimitLeavesTheNetworkAsBeforeThePass)
{
    const int32_t rows = KV_SFAM_MAX_CATEGORIES + 1;
    Table t(2, rows);
    for (int32_t r = 1; r <= rows; ++r) {
        t.Row(r)[0] = static_cast<float>(1 + r % 2);
        t.Row(r)[1] = static_cast<float>(r % 256) / 255.0f;
        t.Row(r)[2] = static_cast<float>(r / 256) / 255.0f;
    }
    SFam s = NewSFam();
    s.vigBase = 1.0f;
    ASSERT_EQ(s(t, KV_ENGINE_INIT), 1);
    EXPECT_EQ(s(t, KV_ENGINE_TRAIN), KV_ENGINE_ERR_CATEGORY_LIMIT);
    EXPECT_EQ(s.cycles, 0);
    EXPECT_EQ(s(t, KV_ENGINE_RUN), KV_ENGINE_ERR_NO_NETWORK);  // still without a category
    VTRELEASE(s.file.c_str());
}

// Equal choices go to the first category of them wherever it lies: in a tile of categories
// chosen side by side, in the shorter tile after them or one by one at the end, for a run of
// many rows (chosen together) as for a single prediction.
TEST(SFamRun, EqualChoicesGoToTheFirstCategory)
{
    constexpr int32_t kCategories = 43;
    // One input of 0.4: a box [0.2, 0.6] holds it and has the highest choice, [0.5, 0.9] less.
    const auto network = [&](int32_t firstBest) {
        kvengine::ByteWriter out;
        out.I32(1);
        out.I32(kCategories);
        for (int32_t j = 0; j < kCategories; ++j) {
            out.I32(j);
            out.F32(j < firstBest ? 0.5f : 0.2f);
            out.F32(j < firstBest ? 0.1f : 0.4f);
        }
        std::unique_ptr<kvengine::SfamNet> net;
        EXPECT_EQ(kvengine::SfamNet::FromPayload(out.Bytes(), net), KV_ENGINE_SUCCESS);
        return net;
    };
    constexpr int32_t kRows = 11;
    std::vector<float> patterns(2 * (kRows + 1), 0.4f);
    std::vector<int32_t> rows;
    for (int32_t r = 1; r <= kRows; ++r)
        rows.push_back(r);
    for (int32_t first = 0; first < kCategories; ++first) {
        const auto net = network(first);
        ASSERT_TRUE(net);
        EXPECT_EQ(net->Predict(patterns.data() + 2, 0.001f), first);
        std::vector<int16_t> results(kRows + 1, -1);
        net->Run(patterns.data(), 2, rows.data(), rows.size(), 0.001f, results.data());
        for (int32_t r = 1; r <= kRows; ++r)
            ASSERT_EQ(results[static_cast<size_t>(r)], first) << r;
    }
}
