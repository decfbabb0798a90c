// Tuxedo monitoring figures for a domain of 2,000 servers, 500 queues and
// 10,000 clients (a report of about 2 MB):
//   tux_parse_ratio        parse, order and compare / a bare pugixml parse of the same text
//   tux_compare_ms         the comparison with the previous scan alone (_restart_ms: after a
//                          restart of the whole domain under new process ids)
//   tux_display_ms         the display step on the GUI thread, painting included
//   tux_record_rows_per_s  history rows of one scan written per second (with the range
//                          indexes; tux_record_noindex_rows_per_s without them; _cpu_ms:
//                          the processor time of one scan's rows)
//   tux_panel_mb           what a panel holding that domain adds to the process
#include "bench.h"

#include "../tests/tuxedo/tux_report_gen.h"
#include "common/clock.h"
#include "common/heap_tuning.h"
#include "store/db_access.h"
#include "store/history_indexes.h"
#include "tuxedo/halvex_panel.h"
#include "tuxedo/tux_monitor_model.h"

#include <pugixml.hpp>

#include <wx/frame.h>
#include <wx/wxsqlite3.h>

#include <string>

#include <time.h>

namespace
{
TuxReportShape Domain(int scan)
{
    TuxReportShape shape;
    shape.servers = 2000;
    shape.queues = 500;
    shape.clients = 10000;
    shape.seed = 7;
    shape.scan = scan;
    return shape;
}
} // namespace

CORVANE_BENCH_SECTION(tux_parse, false)
{
    KeepFreedMemory(); // as a panel does at creation
    const std::string reports[2] = {MakeTuxReport(Domain(0)), MakeTuxReport(Domain(1))};
    TuxMonitorModel model;
    TuxAlarmRule rule;
    rule.LongBusy = "SVRPROG";
    rule.NoTran = "SVRPROG";
    model.SetRule(rule);
    int turn = 0;
    const double bare = BestMs(15,
                               [&]
                               {
                                   pugi::xml_document doc;
                                   doc.load_buffer(reports[turn].data(), reports[turn].size(),
                                                   pugi::parse_default, pugi::encoding_utf8);
                                   turn ^= 1;
                               });
    // The panel parses each reply where it was received: the copy standing
    // in for the receive is not timed.
    model.ParseTuxReport(reports[1]);
    double ours = 1e300;
    std::string reply;
    for (int i = 0; i < 15; ++i)
    {
        reply = reports[turn];
        turn ^= 1;
        ours = std::min(ours, BestMs(1,
                                     [&]
                                     {
                                         model.ParseTuxReportInPlace(reply);
                                         model.TakeAlarms();
                                     }));
    }
    PrintFigure("tux_report_mb", reports[0].size() / 1048576.0, "MiB");
    PrintFigure("tux_bare_parse_ms", bare, "ms");
    PrintFigure("tux_parse_ms", ours, "ms");
    PrintFigure("tux_parse_ratio", ours / bare, "x");
}

// The comparison with the previous scan, with the rule of tux_parse: of the
// large domain's servers with the same processes (the comparison alone),
// and after the whole domain restarted under new process ids with ten
// servers fewer, every program named for "died" (a parse with a previous
// scan less one without, in the thread's processor time, which other work
// on the machine does not stretch).
CORVANE_BENCH_SECTION(tux_compare, false)
{
    TuxAlarmRule rule;
    rule.LongBusy = "SVRPROG";
    rule.NoTran = "SVRPROG";
    TuxReportShape restarted = Domain(1);
    restarted.firstPid = 50000;
    restarted.servers -= 10;
    for (int i = 0; i < restarted.queues; ++i)
        rule.SvrDied += wxString::Format("SVRPROG%03d;", i);
    const std::string first = MakeTuxReport(Domain(0)), next = MakeTuxReport(restarted);
    TuxMonitorModel model;
    model.SetRule(rule);
    model.ParseTuxReport(first);
    model.ParseTuxReport(first);
    PrintFigure("tux_compare_ms", BestMs(50,
                                         [&]
                                         {
                                             model.CompareWithPreviousScan();
                                             model.TakeAlarms();
                                         }),
                "ms");

    const auto cpuMs = []
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    double alone = 1e300, compared = 1e300;
    for (int i = 0; i < 40; ++i)
    {
        model.ForgetPreviousScan();
        double start = cpuMs();
        model.ParseTuxReport(next);
        alone = std::min(alone, cpuMs() - start);
        model.ForgetPreviousScan();
        model.ParseTuxReport(first);
        start = cpuMs();
        model.ParseTuxReport(next);
        model.TakeAlarms();
        compared = std::min(compared, cpuMs() - start);
    }
    PrintFigure("tux_compare_restart_ms", compared - alone, "ms");
}

