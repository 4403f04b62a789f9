#include "core/kverror.h"
#include "network/configtext.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

namespace {
int32_t errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const KvError& e) {
        return e.number();
    }
    return 0;
}
} // namespace

TEST(ConfigText, SinglesInTheirShortestPlainForm)
{
    EXPECT_EQ(ConfigText::FromSingle(0.001f), "0.001");
    EXPECT_EQ(ConfigText::FromSingle(0.0001f), "0.0001");
    EXPECT_EQ(ConfigText::FromSingle(1.0f), "1");
    EXPECT_EQ(ConfigText::FromSingle(-1.0f), "-1");
    EXPECT_EQ(ConfigText::FromSingle(0.5f), "0.5");
    EXPECT_EQ(ConfigText::FromSingle(1000.0f), "1000");
    EXPECT_EQ(ConfigText::FromSingle(8.333333f), "8.333333");
    EXPECT_EQ(ConfigText::FromSingle(123456.7f), "123456.7");
    EXPECT_EQ(ConfigText::FromSingle(0.0f), "0");
    EXPECT_EQ(ConfigText::FromSingle(1e-7f), "1e-07");
    for (float f : {0.1f, 3.14159f, -2.5e-6f, 7.0e12f, 1e30f, 0.3333333f})
        EXPECT_EQ(ConfigText::ToSingle(ConfigText::FromSingle(f)), f) << f;
}

TEST(ConfigText, WholeNumbersRoundHalvesToEven)
{
    EXPECT_EQ(ConfigText::ToLong("1.5"), 2);
    EXPECT_EQ(ConfigText::ToLong("2.5"), 2);
    EXPECT_EQ(ConfigText::ToLong(" -3 "), -3);
    EXPECT_EQ(ConfigText::ToInteger("25"), 25);
    EXPECT_EQ(ConfigText::ToIntegerViaSingle("4.5"), 4);
    EXPECT_EQ(ConfigText::ToIntegerViaSingle("3.6"), 4);
    EXPECT_EQ(ConfigText::ToByte("255"), 255);
    EXPECT_EQ(ConfigText::FromLong(-1000), "-1000");
}

TEST(ConfigText, BadTextsAreTypeMismatchesAndBigOnesOverflow)
{
    EXPECT_EQ(errorOf([] { ConfigText::ToLong(""); }), KvErr::TypeMismatch);
    EXPECT_EQ(errorOf([] { ConfigText::ToSingle("abc"); }), KvErr::TypeMismatch);
    EXPECT_EQ(errorOf([] { ConfigText::ToSingle("0,5"); }), KvErr::TypeMismatch);
    EXPECT_EQ(errorOf([] { ConfigText::ToByte("300"); }), KvErr::Overflow);
    EXPECT_EQ(errorOf([] { ConfigText::ToByte("-1"); }), KvErr::Overflow);
    EXPECT_EQ(errorOf([] { ConfigText::ToInteger("40000"); }), KvErr::Overflow);
    EXPECT_EQ(errorOf([] { ConfigText::ToSingle("1e40"); }), KvErr::Overflow);
}

TEST(ConfigText, TruthValues)
{
    EXPECT_EQ(ConfigText::FromBoolean(true), "True");
    EXPECT_EQ(ConfigText::FromBoolean(false), "False");
    EXPECT_TRUE(ConfigText::ToBoolean("True"));
    EXPECT_TRUE(ConfigText::ToBoolean("true"));
    EXPECT_FALSE(ConfigText::ToBoolean("False"));
    EXPECT_TRUE(ConfigText::ToBoolean("-1"));
    EXPECT_FALSE(ConfigText::ToBoolean("0"));
    EXPECT_EQ(errorOf([] { ConfigText::ToBoolean("maybe"); }), KvErr::TypeMismatch);
}
