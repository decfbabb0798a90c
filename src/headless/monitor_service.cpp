#include "headless/monitor_service.h"

#include "alarm/alarm_book.h"
#include "common/program_dir.h"
#include "store/db_access.h"

#include <wx/datetime.h>
#include <wx/filename.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include <algorithm>
#include <set>

AlarmActions MonitorAlarmActions(const MonitorOptions& options)
{
    AlarmActions actions = DeliveryAlarmActions();
    if (!options.sound)
        actions.playSound = nullptr;
    return actions;
}

namespace
{
bool KindOf(const SiteRecord& site, SiteKind& kind)
{
    if (site.SiteType == "TUXEDO")
        kind = SiteKind::Tuxedo;
    else if (site.SiteType == "WEBLOGIC")
        kind = SiteKind::WebLogic;
    else
        return false;
    return true;
}

} // namespace

// One watched site: its monitor, its scan counts and its retry timer.
class MonitorService::Site : public SiteMonitorListener
{
public:
    Site(MonitorService& service, const SiteRecord& record, SiteKind kind)
        : record(record), monitor(kind, *this), m_service(service), m_retry(&m_events)
    {
        monitor.SetSite(record);
        m_events.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { TryStart(); });
    }
    ~Site() override { Stop(); }

    // The rule of the site's database, the action settings and the alarm handling.
    void Configure(const ActionSettings& settings)
    {
        monitor.SetActionSettings(settings);
        monitor.SetAlarmActions(MonitorAlarmActions(m_service.m_options));
        if (!IsSiteDatabaseFile(record.DatabaseFile))
        {
            Log("the database file \"" + record.DatabaseFile +
                "\" is not a file of its own in the home: no alarm rule, no history");
            return;
        }
        monitor.SetHistoryFile(ProgramFile(record.DatabaseFile));
        DbAccess db;
        if (OpenSiteDatabase(db, record) == 1)
            monitor.LoadRule(db);
        // Read again on reload: the site's lifecycle settings, acknowledgements and mute.
        const wxString warning = monitor.SetAlarmBook(m_service.m_book, ProgramFile(record.DatabaseFile));
        if (!warning.empty())
            Log(warning);
    }

    void TryStart()
    {
        if (m_stopped)
            return;
        m_inStart = true;
        const int started = monitor.Start(wxString::Format("%d", m_service.m_options.intervalSeconds));
        m_inStart = false;
        if (started != 1)
            ScheduleRetry();
        else if (!monitor.IsRunning())
            ScheduleRetry(); // the first report ended the run again
    }

    void Stop()
    {
        if (m_stopped)
            return;
        m_stopped = true;
        m_retry.Stop();
        if (monitor.IsRunning())
            monitor.Stop(); // the agent hears the goodbye
        monitor.Shutdown();
    }

    SiteRecord record;
    SiteMonitor monitor;

private:
    void ScheduleRetry()
    {
        if (m_stopped)
            return;
        ++m_failures;
        const int seconds = RetryDelaySeconds(m_service.m_options.intervalSeconds, m_failures);
        Log(wxString::Format("next try in %d s", seconds));
        m_retry.StartOnce(seconds * 1000);
    }

    void Log(const wxString& text) { m_service.Log(record.SiteName, text); }

    // SiteMonitorListener
    void OnStartFailed(const wxString& message) override { Log(message); }
    void OnRunningChanged(bool running) override
    {
        if (!running && !m_inStart && !m_stopped)
            ScheduleRetry();
    }
    void OnReport(const std::shared_ptr<const SiteReport>&) override {}
    void OnLog(const wxString& text) override { Log(text); }
    void OnScanEnded(const ScanOutcome& outcome) override
    {
        if (outcome.result == ScanOutcome::Shown)
            m_failures = 0;
    }
    bool ShouldRecord() override { return m_service.m_options.record; }

    MonitorService& m_service;
    wxEvtHandler m_events;
    wxTimer m_retry;
    int m_failures = 0;
    bool m_inStart = false;
    bool m_stopped = false;
};

MonitorService::MonitorService(const MonitorOptions& options, LogSink log)
    : m_options(options), m_book(std::make_shared<AlarmBook>()), m_sink(std::move(log))
{
}

MonitorService::~MonitorService()
{
    StopAll();
}

void MonitorService::Log(const wxString& site, const wxString& text)
{
    wxString line = text;
    line.Trim(true);
    if (line.empty())
        return;
    line.Replace("\r", "");
    line.Replace("\n", " | ");
    const wxString stamp = wxDateTime::Now().Format("%Y-%m-%dT%H:%M:%S%z");
    m_sink((stamp + (site.empty() ? wxString(" ") : " [" + site + "] ") + line).utf8_string());
}

