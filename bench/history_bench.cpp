// History figures on a site database holding 7 days of a Tuxedo domain of
// 200 servers and 100 queues recorded every 60 s (about 3 million rows),
// written through the console's own parser and DbAccess::RecordTuxScan:
//   hist_query_24h_ms    one server program's requests-done series over 24 h, query to
//                        series (_cpu_ms: the processor time of it)
//   hist_query_7d_ms     the same over 7 days
//   hist_index_build_ms  adding the range indexes to that file written without them
//   hist_purge_batch_ms  the longest retention batch while two hours of rows are deleted
//                        (_mean_ms: their mean)
//   hist_draw_ms         drawing a 100,000-point series into the chart window (1,000: hist_draw_1k_ms)
#include "bench.h"

#include "history/chart_canvas.h"
#include "history/history_reader.h"
#include "history/history_retention.h"
#include "history_fill.h"
#include "store/db_access.h"
#include "store/history_indexes.h"

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/stdpaths.h>
#include <wx/wxsqlite3.h>

#include <chrono>
#include <cmath>
#include <ctime>

namespace
{
constexpr int kInterval = 60;
constexpr long long kWeek = 7 * 86400;

// The data set: built once through the recording and kept beside the
// program (bin/bench-data/) for later runs, named by the moment it ends;
// the sections work on a copy. False when it could not be written.
bool WeekOfHistory(const wxString& copy, long long& end)
{
    const wxString dir = wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath() + "/bench-data";
    wxString kept = wxFindFirstFile(dir + "/tux-week-v1-*.db");
    if (kept.empty())
    {
        wxFileName::Mkdir(dir, 0700, wxPATH_MKDIR_FULL);
        end = std::time(nullptr) / kInterval * kInterval;
        kept = wxString::Format("%s/tux-week-v1-%lld.db", dir, end);
        const auto start = std::chrono::steady_clock::now();
        const HistoryFill fill = FillInScratch(kept,
                                               [&](DbAccess& db)
                                               {
                                                   TuxDomain::Config domain;
                                                   domain.servers = 200;
                                                   domain.queues = 100;
                                                   domain.clients = 0;
                                                   domain.seed = 7;
                                                   return FillTuxHistory(db, domain, end - kWeek + kInterval,
                                                                         end, kInterval);
                                               });
        if (!fill.error.empty())
        {
            std::fprintf(stderr, "corvane-bench: %s\n", fill.error.utf8_str().data());
            wxRemoveFile(kept);
            return false;
        }
        PrintFigure("hist_build_s", MsSince(start) / 1000, "s");
    }
    end = 0;
    wxFileName(kept).GetName().AfterLast('-').ToLongLong(&end);
    return end > 0 && wxCopyFile(kept, copy);
}

// Prints the median wall time of a query to series, and the processor time
// it took (what other processes on a busy machine cannot stretch).
void Query(HistoryReader& reader, const char* name, long long from, long long to)
{
    HistQuery query{HistKind::TuxServer, "BILLSVR", {HistMetric::TuxRequestsPerMinute}, from, to};
    std::vector<double> wall, cpu;
    size_t points = 0;
    for (int i = 0; i < 7; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuMs();
        const HistResult result = reader.Load(query);
        wall.push_back(MsSince(start));
        cpu.push_back(ThreadCpuMs() - cpuStart);
        points = result.plots.empty() || result.plots[0].series.empty()
                     ? 0
                     : result.plots[0].series[0].points.size();
    }
    PrintFigure((std::string(name) + "_ms").c_str(), Median(wall), "ms");
    PrintFigure((std::string(name) + "_cpu_ms").c_str(), Median(cpu), "ms");
    PrintFigure((std::string(name) + "_points").c_str(), static_cast<double>(points), "points");
}
} // namespace

CORVANE_BENCH_SECTION(hist_query, false)
{
    ScratchHome home;
    const wxString path = home.File("week.db");
    long long end = 0;
    if (!WeekOfHistory(path, end))
    {
        BenchFailed("hist_query_24h_ms", "ms", "the week of history could not be written");
        return;
    }
    {
        wxSQLite3Database db;
        db.Open(path);
        for (const HistoryTable& t : kHistoryTables)
            db.ExecuteUpdate(wxString::Format("drop index if exists %s_%s_RecTime;", t.table, t.key));
        const double ms = BestMs(1, [&] { EnsureHistoryIndexes(db); });
        PrintFigure("hist_index_build_ms", ms, "ms");
    }

    HistoryReader reader;
    if (reader.Open(path).status != HistoryReader::Ok)
    {
        BenchFailed("hist_query_24h_ms", "ms", "the site database did not open");
        return;
    }
    long long rows = 0;
    for (const auto& table : reader.Stats().rows)
        rows += table.second;
    PrintFigure("hist_rows", static_cast<double>(rows), "rows");
    Query(reader, "hist_query_24h", end - 86400, end);
    Query(reader, "hist_query_7d", end - kWeek, end);
    reader.Close();

    // Seven days kept, two hours past them: the oldest two hours go.
    PurgeOptions options;
    options.pauseMs = 0;
    const PurgeReport purge = PurgeHistory(path, 7, end + 2 * 3600, options);
    if (!purge.error.empty() || purge.deleted == 0)
    {
        BenchFailed("hist_purge_batch_ms", "ms", "the purge failed: " + purge.error.ToStdString());
        return;
    }
    PrintFigure("hist_purge_rows", static_cast<double>(purge.deleted), "rows");
    PrintFigure("hist_purge_batches", purge.batches, "batches");
    PrintFigure("hist_purge_batch_ms", purge.longestBatchMs, "ms");
    PrintFigure("hist_purge_batch_mean_ms", purge.totalBatchMs / purge.batches, "ms");
}

CORVANE_BENCH_SECTION(hist_draw, true)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(1200, 700));
    auto* canvas = new ChartCanvas(frame);
    frame->Show();
    PumpUntil([] { return false; }, 200);
    for (int count : {1000, 100000})
    {
        // A week of a wandering value with a few gaps.
        HistPlot plot{"Bench: series", "requests/min", {{"bench", {}}}};
        const double step = static_cast<double>(kWeek) / count;
        for (int i = 0; i < count; ++i)
            plot.series[0].points.push_back(
                {i * step, 50 + 40 * std::sin(i * 0.001) + (i * 7919 % 97) / 4.0, i % 20000 == 19999});
        canvas->SetPlots({plot}, 0, static_cast<double>(kWeek));
        std::vector<double> runs;
        for (int i = 0; i < 15; ++i)
        {
            const auto start = std::chrono::steady_clock::now();
            canvas->Refresh();
            canvas->Update(); // paints now
            runs.push_back(MsSince(start));
        }
        PrintFigure(count == 1000 ? "hist_draw_1k_ms" : "hist_draw_ms", Median(runs), "ms");
    }
    frame->Destroy();
    PumpUntil([] { return false; }, 50);
}

