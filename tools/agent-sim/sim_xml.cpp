#include "sim_xml.h"

#include <ctime>

std::string FormatStamp(long long unixSeconds)
{
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    localtime_r(&t, &parts);
    char text[32];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return std::string(text, n);
}