CORVANE_BENCH_SECTION(tux_record, false)
{
    ScratchHome home;
    TuxMonitorModel model;
    model.ParseTuxReport(MakeTuxReport(Domain(0)));
    DbAccess db;
    if (db.Open(home.File("bench.db"), DbAccess::SiteDb) != 1)
    {
        BenchFailed("tux_record_rows_per_s", "rows/s", "the site database did not open");
        return;
    }
    // The same into a file without the range indexes, as before they existed
    // (dropped after the open, which adds them). The two take turns, so a busy
    // disk slows both alike; the processor time shows what the indexes cost.
    DbAccess bare;
    bare.Open(home.File("bare.db"), DbAccess::SiteDb);
    {
        wxSQLite3Database raw;
        raw.Open(home.File("bare.db"));
        for (const HistoryTable& t : kHistoryTables)
            raw.ExecuteUpdate(wxString::Format("drop index %s_%s_RecTime;", t.table, t.key));
    }
    const double rows =
        static_cast<double>(model.Servers().size() + model.Queues().size() + model.Clients().size());
    double best[2] = {1e300, 1e300}, bestCpu[2] = {1e300, 1e300};
    for (int i = 0; i < 10; ++i)
    {
        DbAccess& target = i % 2 ? bare : db;
        const double cpu = ThreadCpuMs();
        const double ms = BestMs(1,
                                 [&]
                                 {
                                     target.RecordTuxScan(model.Queues(), model.Servers(),
                                                          model.Clients(), RecTimeNow());
                                 });
        best[i % 2] = std::min(best[i % 2], ms);
        bestCpu[i % 2] = std::min(bestCpu[i % 2], ThreadCpuMs() - cpu);
    }
    PrintFigure("tux_record_ms", best[0], "ms");
    PrintFigure("tux_record_rows_per_s", rows / (best[0] / 1000.0), "rows/s");
    PrintFigure("tux_record_noindex_rows_per_s", rows / (best[1] / 1000.0), "rows/s");
    PrintFigure("tux_record_cpu_ms", bestCpu[0], "ms");
    PrintFigure("tux_record_noindex_cpu_ms", bestCpu[1], "ms");
}

// The panel's memory is read from the resident size: a fresh process.
CORVANE_BENCH_PROCESS_SECTION(tux_display)
{
    ScratchHome home;
    const std::string reports[2] = {MakeTuxReport(Domain(0)), MakeTuxReport(Domain(1))};
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(1200, 800));
    frame->Show();
    wxYield();
    const double before = ResidentMiB();
    auto* panel = new HalvexPanel(frame);
    frame->Layout();
    double best = 1e300;
    for (int i = 0; i < 6; ++i)
    {
        panel->LoadReport(reports[i % 2]);
        best = std::min(best, BestMs(1,
                                     [&]
                                     {
                                         panel->ShowTuxReport();
                                         frame->Update(); // paint the visible rows
                                     }));
    }
    const double after = ResidentMiB();
    PrintFigure("tux_display_ms", best, "ms");
    PrintFigure("tux_panel_mb", after - before, "MiB");
    panel->Destroy();
    frame->Destroy();
    wxYield();
}
