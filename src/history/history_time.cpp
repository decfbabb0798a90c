#include "history/history_time.h"

#include "common/clock.h"

#include <ctime>

namespace
{
// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

bool Digits(const char* p, int n, int& value)
{
    value = 0;
    for (int i = 0; i < n; ++i)
    {
        if (p[i] < '0' || p[i] > '9')
            return false;
        value = value * 10 + (p[i] - '0');
    }
    return true;
}

std::tm LocalParts(long long t)
{
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm parts{};
    localtime_r(&tt, &parts);
    return parts;
}

// The moment of a local wall-clock time; mktime settles daylight saving.
long long LocalMoment(std::tm parts)
{
    parts.tm_isdst = -1;
    return static_cast<long long>(std::mktime(&parts));
}
} // namespace

bool ParseRecTime(const char* s, std::size_t length, long long& epochSeconds)
{
    if (length != 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':')
        return false;
    int y, mo, d, h, mi, se;
    if (!Digits(s, 4, y) || !Digits(s + 5, 2, mo) || !Digits(s + 8, 2, d) ||
        !Digits(s + 11, 2, h) || !Digits(s + 14, 2, mi) || !Digits(s + 17, 2, se))
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 60)
        return false;
    const long long days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    epochSeconds = days * 86400 + h * 3600 + mi * 60 + se - 8 * 3600;
    return true;
}

bool ParseRecTime(const wxString& text, long long& epochSeconds)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return ParseRecTime(utf8.data(), utf8.length(), epochSeconds);
}

wxString RecTimeAt(long long epochSeconds)
{
    return FormatUtc8At(epochSeconds, "%Y-%m-%d %X");
}

wxString LocalTimeText(long long epochSeconds, const char* format)
{
    const std::tm parts = LocalParts(epochSeconds);
    char out[64];
    const std::size_t n = std::strftime(out, sizeof out, format, &parts);
    return wxString::FromUTF8(out, n);
}

std::vector<TimeTick> TimeTicks(long long t0, long long t1, int maxTicks)
{
    static const long long steps[] = {60,    120,   300,   600,    900,    1800,   3600,
                                      7200,  10800, 21600, 43200,  86400,  172800, 604800};
    std::vector<TimeTick> ticks;
    if (t1 <= t0 || maxTicks < 1)
        return ticks;
    long long step = steps[sizeof steps / sizeof steps[0] - 1];
    for (long long s : steps)
    {
        if ((t1 - t0) / s <= maxTicks)
        {
            step = s;
            break;
        }
    }
    // Walk local days from the one holding t0; within a day, the multiples of
    // the step after midnight (a day step takes every n-th midnight).
    std::tm day = LocalParts(t0);
    day.tm_hour = day.tm_min = day.tm_sec = 0;
    const long long daysPerTick = step >= 86400 ? step / 86400 : 1;
    const long long perDay = step >= 86400 ? 86400 : step;
    long long last = t0 - 1;
    int previousYday = -1;
    const long long days = (t1 - t0) / 86400 / daysPerTick + 3;
    for (long long n = 0; n < days; ++n)
    {
        // Skip the day's ticks well before t0 (one step early: a daylight
        // saving change may move them by an hour).
        const long long dayStart = LocalMoment(day);
        long long first = t0 > dayStart ? ((t0 - dayStart) / perDay - 1) * perDay : 0;
        for (long long offset = first < 0 ? 0 : first; offset < 86400; offset += perDay)
        {
            std::tm at = day;
            at.tm_sec = static_cast<int>(offset);
            const long long t = LocalMoment(at);
            if (t > t1)
                return ticks;
            if (t < t0 || t <= last) // before the range, or an hour daylight saving skipped
                continue;
            last = t;
            const std::tm shown = LocalParts(t);
            const bool newDay = shown.tm_yday != previousYday;
            previousYday = shown.tm_yday;
            const char* format = step >= 86400 ? "%m-%d" : (newDay ? "%m-%d %H:%M" : "%H:%M");
            ticks.push_back({t, LocalTimeText(t, format)});
        }
        day.tm_mday += static_cast<int>(daysPerTick);
        day.tm_isdst = -1;
        std::mktime(&day); // normalise the date
        day.tm_hour = day.tm_min = day.tm_sec = 0;
    }
    return ticks;
}
