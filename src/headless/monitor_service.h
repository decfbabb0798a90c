#pragma once

#include "headless/monitor_options.h"
#include "metrics/site_sample.h"
#include "monitor/site_monitor.h"

class AlarmBook;

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The alarm actions of every site corvane-monitor watches are built here and
// only here: the designed actions (mail, SMS; the sound only when asked for)
// and the sites' commands, driven by the alarm lifecycle.
AlarmActions MonitorAlarmActions(const MonitorOptions& options);

// The sites of one Corvane.db watched without a window, each by a
// SiteMonitor of its own: started with its alarm rule and the action
// settings, retried with a capped back-off while its agent cannot be reached,
// reloaded, stopped. Lives on the thread that runs the event loop; Samples
// may be called from any thread.
class MonitorService
{
public:
    // One line per event: "<time> [<site>] <text>" (the site empty for the
    // program's own lines).
    using LogSink = std::function<void(const std::string& line)>;

    MonitorService(const MonitorOptions& options, LogSink log);
    ~MonitorService(); // StopAll
    MonitorService(const MonitorService&) = delete;
    MonitorService& operator=(const MonitorService&) = delete;

    // Reads the site list of the home (options.home, else the program
    // directory) and starts the chosen sites. False, with one message in
    // error, when the home or its Corvane.db cannot be read or a named site
    // is not in the list; nothing is started then.
    bool Start(std::string& error);
    // Reads the site list, the rules and the action settings again: starts
    // the sites new to it, stops the ones gone, restarts the ones whose
    // address changed, keeps the others running with their new rule.
    void Reload();
    // Every site stops (its agent hears the goodbye) and every history write
    // in progress ends (or waitMs passes). Idempotent.
    void StopAll(int waitMs = 30000);

    size_t SiteCount() const;
    std::vector<SiteSample> Samples() const; // any thread

private:
    class Site;
    // The chosen sites of the list; false with error when unreadable or a named one is missing.
    bool ReadSites(std::vector<SiteRecord>& sites, std::string& error) const;
    void Log(const wxString& site, const wxString& text);
    std::unique_ptr<Site> MakeSite(const SiteRecord& record);

    MonitorOptions m_options;
    std::shared_ptr<AlarmBook> m_book; // the lifecycle of every watched site
    LogSink m_sink;
    ActionSettings m_settings;
    mutable std::mutex m_sitesMutex; // the list itself, for Samples
    std::vector<std::unique_ptr<Site>> m_sites;
};
