#include "metrics/site_sample.h"

#include "alarm/alarm_book.h"

SiteSample SampleOf(const std::string& site, const SiteMonitor& monitor)
{
    SiteSample sample;
    sample.site = site;
    const ScanOutcome last = monitor.LastOutcome();
    ScanCounts counts = monitor.Counts();
    sample.scans = counts.scans;
    sample.failures = std::move(counts.failures);
    sample.lastScanSeconds = last.seconds;
    sample.up = monitor.IsRunning() && counts.scans > 0 && last.result == ScanOutcome::Shown;
    if (sample.up)
        sample.report = monitor.LastReport();
    if (const std::shared_ptr<AlarmBook> book = monitor.Book())
    {
        const bool tuxedo = monitor.Kind() == SiteKind::Tuxedo;
        for (AlarmKind kind : tuxedo ? std::vector<AlarmKind>{AlarmKind::Died, AlarmKind::BusyTooLong,
                                                              AlarmKind::IdleTooLong}
                                     : std::vector<AlarmKind>{AlarmKind::Died, AlarmKind::JvmHeapLow,
                                                              AlarmKind::JdbcLow, AlarmKind::ThreadLow})
            sample.activeAlarms[AlarmKindName(kind)] = 0;
        for (const ActiveAlarm& alarm : book->Active())
            if (alarm.site.utf8_string() == site)
                ++sample.activeAlarms[AlarmKindName(alarm.kind)];
    }
    return sample;
}
