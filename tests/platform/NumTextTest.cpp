#include "platform/NumText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>

using namespace plat;

TEST(NumText, FormatsLikePrintfInTheCLocale)
{
    EXPECT_EQ(FormatInt(-1062731676), "-1062731676");
    EXPECT_EQ(FormatUInt(3232235620u), "3232235620");
    EXPECT_EQ(FormatFixed(9000.0), "9000.000000");
    EXPECT_EQ(FormatFixed(0.1), "0.100000");
    EXPECT_EQ(FormatFixed(-2.5, 3), "-2.500");
    EXPECT_EQ(FormatFixed(1.0 / 3.0, 4), "0.3333");
}

TEST(NumText, IgnoresTheProcessLocale)
{
    // A decimal comma locale must not change what is written or read.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old != nullptr ? old : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    EXPECT_EQ(FormatFixed(2.5), "2.500000");
    EXPECT_DOUBLE_EQ(ParseDouble("2.5"), 2.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumText, ParseIntReadsALeadingNumberLikeAtoi)
{
    bool ok = false;
    EXPECT_EQ(ParseInt("  42abc", &ok), 42);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ParseInt("-17"), -17);
    EXPECT_EQ(ParseInt("+8"), 8);
    EXPECT_EQ(ParseInt("abc", &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ParseInt("", &ok), 0);
    EXPECT_FALSE(ok);
}

TEST(NumText, ParseIntSaturatesBeyondSixtyFourBits)
{
    EXPECT_EQ(ParseInt("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(ParseInt("9223372036854775808"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(ParseInt("99999999999999999999999"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(ParseInt("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(ParseInt("-99999999999999999999999"), std::numeric_limits<std::int64_t>::min());
}

TEST(NumText, ParseDoubleReadsALeadingRealLikeAtof)
{
    bool ok = false;
    EXPECT_DOUBLE_EQ(ParseDouble("  3.25mm", &ok), 3.25);
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(ParseDouble("-1e3"), -1000.0);
    EXPECT_DOUBLE_EQ(ParseDouble("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(ParseDouble("x", &ok), 0.0);
    EXPECT_FALSE(ok);
    EXPECT_DOUBLE_EQ(ParseDouble("+-1", &ok), 0.0);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(std::isinf(ParseDouble("1e999")));
}

TEST(NumText, ParseDoubleTellsOverflowFromUnderflowByTheRealMagnitude)
{
    // 1e-331: far below the smallest double although no exponent is written.
    bool ok = false;
    const double tiny = ParseDouble("0." + std::string(330, '0') + "1", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(tiny, 0.0);
    EXPECT_FALSE(std::signbit(tiny));
    EXPECT_TRUE(std::signbit(ParseDouble("-0." + std::string(330, '0') + "1")));
    // 1e390: far above the largest double although its exponent is negative.
    EXPECT_EQ(ParseDouble("1" + std::string(400, '0') + "e-10"), HUGE_VAL);
    EXPECT_EQ(ParseDouble("-1" + std::string(400, '0') + "e-10"), -HUGE_VAL);
    EXPECT_EQ(ParseDouble("000" + std::string(400, '0') + "1e-390"), 0.0); // leading zeros count for nothing
    EXPECT_EQ(ParseDouble("0.001e312"), HUGE_VAL);                         // 1e309
    EXPECT_EQ(ParseDouble("1e-99999999999999999999999"), 0.0);
    EXPECT_EQ(ParseDouble("1e99999999999999999999999"), HUGE_VAL);
    // Within range, even where the digits alone look extreme.
    EXPECT_DOUBLE_EQ(ParseDouble("0." + std::string(300, '0') + "1e300"), 1e-1);
    EXPECT_GT(ParseDouble("4e-320"), 0.0); // subnormal, not cut to 0
}
