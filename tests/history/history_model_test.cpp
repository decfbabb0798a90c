// The series model: stored times to local time, counter rates, gaps and the
// per-pixel reduction.
#include "history/history_series.h"
#include "history/history_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>

namespace
{
// Sets TZ for one test and puts the old value back.
class ScopedTz
{
public:
    explicit ScopedTz(const char* tz)
    {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        m_old = old ? old : "";
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz()
    {
        m_had ? setenv("TZ", m_old.c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    bool m_had;
    std::string m_old;
};

long long At(const char* recTime)
{
    long long t = 0;
    EXPECT_TRUE(ParseRecTime(wxString(recTime), t)) << recTime;
    return t;
}

struct ZoneCase
{
    const char* tz;
    const char* recTime; // UTC+8
    const char* local;
};

class RecTimeToLocal : public ::testing::TestWithParam<ZoneCase>
{
};
} // namespace

// The stored UTC+8 text reads back as the same moment in any zone; across
// the night daylight saving starts, one stored hour is two local ones.
TEST_P(RecTimeToLocal, ShowsTheStoredMomentInTheLocalZone)
{
    const ZoneCase& c = GetParam();
    ScopedTz tz(c.tz);
    const long long t = At(c.recTime);
    EXPECT_EQ(LocalTimeText(t), c.local);
    EXPECT_EQ(RecTimeAt(t), c.recTime);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, RecTimeToLocal,
    ::testing::Values(ZoneCase{"UTC0", "2024-03-31 08:30:00", "2024-03-31 00:30:00"},
                      ZoneCase{"CET-1CEST,M3.5.0,M10.5.0/3", "2024-03-31 08:30:00",
                               "2024-03-31 01:30:00"}, // still winter time
                      ZoneCase{"CET-1CEST,M3.5.0,M10.5.0/3", "2024-03-31 09:30:00",
                               "2024-03-31 03:30:00"}, // summer time began at 02:00
                      ZoneCase{"EST5EDT,M3.2.0,M11.1.0", "2024-11-03 14:30:00",
                               "2024-11-03 01:30:00"}, // the second 01:30 of the day
                      ZoneCase{"CST-8", "2024-01-01 00:00:00", "2024-01-01 00:00:00"}));

TEST(RecTime, RefusesOtherShapes)
{
    long long t = 0;
    for (const char* text : {"", "N/A", "2024-3-31 08:30:00", "2024-03-31T08:30:00",
                             "2024-13-01 00:00:00", "2024-03-31 08:30"})
        EXPECT_FALSE(ParseRecTime(wxString(text), t)) << text;
}

// Axis ticks fall on whole local hours, none twice, also over the skipped hour.
TEST(TimeTicks, WholeLocalHoursAcrossDaylightSaving)
{
    ScopedTz tz("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::vector<TimeTick> ticks =
        TimeTicks(At("2024-03-31 06:10:00"), At("2024-03-31 12:00:00"), 8);
    ASSERT_GE(ticks.size(), 4u);
    for (size_t i = 0; i < ticks.size(); ++i)
    {
        EXPECT_EQ(LocalTimeText(ticks[i].t, "%M:%S"), "00:00") << ticks[i].label;
        if (i > 0)
            EXPECT_GT(ticks[i].t, ticks[i - 1].t);
    }
    EXPECT_EQ(ticks[0].label, "03-31 00:00");
}

TEST(HistNumber, ReadsNumbersOnly)
{
    const std::pair<const char*, double> good[] = {{"12", 12}, {" 87%", 87}, {"-3.5", -3.5}, {".5", 0.5}};
    for (const auto& [text, expected] : good)
    {
        double v = 0;
        EXPECT_TRUE(ParseHistNumber(text, v)) << text;
        EXPECT_EQ(v, expected) << text;
    }
    double v = 0;
    for (const char* text : {"", "N/A", "12abc", "inf", "nan", "0x10", "%"})
        EXPECT_FALSE(ParseHistNumber(text, v)) << text;
}

namespace
{
struct RateCase
{
    const char* name;
    std::vector<CounterSample> samples;
    std::vector<HistPoint> rates;
};

class CounterRate : public ::testing::TestWithParam<RateCase>
{
};
} // namespace

TEST_P(CounterRate, PerMinuteWithResetsAndGaps)
{
    const HistPoints got = CounterRatePerMinute(GetParam().samples);
    ASSERT_EQ(got.size(), GetParam().rates.size());
    for (size_t i = 0; i < got.size(); ++i)
    {
        EXPECT_EQ(got[i].t, GetParam().rates[i].t) << i;
        EXPECT_DOUBLE_EQ(got[i].v, GetParam().rates[i].v) << i;
        EXPECT_EQ(got[i].gapBefore, GetParam().rates[i].gapBefore) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CounterRate,
    ::testing::Values(
        RateCase{"OneSampleNoRate", {{0, "1", 50}}, {}},
        RateCase{"Steady", {{0, "1", 10}, {30, "1", 40}, {60, "1", 40}}, {{30, 60, false}, {60, 0, false}}},
        // Fewer done than before: the counter started again, from zero.
        RateCase{"DecreaseIsAReset", {{0, "1", 500}, {60, "1", 20}}, {{60, 20, false}}},
        // A new process id: restarted since the scan before.
        RateCase{"RestartedProcess", {{0, "1", 500}, {60, "2", 7}}, {{60, 7, false}}},
        RateCase{"ProcessesAddUp",
                 {{0, "1", 10}, {0, "2", 100}, {60, "1", 20}, {60, "2", 130}},
                 {{60, 40, false}}},
        // Recording stopped for ten minutes: no rate across it, a new line after.
        RateCase{"NoRateAcrossAGap",
                 {{0, "1", 0}, {60, "1", 60}, {120, "1", 120}, {720, "1", 9999}, {780, "1", 10059}},
                 {{60, 60, false}, {120, 60, false}, {780, 60, true}}}),
    [](const ::testing::TestParamInfo<RateCase>& info) { return std::string(info.param.name); });

// Each pixel column keeps its lowest and highest sample; a gap stays a gap.
TEST(Downsample, KeepsEveryColumnsMinimumAndMaximum)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-50, 50);
    HistPoints points;
    for (int i = 0; i < 100000; ++i)
        points.push_back({static_cast<double>(i), value(random), i == 60001});
    const int columns = 400;
    const HistPoints drawn = Downsample(points, 0, 100000, columns);
    EXPECT_LE(drawn.size(), static_cast<size_t>(2 * columns + 4));
    for (int c = 0; c < columns; ++c)
    {
        double lo = 1e9, hi = -1e9;
        for (int i = c * 250; i < (c + 1) * 250; ++i)
        {
            lo = std::min(lo, points[i].v);
            hi = std::max(hi, points[i].v);
        }
        int found = 0;
        for (const HistPoint& p : drawn)
            found += (p.v == lo || p.v == hi) && p.t >= c * 250 && p.t < (c + 1) * 250;
        EXPECT_GE(found, 2) << "column " << c;
    }
    std::vector<double> gaps;
    for (const HistPoint& p : drawn)
        if (p.gapBefore)
            gaps.push_back(p.t);
    EXPECT_EQ(gaps, std::vector<double>{60001});
}
