// Alarm lifecycle figures on the large Tuxedo domain (2,000 servers of 500
// programs), every program idle or busy too long in every scan (the first
// 500 of those findings):
//   alarm_book_scan_us        the bookkeeping of one scan of 500 alarming
//                             objects (defaults: each one repeats), median
//   alarm_journal_rows_per_s  journal rows written per second, one
//                             transaction per scan, raising and clearing all
//                             500 by turns (with their active-alarm rows);
//                             _cpu_: per second of processor time
#include "bench.h"

#include "../tests/tuxedo/tux_report_gen.h"
#include "alarm/alarm_book.h"
#include "tuxedo/tux_monitor_model.h"

namespace
{
std::vector<AlarmFinding> LargeDomainFindings()
{
    TuxReportShape shape;
    shape.servers = 2000;
    shape.queues = 500;
    shape.clients = 10000;
    shape.seed = 7;
    TuxMonitorModel model;
    TuxAlarmRule rule;
    for (int i = 0; i < shape.queues; ++i)
        rule.NoTran += wxString::Format("SVRPROG%03d;", i);
    rule.LongBusy = rule.NoTran;
    model.SetRule(rule);
    const std::string report = MakeTuxReport(shape);
    model.ParseTuxReport(report);
    model.TakeAlarms();
    model.ParseTuxReport(report); // nothing done since: idle and busy ones are filed
    std::vector<AlarmFinding> findings = model.TakeAlarms().findings;
    if (findings.size() > 500)
        findings.resize(500);
    return findings;
}
} // namespace

CORVANE_BENCH_SECTION(alarm_book, false)
{
    const std::vector<AlarmFinding> findings = LargeDomainFindings();
    PrintFigure("alarm_book_objects", static_cast<double>(findings.size()), "objects");
    if (findings.size() < 500)
    {
        BenchFailed("alarm_book_scan_us", "us", "the domain files fewer than 500 objects");
        return;
    }
    {
        AlarmBook book;
        book.Scan("bench", findings); // raised once; every later scan repeats all
        std::vector<double> us;
        for (int i = 0; i < 200; ++i)
            us.push_back(BestMs(1, [&] { book.Scan("bench", findings); }) * 1000.0);
        PrintFigure("alarm_book_scan_us", Median(us), "us");
    }
    {
        ScratchHome home;
        AlarmBook book;
        const wxString warning = book.OpenSite("bench", home.File("bench.db"));
        if (!warning.empty())
        {
            BenchFailed("alarm_journal_rows_per_s", "rows/s", std::string(warning.utf8_str()));
            return;
        }
        const std::vector<AlarmFinding> none;
        const int scans = 20;
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuMs();
        for (int i = 0; i < scans; ++i)
            book.Scan("bench", i % 2 == 0 ? findings : none);
        const double ms = MsSince(start);
        const double cpuMs = ThreadCpuMs() - cpuStart;
        if (book.JournalFailures() != 0)
            BenchFailed("alarm_journal_rows_per_s", "rows/s", "journal writes failed");
        else
        {
            PrintFigure("alarm_journal_rows_per_s", scans * findings.size() / (ms / 1000.0), "rows/s");
            PrintFigure("alarm_journal_cpu_rows_per_s", scans * findings.size() / (cpuMs / 1000.0), "rows/s");
        }
    }
}
