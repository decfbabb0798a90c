#pragma once

#include "alarm/scan_alarms.h"

#include <wx/string.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class wxSQLite3Database;

// The lifecycle of the alarms the scans find. An alarm is a (site, kind,
// object) triple; each accepted scan's findings turn into events: raised
// (held for RaiseAfter scans in a row), repeated (still active, not
// acknowledged, and the repeat interval has passed since the last notice),
// cleared (absent for ClearAfter scans in a row). An operator acknowledges
// one alarm (no repeats until it clears) or mutes a site until a time (no
// notices). Everything is journaled in the site's own database.
//
// With a site's default settings (no row stored) every scan that files an
// object notifies again, so the actions run exactly as the design has them.
//
// Threads: every call may come from any thread; one lock per book.

using AlarmClock = std::function<std::chrono::system_clock::time_point()>;

struct LifecycleSettings
{
    int repeatMinutes = 0;      // 0: notify on every scan
    int raiseAfter = 1;         // scans in a row before an alarm is raised
    int clearAfter = 1;         // scans in a row without it before it clears
    bool notifyCleared = false; // a "... recovered" mail when it clears
    wxString command;           // absolute path of a program run per event; empty: none

    bool operator==(const LifecycleSettings& o) const
    {
        return repeatMinutes == o.repeatMinutes && raiseAfter == o.raiseAfter &&
               clearAfter == o.clearAfter && notifyCleared == o.notifyCleared && command == o.command;
    }
    bool operator!=(const LifecycleSettings& o) const { return !(*this == o); }
};

enum class AlarmEventType
{
    Raised,
    Repeated,
    Cleared,
    Acknowledged,
    Muted,
};

// "raised", "repeated", "cleared", "acknowledged", "muted".
const char* AlarmEventName(AlarmEventType type);

struct AlarmEvent
{
    std::chrono::system_clock::time_point time;
    wxString site;
    AlarmEventType type = AlarmEventType::Raised;
    wxString kind; // AlarmKindName; empty for a mute
    wxString object;
    wxString text;
    // Raised, repeated and cleared: whether the actions hear of it.
    bool notify = false;
    AlarmKind alarmKind = AlarmKind::Died;
};

struct ActiveAlarm
{
    wxString site;
    AlarmKind kind = AlarmKind::Died;
    wxString object;
    std::chrono::system_clock::time_point since;
    std::chrono::system_clock::time_point lastNotified; // epoch: never
    int count = 0;                                      // scans it has held
    wxString ackBy;                                     // empty: not acknowledged
    std::chrono::system_clock::time_point ackAt;
};

// A time for the journal and the pane: "%Y-%m-%d %X" in UTC+8 like every
// time the console shows.
wxString AlarmTimeText(std::chrono::system_clock::time_point time);

class AlarmBook
{
public:
    explicit AlarmBook(AlarmClock clock = {});
    ~AlarmBook();
    AlarmBook(const AlarmBook&) = delete;
    AlarmBook& operator=(const AlarmBook&) = delete;

    // The book the console's panels share.
    static std::shared_ptr<AlarmBook> Console();

    // Starts keeping a site: its settings, acknowledgements, mute and active
    // alarms are read from dbPath (tables made when missing). An empty path
    // keeps the site in memory only. Opening an open site again reloads it.
    // The warning text when the file could not be used, else empty.
    wxString OpenSite(const wxString& site, const wxString& dbPath);
    // Forgets a site (its pane closed); its database keeps everything.
    void CloseSite(const wxString& site);
    std::vector<wxString> Sites() const;

    LifecycleSettings Settings(const wxString& site) const;
    // Stores a site's settings; false with SQLite's message on failure.
    bool SaveSettings(const wxString& site, const LifecycleSettings& settings,
                      wxString* error = nullptr);

    // One accepted scan of a site: its findings become events, journaled
    // (a failed write fills *journalError and changes nothing else).
    std::vector<AlarmEvent> Scan(const wxString& site, const std::vector<AlarmFinding>& findings,
                                 wxString* journalError = nullptr);

    // The scan's reaction on the lifecycle: Scan, then the actions the
    // events ask for (one mail per scan with every event), the command per
    // event, one log line per raised or cleared event. What a SiteMonitor's
    // alarm handler calls.
    void React(const ScanAlarms& alarms, const AlarmActions& actions);

    // Stops repeats of one active alarm until it clears; false when no such
    // alarm is active.
    bool Acknowledge(const wxString& site, AlarmKind kind, const wxString& object,
                     const wxString& by);
    // No notices for the site until then (a time in the past unmutes).
    void Mute(const wxString& site, std::chrono::system_clock::time_point until, const wxString& by);
    std::chrono::system_clock::time_point MutedUntil(const wxString& site) const;

    // Active alarms of every open site, by site, kind, object.
    std::vector<ActiveAlarm> Active() const;
    // The same, and the open sites, unless a scan is writing its journal
    // right now (false): a window's periodic refresh never waits for a disk.
    bool TryActive(std::vector<ActiveAlarm>& active, std::vector<wxString>& sites) const;
    // The site's latest journal events, newest first.
    std::vector<AlarmEvent> Journal(const wxString& site, size_t limit) const;
    // The same unless a scan is writing its journal right now (false).
    bool TryJournal(const wxString& site, size_t limit, std::vector<AlarmEvent>& events) const;

    // How many journal writes have failed; for tests and the pane.
    int JournalFailures() const;

private:
    struct Entry;
    struct SiteState;
    using Key = std::pair<int, wxString>;

    std::chrono::system_clock::time_point Now() const;
    SiteState* Find(const wxString& site) const;
    SiteState& FindOrAdd(const wxString& site);
    bool Append(SiteState& state, const std::vector<AlarmEvent>& events, wxString* error);
    // With m_mutex held.
    void ListActive(std::vector<ActiveAlarm>& active, std::vector<wxString>& sites) const;
    std::vector<AlarmEvent> ReadJournal(const wxString& site, size_t limit) const;

    AlarmClock m_clock;
    mutable std::mutex m_mutex;
    std::map<wxString, std::unique_ptr<SiteState>> m_sites;
    int m_journalFailures = 0;
};

// The designed alarm text of some of a scan's findings: per kind in the
// designed order "[ " + name + "] " entries, then the kind's suffix. A JDBC
// finding names its server.
wxString AlarmTextOf(const std::vector<AlarmEvent>& events);
// The same for cleared alarms: "[ BILLSVR]  Died recovered".
wxString RecoveredTextOf(const std::vector<AlarmEvent>& events);

// Journal rows to CSV (time, kind, object, event, text), with a header line.
std::string JournalCsv(const std::vector<AlarmEvent>& events);
