#pragma once

#include "monitor/site_monitor.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

// What the metrics of one site are made of at the moment of a scrape.
struct SiteSample
{
    std::string site;
    // The monitor is running and its last exchange showed a report; when
    // false only the scan figures are exposed, no gauge of an older report.
    bool up = false;
    double lastScanSeconds = 0;
    std::uint64_t scans = 0;
    std::map<std::string, std::uint64_t> failures; // by reason
    std::shared_ptr<const SiteReport> report;       // the last accepted one, when up
    // Active alarms by kind name, every kind of the site's type present (0
    // when none); empty when the monitor keeps no alarm lifecycle.
    std::map<std::string, int> activeAlarms;
};

// The sample of a monitor watching the site named site. Any thread.
SiteSample SampleOf(const std::string& site, const SiteMonitor& monitor);
