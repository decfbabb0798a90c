#pragma once

#include <wx/string.h>

// Every time shown or stored by the console is the current time in the fixed
// zone UTC+8, whatever the machine's zone. "%X" is always written as
// hours:minutes:seconds so stored history does not depend on the locale.
wxString FormatUtc8(const wxString& format);

// The same for a given moment (seconds since the epoch).
wxString FormatUtc8At(long long epochSeconds, const wxString& format);

// "[%y-%m-%d %X]: [WARN]: ", the prefix of every warning line in a log area.
wxString WarnPrefix();

// "%Y-%m-%d %X", the time stamp of one scan's history rows.
wxString RecTimeNow();
