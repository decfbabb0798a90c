// corvane-monitor, the program, watching 100 stand-in sites (80 Tuxedo
// domains of 50 servers, 20 WebLogic domains of 4 servers) every 15 s:
//   monitor_100_sites_cpu_pct  its processor time over the window, in percent
//                              of one core (window: 60 s, or the seconds in
//                              CORVANE_BENCH_MONITOR_SECONDS for a quick run)
//   monitor_100_sites_mb       its resident size at the end of the window
//   metrics_scrape_ms          one GET /metrics of it (median of 20)
// The agents are processes of their own, a few sites to each; their work is
// not counted.
#include "bench.h"

#include "e2e/child_process.h"
#include "headless/http_get.h"
#include "sim_agents.h"
#include "store/db_access.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace
{
constexpr int kTuxSites = 80;
constexpr int kWlsSites = 20;
constexpr int kSitesPerAgent = 10;

SiteRecord Site(bool tuxedo, int number, unsigned short port)
{
    SiteRecord site;
    site.SiteType = tuxedo ? "TUXEDO" : "WEBLOGIC";
    site.SiteName = wxString::Format("%s%02d", tuxedo ? "Tux" : "Wls", number);
    site.SiteIP = "127.0.0.1";
    site.SitePort = wxString::Format("%u", port);
    site.DatabaseFile = site.SiteName + ".db";
    if (!tuxedo)
        site.WlsVer = "WebLogic V10";
    return site;
}

// utime + stime of a process, in seconds.
double ProcessCpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i)
        if (i == 14 || i == 15)
            ticks += std::atof(field.c_str());
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double ProcessResidentMiB(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}

// Sites whose corvane_up is 1 in an exposition.
int SitesUp(const std::string& text)
{
    int up = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("corvane_up{", 0) == 0 && line.size() > 2 && line.compare(line.size() - 2, 2, " 1") == 0)
            ++up;
    return up;
}
} // namespace

CORVANE_BENCH_SECTION(monitor_100_sites, false)
{
    ScratchHome home;
    std::vector<std::unique_ptr<AgentProcess>> agents;
    {
        DbAccess config;
        config.Open(home.File("Corvane.db"), DbAccess::ConfigDb);
        for (int i = 0; i < kTuxSites + kWlsSites; ++i)
        {
            const bool tuxedo = i < kTuxSites;
            if (i % kSitesPerAgent == 0)
                agents.push_back(std::make_unique<AgentProcess>(
                    tuxedo ? std::vector<std::string>{"--tuxedo", "--servers", "50"}
                           : std::vector<std::string>{"--weblogic", "--servers", "4"}));
            config.InsertSite(Site(tuxedo, i + 1, agents.back()->Port()));
        }
    }
    ChildProcess monitor({BinDir() + "/corvane-monitor", "--home", home.File("").utf8_string(), "--listen",
                          "127.0.0.1:0", "--interval", "15"},
                         true, 30000);
    const std::string url = monitor.FirstLine();
    std::string text;
    const bool allUp = WaitFor(
        [&]
        {
            text = HttpGet(url);
            return SitesUp(text) == kTuxSites + kWlsSites;
        },
        60000);
    if (!allUp)
    {
        BenchFailed("monitor_100_sites_cpu_pct", "%", "not every site came up: " + url);
        return;
    }
    const char* window = std::getenv("CORVANE_BENCH_MONITOR_SECONDS");
    const int seconds = window && std::atoi(window) > 0 ? std::atoi(window) : 60;
    const double cpuBefore = ProcessCpuSeconds(monitor.Pid());
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = ProcessCpuSeconds(monitor.Pid()) - cpuBefore;
    PrintFigure("monitor_100_sites_cpu_pct", 100.0 * cpu / (MsSince(start) / 1000.0), "%");
    PrintFigure("monitor_100_sites_mb", ProcessResidentMiB(monitor.Pid()), "MiB");

    std::vector<double> scrapes;
    for (int i = 0; i < 20; ++i)
    {
        const auto begin = std::chrono::steady_clock::now();
        if (HttpGet(url).empty())
        {
            BenchFailed("metrics_scrape_ms", "ms", "a scrape failed");
            return;
        }
        scrapes.push_back(MsSince(begin));
    }
    PrintFigure("metrics_scrape_ms", Median(scrapes), "ms");
}
