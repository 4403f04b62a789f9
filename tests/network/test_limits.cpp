// The shared limits of the network size and the training range.
#include "network/networkproject.h"

#include <gtest/gtest.h>

TEST(NetworkLimits, DefaultHiddenNodesRoundsTwiceTheRootOfInputsAndBias)
{
    EXPECT_EQ(DefaultHiddenNodes(0), 2);
    EXPECT_EQ(DefaultHiddenNodes(1), 3);
    EXPECT_EQ(DefaultHiddenNodes(2), 3);
    EXPECT_EQ(DefaultHiddenNodes(3), 4);
    EXPECT_EQ(DefaultHiddenNodes(4), 4);
    EXPECT_EQ(DefaultHiddenNodes(5), 5);
    EXPECT_EQ(DefaultHiddenNodes(6), 5);
    EXPECT_EQ(DefaultHiddenNodes(-3), MinHiddenNodes);
    EXPECT_EQ(MinHiddenNodes, 2);
    EXPECT_EQ(MaxHiddenNodes, 64);
    EXPECT_EQ(MinTrainRows, 10);
}
