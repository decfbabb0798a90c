// WebLogic monitoring figures for a domain of 200 servers, each with a JVM, a
// thread pool and 10 JDBC pools:
//   wls_parse_ratio        parse and mark / a bare pugixml parse of the same text
//   wls_display_ms         the display step on the GUI thread, painting included
//   wls_record_rows_per_s  history rows of one scan written per second
#include "bench.h"

#include "wls_report_gen.h"
#include "common/clock.h"
#include "common/heap_tuning.h"
#include "store/db_access.h"
#include "weblogic/dunmere_panel.h"
#include "weblogic/wls_model.h"

#include <pugixml.hpp>

#include <wx/frame.h>

#include <algorithm>
#include <string>

namespace
{
WlsReportShape Domain(int scan)
{
    WlsReportShape shape;
    shape.servers = 200;
    shape.pools = 10;
    shape.seed = 11;
    shape.scan = scan;
    return shape;
}

// The thresholds operators typically set: every check runs.
WlsAlarmRule BenchRule()
{
    WlsAlarmRule rule;
    rule.FreeHeap = "20";
    rule.IdleThread = "10";
    rule.IdleJDBC = "10";
    return rule;
}

SiteRecord BenchSite()
{
    SiteRecord site;
    site.SiteName = "wlsbench";
    site.WlsVer = "WebLogic V10";
    site.DatabaseFile = "wlsbench.db";
    return site;
}
} // namespace

CORVANE_BENCH_SECTION(wls_parse, false)
{
    KeepFreedMemory(); // as a panel does at creation
    // Three scans in turn, so the records refilled by each parse hold other
    // values than the ones it brings.
    const std::string reports[3] = {MakeWlsReport(Domain(0)), MakeWlsReport(Domain(1)),
                                    MakeWlsReport(Domain(2))};
    WlsModel model;
    model.SetSite(BenchSite());
    model.SetRule(BenchRule());
    int turn = 0;
    const double bare = BestMs(40,
                               [&]
                               {
                                   pugi::xml_document doc;
                                   doc.load_buffer(reports[turn].data(), reports[turn].size(),
                                                   pugi::parse_default, pugi::encoding_utf8);
                                   turn = (turn + 1) % 3;
                               });
    model.ParseWlsReport(reports[2]);
    const double ours = BestMs(40,
                               [&]
                               {
                                   model.ParseWlsReport(reports[turn]);
                                   model.ClearAlarms(); // a scan's alarms go with it
                                   turn = (turn + 1) % 3;
                               });
    PrintFigure("wls_report_mb", reports[0].size() / 1048576.0, "MiB");
    PrintFigure("wls_bare_parse_ms", bare, "ms");
    PrintFigure("wls_parse_ms", ours, "ms");
    PrintFigure("wls_parse_ratio", ours / bare, "x");
}

CORVANE_BENCH_SECTION(wls_record, false)
{
    ScratchHome home;
    WlsModel model;
    model.SetSite(BenchSite());
    model.ParseWlsReport(MakeWlsReport(Domain(0)));
    DbAccess db;
    if (db.Open(home.File("wlsbench.db"), DbAccess::SiteDb) != 1)
    {
        BenchFailed("wls_record_rows_per_s", "rows/s", "the site database did not open");
        return;
    }
    const double rows = static_cast<double>(model.Servers().size() + model.Jvms().size() +
                                            model.Threads().size() + model.JdbcPools().size());
    // Each scan ends in a commit that waits for the disk: the best of several.
    const double ms = BestMs(10,
                             [&]
                             {
                                 db.RecordWlsScan(model.Servers(), model.Jvms(), model.Threads(),
                                                  model.JdbcPools(), RecTimeNow());
                             });
    PrintFigure("wls_record_ms", ms, "ms");
    PrintFigure("wls_record_rows_per_s", rows / (ms / 1000.0), "rows/s");
}

CORVANE_BENCH_SECTION(wls_display, true)
{
    ScratchHome home;
    const std::string reports[2] = {MakeWlsReport(Domain(0)), MakeWlsReport(Domain(1))};
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(1200, 800));
    frame->Show();
    wxYield();
    auto* panel = new DunmerePanel(frame);
    panel->SetSite(BenchSite());
    panel->SetRule(BenchRule());
    frame->Layout();
    double best = 1e300;
    for (int i = 0; i < 6; ++i)
    {
        panel->LoadReport(reports[i % 2]);
        best = std::min(best, BestMs(1,
                                     [&]
                                     {
                                         panel->DisplayLoadedReport();
                                         frame->Update(); // paint the visible rows
                                     }));
    }
    PrintFigure("wls_display_ms", best, "ms");
    panel->Destroy();
    frame->Destroy();
    wxYield();
}
