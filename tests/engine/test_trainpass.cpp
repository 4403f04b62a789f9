// Training passes worked off in blocks of rows: bit for bit the network of whole Train
// commands whatever the block sizes, a failure in a later block leaves the network as at the
// beginning of the pass, only whole passes count, and a command in between ends the pass.
#include "engine/rng.h"
#include "engine/trainpass.h"
#include "tests/engine/enginetest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <vector>

using namespace enginetest;

namespace {

// Three inputs, a smooth target with a little noise, every seventh row unusable.
Table Wavy(int32_t rows)
{
    Table t(3, rows);
    kvengine::Pcg32 g(11);
    for (int32_t r = 1; r <= rows; ++r) {
        const float x = g.Unit(), y = g.Unit(), z = g.Unit();
        t.Row(r)[0] = 0.5f + 0.3f * std::sin(4.0f * x) * std::cos(3.0f * y) + 0.1f * z * g.Unit();
        t.Row(r)[1] = x;
        t.Row(r)[2] = y;
        t.Row(r)[3] = z;
        if (r % 7 == 0)
            t.Skip(r);
    }
    return t;
}

// Classes 1..3 by the distance from the centre of the cube.
Table Shells(int32_t rows)
{
    Table t(3, rows);
    kvengine::Pcg32 g(12);
    for (int32_t r = 1; r <= rows; ++r) {
        float d = 0.0f;
        for (int j = 1; j <= 3; ++j) {
            t.Row(r)[j] = g.Unit();
            d += (t.Row(r)[j] - 0.5f) * (t.Row(r)[j] - 0.5f);
        }
        t.Row(r)[0] = d < 0.1f ? 1.0f : d < 0.3f ? 2.0f : 3.0f;
        if (r % 11 == 0)
            t.Skip(r);
    }
    return t;
}

// Block sizes that change from block to block: 1, 2, 3, ... up to `largest`, then again.
// Largest 0: blocks of all the rows left, each held by a time budget too short for more than
// the engine's first step of rows.
struct Sizes {
    size_t largest;
    size_t next = 0;
    size_t operator()() { return largest == 0 ? 1000000 : next = next % largest + 1; }
    double Budget() const { return largest == 0 ? 1e-9 : 0.0; }
};

int32_t BpPassInBlocks(kvengine::TrainPass& pass, Table& t, Bp& bp, Sizes sizes)
{
    const int32_t begun = pass.BeginBackProp(t.patterns.data(), t.fields, t.rows, t.fmin.data(),
                                             t.fmax.data(), t.bpResults.data(), bp.learnRate,
                                             bp.momentum, bp.file.c_str());
    if (begun != KV_ENGINE_SUCCESS)
        return begun;
    int32_t answer = 0;
    while ((answer = pass.Next(sizes(), &bp.cycles, sizes.Budget())) == 0) {
    }
    return answer;
}

int32_t SFamPassInBlocks(kvengine::TrainPass& pass, Table& t, SFam& s, Sizes sizes)
{
    const int32_t begun = pass.BeginSFam(t.patterns.data(), t.fields, t.rows, t.fmin.data(),
                                         t.fmax.data(), t.classResults.data(), s.vigBase, s.alpha,
                                         s.beta, s.epsilon, s.file.c_str());
    if (begun != KV_ENGINE_SUCCESS)
        return begun;
    int32_t answer = 0;
    while ((answer = pass.Next(sizes(), &s.cycles, sizes.Budget())) == 0) {
    }
    return answer;
}

template <class Net> std::vector<uint8_t> Written(Net& net, Table& t)
{
    EXPECT_EQ(net(t, KV_ENGINE_WRITE), 1);
    return ReadBytes(net.file);
}

// Trains `whole` by Train commands and `blocks` by passes in blocks of the given largest sizes,
// pass by pass alike: answers, cycles, runs and the written networks.
template <class Net, class Results>
void ExpectWholeAndBlocksAlike(Table& t, Net& whole, Net& blocks, std::initializer_list<size_t> largest,
                               int32_t (*inBlocks)(kvengine::TrainPass&, Table&, Net&, Sizes),
                               Results Table::*results)
{
    ASSERT_EQ(whole(t, KV_ENGINE_INIT), 1);
    ASSERT_EQ(blocks(t, KV_ENGINE_INIT), 1);
    kvengine::TrainPass pass;
    for (size_t size : largest) {
        const int32_t answer = whole(t, KV_ENGINE_TRAIN);
        ASSERT_GE(answer, 1);
        EXPECT_EQ(inBlocks(pass, t, blocks, Sizes{size}), answer) << size;
        EXPECT_FALSE(pass.Open());
        EXPECT_EQ(blocks.cycles, whole.cycles);
        Table a = t, b = t;
        EXPECT_EQ(whole(a, KV_ENGINE_RUN), blocks(b, KV_ENGINE_RUN));
        EXPECT_EQ(a.*results, b.*results);
    }
    // Weights, momentum terms and generator (categories) alike, so later passes agree too.
    EXPECT_EQ(Written(whole, t), Written(blocks, t));
    VTRELEASE(whole.file.c_str());
    VTRELEASE(blocks.file.c_str());
}

}  // namespace

