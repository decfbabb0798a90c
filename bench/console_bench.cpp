// Resident memory of the console, each case in a fresh process: the real main
// window (HalvexFrame) with its panels opened through OpenSite, as File →
// Connect... does.
//   console_empty_mb            the main window alone, shown
//   console_20_idle_mb          with 10 Tuxedo and 10 WebLogic panels, idle
//   console_idle_panel_mb       what one idle panel adds
//   console_5_polling_mb        with 5 Tuxedo panels, each polling a stand-in agent
//                               process with the large domain (2,000 servers, 500
//                               queues, 10,000 clients), after 20 scans each
//   console_5_polling_peak_mb   the highest resident size on the way
//   console_5_polling_heap_mb   of the resident size, what the heap holds in use;
//                               the rest is freed memory the panels keep for the
//                               next scan and the toolkit's own
//   console_5_polling_round_ms  one round of the 5 panels scanning at once, until
//                               all 5 are shown (median of 20)
#include "bench.h"

#include "app/halvex_frame.h"
#include "common/ids.h"
#include "sim_agents.h"
#include "store/records.h"
#include "tuxedo/halvex_panel.h"
#include "weblogic/dunmere_panel.h"

#include <wx/textctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
// The resident size levels off after about 15 rounds, while the heap in use
// stays flat from the first: the freed memory panels keep for their next scan
// has then grown to what five scans at once leave behind.
constexpr int kRounds = 20;

SiteRecord Site(const wxString& type, int number, unsigned short port)
{
    SiteRecord site;
    site.SiteType = type;
    site.SiteName = wxString::Format("%s%02d", type == "TUXEDO" ? "Tux" : "Wls", number);
    site.SiteIP = "127.0.0.1";
    site.SitePort = wxString::Format("%u", port);
    site.DatabaseFile = site.SiteName + ".db";
    if (type == "WEBLOGIC")
    {
        site.SiteAuth = "weblogic";
        site.SitePwd = "welcome1";
        site.WlsAdminURL = "7001";
        site.WlsVer = "WebLogic V10";
    }
    return site;
}

HalvexFrame* ShowConsole()
{
    auto* frame = new HalvexFrame(nullptr, wxID_ANY, "Corvane", wxDefaultPosition, wxSize(1280, 900));
    frame->Show();
    PumpUntil([] { return false; }, 200); // mapped and painted
    return frame;
}

void CloseConsole(HalvexFrame* frame)
{
    frame->Destroy();
    PumpUntil([] { return false; }, 100);
}
} // namespace

CORVANE_BENCH_PROCESS_SECTION(console_idle)
{
    ScratchHome home;
    HalvexFrame* frame = ShowConsole();
    const double empty = ResidentMiB();
    int opened = 0;
    for (int i = 0; i < 10; ++i)
    {
        opened += frame->OpenSite(Site("TUXEDO", i, static_cast<unsigned short>(7000 + i)));
        opened += frame->OpenSite(Site("WEBLOGIC", i, static_cast<unsigned short>(8000 + i)));
    }
    PumpUntil([] { return false; }, 500); // the floating panes shown and painted
    const double idle = ResidentMiB();
    if (opened != 20)
        BenchFailed("console_20_idle_mb", "MiB", "not every site opened");
    else
    {
        PrintFigure("console_empty_mb", empty, "MiB");
        PrintFigure("console_20_idle_mb", idle, "MiB");
        PrintFigure("console_idle_panel_mb", (idle - empty) / 20, "MiB");
    }
    CloseConsole(frame);
}

CORVANE_BENCH_PROCESS_SECTION(console_polling)
{
    ScratchHome home;
    const SimOptions large = LargeTuxedoDomain();
    std::vector<std::unique_ptr<AgentProcess>> agents;
    for (int i = 0; i < 5; ++i)
    {
        agents.push_back(std::make_unique<AgentProcess>(std::vector<std::string>{
            "--tuxedo", "--servers", std::to_string(large.servers), "--queues",
            std::to_string(large.queues), "--clients", std::to_string(large.clients), "--seed",
            std::to_string(i + 1), "--epoch", std::to_string(BenchEpoch)}));
        if (agents.back()->Port() == 0)
        {
            BenchFailed("console_5_polling_mb", "MiB",
                        "no stand-in agent at " + AgentProcess::ProgramPath());
            return;
        }
    }

    HalvexFrame* frame = ShowConsole();
    std::vector<HalvexPanel*> panels;
    for (int i = 0; i < 5; ++i)
    {
        const SiteRecord site = Site("TUXEDO", i, agents[i]->Port());
        frame->OpenSite(site);
        auto* panel = dynamic_cast<HalvexPanel*>(
            frame->GetAuiManager().GetPane(HalvexFrame::PaneName(site)).window);
        if (!panel)
            break;
        dynamic_cast<wxTextCtrl*>(panel->FindWindow(CorvaneId::Interval))->SetValue("15");
        if (panel->StartMonitor() != 1)
            break;
        panels.push_back(panel);
    }
    if (panels.size() != 5)
    {
        BenchFailed("console_5_polling_mb", "MiB", "a panel did not start");
        CloseConsole(frame);
        return;
    }

    std::vector<double> rounds;
    for (int round = 0; round < kRounds; ++round)
    {
        std::vector<int> shown;
        for (HalvexPanel* panel : panels)
            shown.push_back(panel->ReportsShown());
        const auto start = std::chrono::steady_clock::now();
        // A timer tick may have started a panel's scan already; one ends either way.
        for (HalvexPanel* panel : panels)
            panel->RunScanNow();
        const bool done = PumpUntil(
            [&]
            {
                for (size_t i = 0; i < panels.size(); ++i)
                    if (panels[i]->ReportsShown() <= shown[i] || panels[i]->ScanRunning())
                        return false;
                return true;
            },
            60000);
        if (!done)
        {
            BenchFailed("console_5_polling_mb", "MiB", "a round of scans did not end within 60 s");
            CloseConsole(frame);
            return;
        }
        rounds.push_back(MsSince(start));
    }
    PumpUntil([] { return false; }, 200); // the lists painted
    PrintFigure("console_5_polling_mb", ResidentMiB(), "MiB");
    PrintFigure("console_5_polling_peak_mb", PeakResidentMiB(), "MiB");
    PrintFigure("console_5_polling_heap_mb", HeapInUseKiB() / 1024, "MiB");
    PrintFigure("console_5_polling_round_ms", Median(rounds), "ms");
    CloseConsole(frame);
}
