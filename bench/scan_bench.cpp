// The whole cost of one Tuxedo scan of the large domain (2,000 servers, 500
// queues, 10,000 clients) polled from the stand-in agent over loopback:
//   tux_scan_request_ms   the ']' exchange, the agent's document building included
//   tux_scan_parse_ms     parse, order, filters, comparison and alarm evaluation
//   tux_scan_record_ms    the scan's history rows, one transaction
//   tux_scan_ms           all three, as the scan thread runs them (median of 10)
//   tux_panel_scan_ms     a HalvexPanel's tick until the scan is shown, recording
//                         ticked: the scan thread's work plus the display on the
//                         GUI thread (median of 8)
#include "bench.h"

#include "agent/agent_link.h"
#include "common/clock.h"
#include "common/heap_tuning.h"
#include "common/ids.h"
#include "sim_agents.h"
#include "store/db_access.h"
#include "tux_domain.h"
#include "tuxedo/halvex_panel.h"
#include "tuxedo/tux_monitor_model.h"

#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

#include <string>
#include <vector>

namespace
{
// A rule as an operator writes it: a dozen programs watched for each server
// condition and a queue threshold, so every check of the scan runs.
TuxAlarmRule BenchRule()
{
    TuxAlarmRule rule;
    rule.SiteName = "tuxbench";
    wxString programs;
    for (int q = 0; q < 12; ++q)
        programs += (q ? ";" : "") + wxString(TuxDomain::ProgramName(q));
    rule.SvrDied = rule.LongBusy = rule.NoTran = programs;
    rule.Queued = "10";
    return rule;
}
} // namespace

CORVANE_BENCH_SECTION(tux_scan, false)
{
    ScratchHome home;
    KeepFreedMemory(); // as a panel does at creation
    InProcessAgent agent(LargeTuxedoDomain());
    AgentLink link;
    DbAccess db;
    if (link.Connect("127.0.0.1", agent.Port()) != 1 || link.Handshake() != 1)
    {
        BenchFailed("tux_scan_ms", "ms", "the in-process agent did not answer");
        return;
    }
    if (db.Open(home.File("tuxbench.db"), DbAccess::SiteDb) != 1)
    {
        BenchFailed("tux_scan_ms", "ms", "the site database did not open");
        return;
    }
    TuxMonitorModel model;
    model.SetRule(BenchRule());
    std::string reply = link.RequestBytes('^', std::string());
    if (model.ParseTuxReportInPlace(reply) != 1)
    {
        BenchFailed("tux_scan_ms", "ms", "the first report was refused");
        return;
    }

    std::vector<double> request, parse, record, total;
    for (int i = 0; i < 10; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        reply = link.RequestBytes(']', std::string());
        const double requested = MsSince(start);
        if (model.ParseTuxReportInPlace(reply) != 1)
        {
            BenchFailed("tux_scan_ms", "ms", "a report was refused");
            return;
        }
        model.TakeAlarms();
        const double parsed = MsSince(start);
        if (!db.RecordTuxScan(model.Queues(), model.Servers(), model.Clients(), RecTimeNow()))
        {
            BenchFailed("tux_scan_ms", "ms", "recording failed: " + std::string(db.LastError().utf8_str()));
            return;
        }
        const double recorded = MsSince(start);
        request.push_back(requested);
        parse.push_back(parsed - requested);
        record.push_back(recorded - parsed);
        total.push_back(recorded);
    }
    link.Close();
    PrintFigure("tux_scan_request_ms", Median(request), "ms");
    PrintFigure("tux_scan_parse_ms", Median(parse), "ms");
    PrintFigure("tux_scan_record_ms", Median(record), "ms");
    PrintFigure("tux_scan_ms", Median(total), "ms");
}

CORVANE_BENCH_SECTION(tux_panel_scan, true)
{
    ScratchHome home;
    InProcessAgent agent(LargeTuxedoDomain());
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(1200, 800));
    auto* panel = new HalvexPanel(frame);
    SiteRecord site;
    site.SiteName = "tuxbench";
    site.SiteType = "TUXEDO";
    site.SiteIP = "127.0.0.1";
    site.SitePort = wxString::Format("%u", agent.Port());
    site.DatabaseFile = "tuxbench.db";
    panel->SetSite(site);
    panel->SetRule(BenchRule());
    frame->Show();
    frame->Layout();
    if (auto* record = dynamic_cast<wxCheckBox*>(wxWindow::FindWindowByLabel("Record to Database!", panel)))
        record->SetValue(true);
    dynamic_cast<wxTextCtrl*>(panel->FindWindow(CorvaneId::Interval))->SetValue("15");

    std::vector<double> ticks;
    if (panel->StartMonitor() != 1)
        BenchFailed("tux_panel_scan_ms", "ms", "the panel did not start");
    for (int i = 0; i < 8 && panel->IsRunning(); ++i)
    {
        const int shown = panel->ReportsShown();
        const auto start = std::chrono::steady_clock::now();
        // A timer tick may have started the scan already; either way one ends.
        panel->RunScanNow();
        if (!PumpUntil([&] { return panel->ReportsShown() > shown && !panel->ScanRunning(); }, 30000))
        {
            BenchFailed("tux_panel_scan_ms", "ms", "a scan was not shown within 30 s");
            break;
        }
        frame->Update(); // paint the visible rows
        ticks.push_back(MsSince(start));
    }
    if (!ticks.empty())
        PrintFigure("tux_panel_scan_ms", Median(ticks), "ms");
    panel->StopMonitor();
    frame->Destroy();
    PumpUntil([] { return false; }, 50);
}
