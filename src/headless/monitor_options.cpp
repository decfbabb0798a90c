#include "headless/monitor_options.h"

#include <algorithm>
#include <cstdlib>

namespace
{
constexpr int MinIntervalSeconds = 15; // what a site monitor accepts
constexpr int RetryCapSeconds = 300;
} // namespace

bool ParseMonitorOptions(const std::vector<std::string>& args, MonitorOptions& options, std::string& error)
{
    MonitorOptions parsed;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        const auto value = [&](std::string& out) -> bool
        {
            if (i + 1 >= args.size() || args[i + 1].empty())
            {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        if (arg == "--home")
        {
            if (!value(parsed.home))
                return false;
        }
        else if (arg == "--site")
        {
            std::string site;
            if (!value(site))
                return false;
            parsed.sites.push_back(site);
        }
        else if (arg == "--listen")
        {
            if (!value(parsed.listen))
                return false;
        }
        else if (arg == "--interval")
        {
            std::string text;
            if (!value(text))
                return false;
            char* end = nullptr;
            const long seconds = std::strtol(text.c_str(), &end, 10);
            if (*end != '\0' || seconds < MinIntervalSeconds || seconds > 86400)
            {
                error = "--interval takes whole seconds from 15 to 86400, not \"" + text + "\"";
                return false;
            }
            parsed.intervalSeconds = static_cast<int>(seconds);
        }
        else if (arg == "--record")
            parsed.record = true;
        else if (arg == "--sound")
            parsed.sound = true;
        else if (arg == "--help" || arg == "-h")
            parsed.help = true;
        else
        {
            error = "unknown argument \"" + arg + "\"";
            return false;
        }
    }
    options = parsed;
    return true;
}

std::string MonitorUsage()
{
    return "Usage: corvane-monitor [--home DIR] [--site NAME]... [--listen ADDR:PORT]\n"
           "                       [--interval SECONDS] [--record] [--sound]\n"
           "Monitors the sites of Corvane.db in DIR (default: the program directory)\n"
           "without a window: every site, or the ones named.\n"
           "  --listen ADDR:PORT  serve GET /metrics there (ADDR 127.0.0.1 when only a PORT)\n"
           "  --interval SECONDS  seconds between scans, at least 15 (default 60)\n"
           "  --record            record history in each site's database\n"
           "  --sound             play the alarm sound of a rule that asks for it\n"
           "Events go to standard error, one line each. SIGTERM or SIGINT stops,\n"
           "SIGHUP reads the site list and the rules again.\n";
}

int RetryDelaySeconds(int intervalSeconds, int failures)
{
    const int cap = std::max(intervalSeconds, RetryCapSeconds);
    long long delay = intervalSeconds;
    for (int i = 1; i < failures && delay < cap; ++i)
        delay *= 2;
    return static_cast<int>(std::min<long long>(delay, cap));
}
