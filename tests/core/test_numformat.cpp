// The one number formatter: the patterns of the windows, rounding on the decimal value with
// halves away from zero, and the period whatever the locale.
#include "core/numformat.h"

#include <gtest/gtest.h>

TEST(NumFormat, PatternsRoundHalvesAwayFromZero)
{
    using NumFormat::Format;
    EXPECT_EQ(Format(0.125, "0.00"), "0.13");
    EXPECT_EQ(Format(-0.125, "0.00"), "-0.13");
    EXPECT_EQ(Format(2.675, "0.00"), "2.68");     // the decimal value, not the binary one
    EXPECT_EQ(Format(12.345f, "0.00"), "12.35");  // a single rounds from its own digits
    EXPECT_EQ(Format(12.346, "0.00"), "12.35");
    EXPECT_EQ(Format(0.19, "0.000"), "0.190");
    EXPECT_EQ(Format(999.96, "0.0"), "1000.0");
    EXPECT_EQ(Format(49.5, "0"), "50");
    EXPECT_EQ(Format(-0.001, "0.00"), "0.00");    // no sign on a zero
    EXPECT_EQ(Format(0.125, "0.00%"), "12.50%");
    EXPECT_EQ(Format(2.38, "0.00    "), "2.38    ");
    EXPECT_EQ(Format(1e-7, "0.0000"), "0.0000");
    EXPECT_EQ(Format(123456789.0, "0"), "123456789");
    EXPECT_EQ(Format(0.5, "#,##0"), "0.5");       // unknown pattern: the general form
    EXPECT_EQ(NumFormat::General(0.1), "0.1");
}
