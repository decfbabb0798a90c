#include "common/clock.h"
#include "common/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

TEST(AtoiText, FollowsCAtoiAndSaturates)
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
    EXPECT_EQ(AtoiText("99999999999999999999"), 2147483647);
    EXPECT_EQ(AtoiText("-99999999999999999999"), -2147483647 - 1);
}

namespace
{
// Now, as a machine set to UTC+8 shows it.
std::string LocalUtc8(const char* format)
{
    setenv("TZ", "<+08>-8", 1);
    tzset();
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char out[64];
    return std::string(out, std::strftime(out, sizeof out, format, &parts));
}
} // namespace

// Times shown and stored are UTC+8 whatever the machine's zone, "%X" as
// hours:minutes:seconds.
TEST(Clock, FormatsUtc8WhateverTheMachinesZone)
{
    const char* tz = std::getenv("TZ");
    const std::string saved = tz ? tz : "";
    for (const char* zone : {"UTC0", "EST5EDT", "<+0530>-5:30"})
    {
        SCOPED_TRACE(zone);
        const std::string before = LocalUtc8("%Y-%m-%d %H:%M:%S");
        setenv("TZ", zone, 1);
        tzset();
        const std::string stamp = RecTimeNow().utf8_string();
        const std::string prefix = WarnPrefix().utf8_string();
        const std::string after = LocalUtc8("%Y-%m-%d %H:%M:%S"); // a second may pass
        EXPECT_TRUE(stamp == before || stamp == after) << stamp << " vs " << before;
        const auto warn = [](const std::string& t) { return "[" + t.substr(2) + "]: [WARN]: "; };
        EXPECT_TRUE(prefix == warn(before) || prefix == warn(after)) << prefix;
    }
    tz ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
}
