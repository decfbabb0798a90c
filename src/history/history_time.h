#pragma once

#include <wx/string.h>

#include <cstddef>
#include <vector>

// Stored RecTime values are "%Y-%m-%d %H:%M:%S" in the fixed zone UTC+8; the
// charts work in seconds since the epoch and show the operator's local time.

// Reads a stored RecTime; false for anything but that exact shape.
bool ParseRecTime(const char* text, std::size_t length, long long& epochSeconds);
bool ParseRecTime(const wxString& text, long long& epochSeconds);

// The RecTime text of a moment, as the recording writes it.
wxString RecTimeAt(long long epochSeconds);

// A moment in the local zone (TZ), formatted by strftime.
wxString LocalTimeText(long long epochSeconds, const char* format = "%Y-%m-%d %H:%M:%S");

// Ticks of a time axis from t0 to t1 at whole local minutes, hours or days,
// at most maxTicks of them. A label carries the date where it changes from
// the tick before.
struct TimeTick
{
    long long t;
    wxString label;
};
std::vector<TimeTick> TimeTicks(long long t0, long long t1, int maxTicks);
