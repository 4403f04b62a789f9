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

// A number that does not fit its cell is rounded or put in the exponent form, never cut to its
// first digits (which read as another number); a number the pattern rounds to nothing shows
// its own digits.
TEST(NumberFormat, ANumberIsShownWholeOrVisiblyShortened)
{
    const auto width = [](int chars) { return [chars](const QString& s) { return s.size() <= chars; }; };
    EXPECT_EQ(NumFormat::FitNumber("-2147483648", width(8)), "-2.1E+09");
    EXPECT_EQ(NumFormat::FitNumber("9007199254740992", width(8)), "9.01E+15");
    EXPECT_EQ(NumFormat::FitNumber(NumFormat::Format(3.4e38, "0"), width(8)), "3.4E+38");
    EXPECT_EQ(NumFormat::FitNumber("12345.678", width(7)), "12345.7");
    EXPECT_EQ(NumFormat::FitNumber("-0.000123", width(6)), "-1E-04");
    EXPECT_EQ(NumFormat::FitNumber("12.50%", width(4)), "13%");
    EXPECT_EQ(NumFormat::FitNumber("123456", width(6)), "123456");
    EXPECT_EQ(NumFormat::FitNumber("123456", width(2)), "##");
    EXPECT_EQ(NumFormat::FitNumber("Smith-Jones", width(4)), "Smith-Jones"); // a text is the view's to cut

    EXPECT_EQ(NumFormat::Shown(0.1234, "0"), "0.1234");
    EXPECT_EQ(NumFormat::Shown(-0.3, "0"), "-0.3");
    EXPECT_EQ(NumFormat::Shown(0.00001, "0.00%"), "0.001%");
    EXPECT_EQ(NumFormat::Shown(1.4, "0"), "1");
    EXPECT_EQ(NumFormat::Shown(0, "0.00"), "0.00");
}
