#include "core/numformat.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

TEST(NumberFormat, PatternsRoundHalvesAwayFromZeroOnTheDecimalValue)
{
    EXPECT_EQ(NumFormat::Format(0.125, "0.00"), "0.13");
    EXPECT_EQ(NumFormat::Format(-0.125, "0.00"), "-0.13");
    EXPECT_EQ(NumFormat::Format(1.005, "0.00"), "1.01"); // 1.00499999... in binary
    EXPECT_EQ(NumFormat::Format(2.5, "0"), "3");
    EXPECT_EQ(NumFormat::Format(0.5, "0"), "1");
    EXPECT_EQ(NumFormat::Format(99.996, "0.00"), "100.00");
    EXPECT_EQ(NumFormat::Format(3, "0.00000"), "3.00000");
    EXPECT_EQ(NumFormat::Format(1.23456, "0.0"), "1.2");
    EXPECT_EQ(NumFormat::Format(-0.001, "0.00"), "0.00");
    EXPECT_EQ(NumFormat::Format(0.123456, "0.00%"), "12.35%");
    EXPECT_EQ(NumFormat::Format(0.5, "0.00    "), "0.50    ");
    EXPECT_EQ(NumFormat::Format(1234567.891, "0.00"), "1234567.89");
}

TEST(NumberFormat, GeneralForm)
{
    EXPECT_EQ(NumFormat::Format(100, ""), "100");
    EXPECT_EQ(NumFormat::Format(2.5), "2.5");
    EXPECT_EQ(NumFormat::Format(0.1 + 0.2), "0.3");
    EXPECT_EQ(NumFormat::Format(-7), "-7");
    EXPECT_EQ(NumFormat::Format(0), "0");
    EXPECT_EQ(NumFormat::Format(1e16), "1E+16");
    EXPECT_EQ(NumFormat::General(123456789012.5), "123456789012.5");
}

TEST(NumberFormat, SingleRoundsFromItsOwnDigits)
{
    EXPECT_EQ(NumFormat::FormatSingle(2.675f, "0.00"), "2.68");
    EXPECT_EQ(NumFormat::FormatSingle(12.345f, "0.00"), "12.35");
    EXPECT_EQ(NumFormat::FormatSingle(0.19f, "0.000"), "0.190");
}
