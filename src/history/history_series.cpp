#include "history/history_series.h"

#include "common/text.h"
#include "history/history_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

bool HistPlot::Empty() const
{
    for (const HistSeries& s : series)
        if (!s.points.empty())
            return false;
    return true;
}

bool ParseHistNumber(const char* text, double& value)
{
    if (!text)
        return false;
    while (*text == ' ' || *text == '\t')
        ++text;
    // Decimal notation only: strtod alone would also take "inf", "nan" and hexadecimal.
    const char* p = text;
    if (*p == '+' || *p == '-')
        ++p;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        ++digits;
    if (*p == '.')
        for (++p; *p >= '0' && *p <= '9'; ++p)
            ++digits;
    if (digits == 0)
        return false;
    if ((*p == 'e' || *p == 'E') && ((p[1] >= '0' && p[1] <= '9') ||
                                     ((p[1] == '+' || p[1] == '-') && p[2] >= '0' && p[2] <= '9')))
        for (p += 2; *p >= '0' && *p <= '9'; ++p)
        {
        }
    const char* end = p;
    if (*p == '%')
        ++p;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p != '\0')
        return false;
    value = std::strtod(std::string(text, end).c_str(), nullptr);
    return std::isfinite(value);
}

namespace
{
double MedianStep(const std::vector<double>& times)
{
    std::vector<double> steps;
    steps.reserve(times.size());
    for (std::size_t i = 1; i < times.size(); ++i)
        if (times[i] > times[i - 1])
            steps.push_back(times[i] - times[i - 1]);
    if (steps.empty())
        return 0;
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    return steps[steps.size() / 2];
}

// Marks the positions whose distance from the one before exceeds the limit.
std::vector<bool> GapsIn(const std::vector<double>& times, double factor)
{
    std::vector<bool> gaps(times.size(), false);
    const double limit = MedianStep(times) * factor;
    for (std::size_t i = 1; i < times.size(); ++i)
        gaps[i] = limit > 0 && times[i] - times[i - 1] > limit;
    return gaps;
}
} // namespace

void MarkGaps(HistPoints& points, double factor)
{
    std::vector<double> times;
    times.reserve(points.size());
    for (const HistPoint& p : points)
        times.push_back(p.t);
    const std::vector<bool> gaps = GapsIn(times, factor);
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i].gapBefore = gaps[i];
}

HistPoints CounterRatePerMinute(const std::vector<CounterSample>& samples, double gapFactor)
{
    struct Scan
    {
        double t;
        std::vector<std::pair<const std::string*, double>> values;
    };
    std::vector<Scan> scans;
    for (const CounterSample& s : samples)
    {
        if (scans.empty() || scans.back().t != s.t)
            scans.push_back({s.t, {}});
        scans.back().values.emplace_back(&s.instance, s.value);
    }
    std::vector<double> times;
    times.reserve(scans.size());
    for (const Scan& s : scans)
        times.push_back(s.t);
    const std::vector<bool> gaps = GapsIn(times, gapFactor);

    HistPoints rates;
    bool broken = false;
    for (std::size_t i = 1; i < scans.size(); ++i)
    {
        if (gaps[i])
        {
            broken = true; // the next rate starts a new line
            continue;
        }
        double increase = 0;
        for (const auto& [instance, value] : scans[i].values)
        {
            double before = -1;
            for (const auto& [prevInstance, prevValue] : scans[i - 1].values)
            {
                if (*prevInstance == *instance)
                {
                    before = prevValue;
                    break;
                }
            }
            increase += before >= 0 && value >= before ? value - before : value;
        }
        const double minutes = (scans[i].t - scans[i - 1].t) / 60.0;
        rates.push_back({scans[i].t, increase / minutes, broken});
        broken = false;
    }
    return rates;
}

HistPoints Downsample(const HistPoints& points, double t0, double t1, int columns)
{
    HistPoints out;
    if (points.empty() || columns < 1 || t1 <= t0)
        return out;
    auto byTime = [](const HistPoint& p, double t) { return p.t < t; };
    std::size_t first = std::lower_bound(points.begin(), points.end(), t0, byTime) - points.begin();
    std::size_t last = std::lower_bound(points.begin(), points.end(), t1, byTime) - points.begin();
    if (first > 0)
        --first; // the sample before the left edge
    if (last >= points.size())
        last = points.size() - 1; // else: the sample at or after the right edge
    const double perColumn = (t1 - t0) / columns;

    // A bucket keeps its lowest and highest sample, and the first and last
    // of a line where one starts or ends inside it, in time order.
    long bucket = 0;
    std::size_t lo = first, hi = first, start = first;
    auto flush = [&](std::size_t end, bool lineEnds)
    {
        std::size_t keep[4] = {lo, hi, lo, hi};
        if (points[start].gapBefore || start == first)
            keep[2] = start;
        if (lineEnds)
            keep[3] = end;
        std::sort(keep, keep + 4);
        for (std::size_t k = 0; k < 4; ++k)
        {
            if (k > 0 && keep[k] == keep[k - 1])
                continue;
            HistPoint p = points[keep[k]];
            p.gapBefore = k == 0 && points[start].gapBefore;
            out.push_back(p);
        }
    };
    for (std::size_t i = first; i <= last; ++i)
    {
        const HistPoint& p = points[i];
        const long b = static_cast<long>(std::floor((p.t - t0) / perColumn));
        if (i == first)
        {
            bucket = b;
            continue;
        }
        if (b != bucket || p.gapBefore)
        {
            flush(i - 1, p.gapBefore);
            bucket = b;
            lo = hi = start = i;
            continue;
        }
        if (p.v < points[lo].v)
            lo = i;
        if (p.v > points[hi].v)
            hi = i;
    }
    flush(last, true);
    return out;
}

std::string HistCsv(const std::vector<HistPlot>& plots)
{
    std::string out = "Metric,Series,Local time,RecTime (UTC+8),Value\n";
    char number[64];
    for (const HistPlot& plot : plots)
    {
        const std::string metric = CsvField(plot.title) + ",";
        for (const HistSeries& series : plot.series)
        {
            const std::string prefix = metric + CsvField(series.name) + ",";
            for (const HistPoint& p : series.points)
            {
                const long long t = static_cast<long long>(std::llround(p.t));
                std::snprintf(number, sizeof number, "%.10g", p.v);
                out += prefix + LocalTimeText(t).ToStdString() + "," +
                       RecTimeAt(t).ToStdString() + "," + number + "\n";
            }
        }
    }
    return out;
}
