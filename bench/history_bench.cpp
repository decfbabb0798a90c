// History figures on a site database holding 7 days of a Tuxedo domain of
// 200 servers and 100 queues recorded every 60 s (about 3 million rows),
// written through the console's own parser and DbAccess::RecordTuxScan:
//   hist_query_24h_ms    one server program's requests-done series over 24 h, query to series
//   hist_query_7d_ms     the same over 7 days
//   hist_index_build_ms  adding the range indexes to that file written without them
//   hist_purge_batch_ms  the longest retention batch while two hours of rows are deleted
//   hist_draw_ms         drawing a 100,000-point series into the chart window (1,000: hist_draw_1k_ms)
#include "bench.h"

#include "history/chart_canvas.h"
#include "history/history_reader.h"
#include "history/history_retention.h"
#include "history_fill.h"
#include "store/db_access.h"
#include "store/history_indexes.h"

#include <wx/frame.h>
#include <wx/wxsqlite3.h>

#include <chrono>
#include <cmath>

namespace
{
constexpr int kInterval = 60;
constexpr long long kWeek = 7 * 86400;

// The data set, built once per process into the scratch home; false when it
// could not be written.
bool BuildWeek(const wxString& path, long long end)
{
    const auto start = std::chrono::steady_clock::now();
    const HistoryFill fill = FillInScratch(path,
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
        return false;
    }
    PrintFigure("hist_rows", static_cast<double>(fill.rows), "rows");
    PrintFigure("hist_build_s", MsSince(start) / 1000, "s");
    return true;
}

double QueryMs(HistoryReader& reader, long long from, long long to, size_t& points)
{
    HistQuery query{HistKind::TuxServer, "BILLSVR", {HistMetric::TuxRequestsPerMinute}, from, to};
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        const HistResult result = reader.Load(query);
        runs.push_back(MsSince(start));
        points = result.plots.empty() || result.plots[0].series.empty()
                     ? 0
                     : result.plots[0].series[0].points.size();
    }
    return Median(runs);
}
} // namespace

CORVANE_BENCH_SECTION(hist_query, false)
{
    ScratchHome home;
    const wxString path = home.File("week.db");
    const long long end = std::time(nullptr) / kInterval * kInterval;
    if (!BuildWeek(path, end))
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
    size_t points = 0;
    PrintFigure("hist_query_24h_ms", QueryMs(reader, end - 86400, end, points), "ms");
    PrintFigure("hist_query_24h_points", static_cast<double>(points), "points");
    PrintFigure("hist_query_7d_ms", QueryMs(reader, end - kWeek, end, points), "ms");
    PrintFigure("hist_query_7d_points", static_cast<double>(points), "points");
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
