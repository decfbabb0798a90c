#pragma once

#include <wx/string.h>

#include <string>
#include <vector>

// The series model of the charts: samples in seconds since the epoch, gaps
// kept as gaps, counters turned into rates, and the per-pixel reduction that
// makes a long range draw as fast as a short one. No windows here.

struct HistPoint
{
    double t = 0; // seconds since the epoch
    double v = 0;
    bool gapBefore = false; // no line from the point before
};
using HistPoints = std::vector<HistPoint>;

struct HistSeries
{
    wxString name;
    HistPoints points; // in time order
};

// One chart: a metric of one object, one or more series.
struct HistPlot
{
    wxString title;
    wxString unit;
    std::vector<HistSeries> series;
    bool Empty() const;
};

// A stored value read strictly: optional blanks, a decimal number, an
// optional "%" (FreePercent keeps its sign). False for "", "N/A", "12abc".
bool ParseHistNumber(const char* text, double& value);

// Breaks a series where samples are further apart than factor times the
// usual (median) step: the recording stopped there.
void MarkGaps(HistPoints& points, double factor = 2.5);

// Samples of a counter (requests done) of several instances of one object
// (the processes of a server program), in time order.
struct CounterSample
{
    double t;
    std::string instance;
    double value;
};

// The counter's increase per minute between consecutive scans, summed over
// the instances, at the later scan's time. A value below the one before, or
// an instance new since the scan before (a restarted process), counts as a
// reset: its increase is the value itself, never negative. No rate across a
// gap; one sample gives none.
HistPoints CounterRatePerMinute(const std::vector<CounterSample>& samples, double gapFactor = 2.5);

// Per pixel column of [t0, t1] split into columns buckets: each bucket's
// minimum and maximum sample in time order, a gap starting a new bucket. The
// nearest sample outside each end is kept so lines run to the edges.
HistPoints Downsample(const HistPoints& points, double t0, double t1, int columns);

// The samples of the plots as CSV: Metric, Series, Local time, RecTime
// (UTC+8), Value; one line per sample.
std::string HistCsv(const std::vector<HistPlot>& plots);
