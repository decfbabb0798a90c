#include "metrics/site_sample.h"

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
    return sample;
}
