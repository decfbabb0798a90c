#include "common/clock.h"
#include "common/text.h"

#include <gtest/gtest.h>

TEST(AtoiText, FollowsCAtoi)
{
    EXPECT_EQ(AtoiText("  42abc"), 42);
    EXPECT_EQ(AtoiText("-17"), -17);
    EXPECT_EQ(AtoiText("+8"), 8);
    EXPECT_EQ(AtoiText("N/A"), 0);
    EXPECT_EQ(AtoiText(""), 0);
    EXPECT_EQ(AtoiText("37%"), 37);
    EXPECT_EQ(AtoiText("        0"), 0);
    EXPECT_EQ(AtoiText("000000012"), 12);
    EXPECT_EQ(AtoiText("- 5"), 0);
}

TEST(AtoiText, SaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(AtoiText("99999999999999999999"), 2147483647);
    EXPECT_EQ(AtoiText("-99999999999999999999"), -2147483647 - 1);
}

TEST(ContainsText, EmptyHaystackHoldsNothing)
{
    EXPECT_TRUE(ContainsText("SVR1;SVR2", "SVR"));
    EXPECT_TRUE(ContainsText("SVRA;SVRB", "SVRA"));
    EXPECT_FALSE(ContainsText("SVRA;SVRB", "SVRC"));
    EXPECT_FALSE(ContainsText("", "SVR"));
    EXPECT_FALSE(ContainsText("", ""));
}

TEST(Utf8, InvalidBytesStayReadable)
{
    EXPECT_EQ(FromUtf8(std::string("caf\xc3\xa9")), wxString::FromUTF8("caf\xc3\xa9"));
    EXPECT_EQ(FromUtf8(std::string("a\xff")).length(), 2u);
    EXPECT_EQ(ToUtf8(wxString::FromUTF8("\xc3\xa9")), "\xc3\xa9");
}

TEST(Clock, FormatsInFixedZoneWithClockTime)
{
    const wxString stamp = RecTimeNow();
    // 2026-12-06 14:05:09
    ASSERT_EQ(stamp.length(), 19u);
    EXPECT_EQ(stamp[4], '-');
    EXPECT_EQ(stamp[13], ':');
    const wxString prefix = WarnPrefix();
    EXPECT_TRUE(prefix.StartsWith("["));
    EXPECT_TRUE(prefix.EndsWith("]: [WARN]: "));
    EXPECT_EQ(prefix.length(), wxString("[26-12-06 14:05:09]: [WARN]: ").length());
}