TEST(TrainInBlocks, BackPropNetworkErrorsAndCyclesAreThoseOfWholePasses)
{
    Table t = Wavy(600);
    Bp whole, blocks;
    whole.file = FileIn(NewFolder(), "whole.tmp");
    blocks.file = FileIn(NewFolder(), "blocks.tmp");
    // Nine hidden units: a full block of eight and a padded one.
    whole.hidden = blocks.hidden = 9;
    ExpectWholeAndBlocksAlike(t, whole, blocks, {1, 7, 64, 100000, 0}, BpPassInBlocks, &Table::bpResults);
}

TEST(TrainInBlocks, SFamCategoriesErrorsAndCyclesAreThoseOfWholePasses)
{
    Table t = Shells(900);
    SFam whole, blocks;
    whole.file = FileIn(NewFolder(), "whole.tmp");
    blocks.file = FileIn(NewFolder(), "blocks.tmp");
    whole.vigBase = blocks.vigBase = 0.8f;
    whole.beta = blocks.beta = 0.7f;
    ExpectWholeAndBlocksAlike(t, whole, blocks, {1, 13, 250, 0}, SFamPassInBlocks, &Table::classResults);
}

// The rows of the first blocks keep the weights finite; a row further on overflows them.
TEST(TrainInBlocks, AFailureInALaterBlockLeavesTheNetworkAsBeforeThePass)
{
    Table t = Wavy(200);
    t.Row(150)[1] = 3e38f;
    t.Row(150)[2] = -3e38f;
    Bp bp;
    bp.file = FileIn(NewFolder(), "net.tmp");
    bp.learnRate = 1e30f;
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    const std::vector<uint8_t> before = Written(bp, t);
    Bp whole = bp;
    ASSERT_EQ(whole(t, KV_ENGINE_TRAIN), KV_ENGINE_ERR_NUMERIC);

    kvengine::TrainPass pass;
    ASSERT_EQ(pass.BeginBackProp(t.patterns.data(), t.fields, t.rows, t.fmin.data(), t.fmax.data(),
                                 t.bpResults.data(), bp.learnRate, bp.momentum, bp.file.c_str()),
              KV_ENGINE_SUCCESS);
    EXPECT_EQ(pass.Next(100, &bp.cycles), 0);
    EXPECT_EQ(pass.Next(100, &bp.cycles), KV_ENGINE_ERR_NUMERIC);
    EXPECT_FALSE(pass.Open());
    EXPECT_EQ(bp.cycles, 0);
    EXPECT_EQ(Written(bp, t), before);
    VTRELEASE(bp.file.c_str());
}

TEST(TrainInBlocks, AbandonedOrInterruptedPassesAndRefusals)
{
    Table t = Wavy(300);
    Bp bp;
    bp.file = FileIn(NewFolder(), "net.tmp");
    ASSERT_EQ(bp(t, KV_ENGINE_INIT), 1);
    const std::vector<uint8_t> before = Written(bp, t);
    const auto begin = [&](kvengine::TrainPass& pass, float learnRate) {
        return pass.BeginBackProp(t.patterns.data(), t.fields, t.rows, t.fmin.data(),
                                  t.fmax.data(), t.bpResults.data(), learnRate, bp.momentum,
                                  bp.file.c_str());
    };
    {
        // Half a pass, then the pass goes away: the network is as before it.
        kvengine::TrainPass pass;
        ASSERT_EQ(begin(pass, bp.learnRate), KV_ENGINE_SUCCESS);
        ASSERT_EQ(pass.Next(120, &bp.cycles), 0);
        EXPECT_EQ(pass.RowsDone(), 120u);
    }
    EXPECT_EQ(Written(bp, t), before);
    EXPECT_EQ(bp.cycles, 0);

    // A command on the name in between ends the pass; its changes stay.
    kvengine::TrainPass pass;
    ASSERT_EQ(begin(pass, bp.learnRate), KV_ENGINE_SUCCESS);
    ASSERT_EQ(pass.Next(10, &bp.cycles), 0);
    ASSERT_EQ(bp(t, KV_ENGINE_JOG), 1);
    const std::vector<uint8_t> jogged = Written(bp, t);
    EXPECT_EQ(pass.Next(10, &bp.cycles), KV_ENGINE_ERR_NO_NETWORK);
    EXPECT_FALSE(pass.Open());
    EXPECT_EQ(Written(bp, t), jogged);

    // The Train command's refusals, and nothing opened.
    EXPECT_EQ(begin(pass, -1.0f), KV_ENGINE_ERR_ARGUMENT);
    EXPECT_EQ(begin(pass, std::numeric_limits<float>::infinity()), KV_ENGINE_ERR_ARGUMENT);
    Table wider(4, 10);
    EXPECT_EQ(pass.BeginBackProp(wider.patterns.data(), wider.fields, wider.rows, wider.fmin.data(),
                                 wider.fmax.data(), wider.bpResults.data(), 0.5f, 0.5f,
                                 bp.file.c_str()),
              KV_ENGINE_ERR_LAYOUT);
    EXPECT_EQ(pass.BeginSFam(t.patterns.data(), t.fields, t.rows, t.fmin.data(), t.fmax.data(),
                             t.classResults.data(), 0.5f, 0.001f, 1.0f, 0.0001f, bp.file.c_str()),
              KV_ENGINE_ERR_NO_NETWORK);
    EXPECT_FALSE(pass.Open());
    EXPECT_EQ(pass.Next(10, &bp.cycles), KV_ENGINE_ERR_NO_NETWORK);
    VTRELEASE(bp.file.c_str());
}