bool MonitorService::ReadSites(std::vector<SiteRecord>& sites, std::string& error) const
{
    const wxString dir = ProgramDir();
    if (!wxFileName::DirExists(dir))
    {
        error = "the home " + dir.utf8_string() + " is not a folder";
        return false;
    }
    const wxString config = ConfigDbPath();
    if (!wxFileName::IsFileReadable(config))
    {
        error = "cannot read " + config.utf8_string() + " (is this a Corvane home?)";
        return false;
    }
    DbAccess db;
    if (db.Open(config, DbAccess::ConfigDb) != 1 || db.LoadSites() != 1)
    {
        error = "cannot read the site list of " + config.utf8_string();
        return false;
    }
    const std::vector<SiteRecord> all = db.Sites();
    if (m_options.sites.empty())
    {
        sites = all;
        return true;
    }
    sites.clear();
    for (const std::string& name : m_options.sites)
    {
        const auto found = std::find_if(all.begin(), all.end(), [&](const SiteRecord& site)
                                        { return site.SiteName == wxString::FromUTF8(name); });
        if (found == all.end())
        {
            error = "no site named \"" + name + "\" in " + config.utf8_string();
            return false;
        }
        if (std::none_of(sites.begin(), sites.end(), [&](const SiteRecord& s) { return s.SiteName == found->SiteName; }))
            sites.push_back(*found);
    }
    return true;
}

std::unique_ptr<MonitorService::Site> MonitorService::MakeSite(const SiteRecord& record)
{
    SiteKind kind;
    if (!KindOf(record, kind))
    {
        Log(record.SiteName, "site type \"" + record.SiteType + "\" is neither TUXEDO nor WEBLOGIC: not watched");
        return nullptr;
    }
    auto site = std::make_unique<Site>(*this, record, kind);
    site->Configure(m_settings);
    return site;
}

bool MonitorService::Start(std::string& error)
{
    if (!m_options.home.empty())
        wxSetEnv("CORVANE_HOME", wxString::FromUTF8(m_options.home));
    std::vector<SiteRecord> records;
    if (!ReadSites(records, error))
        return false;
    LoadActionSettingsInto(m_settings);
    std::vector<Site*> started;
    for (const SiteRecord& record : records)
    {
        std::unique_ptr<Site> site = MakeSite(record);
        if (!site)
            continue;
        started.push_back(site.get());
        std::lock_guard<std::mutex> lock(m_sitesMutex);
        m_sites.push_back(std::move(site));
    }
    Log("", wxString::Format("watching %zu site(s) every %d s", started.size(), m_options.intervalSeconds));
    for (Site* site : started)
        site->TryStart();
    return true;
}

void MonitorService::Reload()
{
    std::vector<SiteRecord> records;
    std::string error;
    if (!ReadSites(records, error))
    {
        Log("", "reload: " + wxString::FromUTF8(error) + "; the sites watched stay as they are");
        return;
    }
    LoadActionSettingsInto(m_settings);

    // Sites gone or changed stop first (outside the lock: their teardown waits for their scans).
    std::vector<std::unique_ptr<Site>> gone;
    {
        std::lock_guard<std::mutex> lock(m_sitesMutex);
        for (auto it = m_sites.begin(); it != m_sites.end();)
        {
            const bool kept = std::any_of(records.begin(), records.end(),
                                          [&](const SiteRecord& record) { return record == (*it)->record; });
            if (kept)
                ++it;
            else
            {
                gone.push_back(std::move(*it));
                it = m_sites.erase(it);
            }
        }
    }
    for (auto& site : gone)
        Log(site->record.SiteName, "stopped: no longer in the site list as it was");
    gone.clear();

    std::vector<Site*> started;
    for (const SiteRecord& record : records)
    {
        Site* existing = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_sitesMutex);
            for (auto& site : m_sites)
                if (site->record == record)
                    existing = site.get();
        }
        if (existing)
        {
            existing->Configure(m_settings);
            continue;
        }
        std::unique_ptr<Site> site = MakeSite(record);
        if (!site)
            continue;
        started.push_back(site.get());
        std::lock_guard<std::mutex> lock(m_sitesMutex);
        m_sites.push_back(std::move(site));
    }
    Log("", wxString::Format("reloaded: %zu site(s), %zu new", SiteCount(), started.size()));
    for (Site* site : started)
        site->TryStart();
}

void MonitorService::StopAll(int waitMs)
{
    std::vector<std::unique_ptr<Site>> sites;
    {
        std::lock_guard<std::mutex> lock(m_sitesMutex);
        sites.swap(m_sites);
    }
    if (sites.empty())
        return;
    Log("", "stopping");
    for (auto& site : sites)
        site->Stop();
    if (!SiteMonitor::WaitForHistoryWrites(waitMs))
        Log("", "history writes still running at exit");
    sites.clear();
}

size_t MonitorService::SiteCount() const
{
    std::lock_guard<std::mutex> lock(m_sitesMutex);
    return m_sites.size();
}

std::vector<SiteSample> MonitorService::Samples() const
{
    std::lock_guard<std::mutex> lock(m_sitesMutex);
    std::vector<SiteSample> samples;
    samples.reserve(m_sites.size());
    for (const auto& site : m_sites)
        samples.push_back(SampleOf(site->record.SiteName.utf8_string(), site->monitor));
    return samples;
}
