#include "common/clock.h"

#include <ctime>

wxString FormatUtc8(const wxString& format)
{
    return FormatUtc8At(std::time(nullptr), format);
}

wxString FormatUtc8At(long long epochSeconds, const wxString& format)
{
    wxString pattern = format;
    pattern.Replace("%X", "%H:%M:%S");
    const std::time_t shifted = static_cast<std::time_t>(epochSeconds + 8 * 3600);
    std::tm parts{};
    gmtime_r(&shifted, &parts);
    char out[128];
    const size_t n = std::strftime(out, sizeof out, pattern.utf8_str().data(), &parts);
    return wxString::FromUTF8(out, n);
}

wxString WarnPrefix()
{
    return FormatUtc8("[%y-%m-%d %X]: [WARN]: ");
}

wxString RecTimeNow()
{
    return FormatUtc8("%Y-%m-%d %X");
}
