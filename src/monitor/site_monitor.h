#pragma once

#include "agent/agent_link.h"
#include "alarm/scan_alarms.h"
#include "store/records.h"
#include "tuxedo/tux_records.h"
#include "weblogic/wls_records.h"

#include <wx/event.h>
#include <wx/string.h>
#include <wx/timer.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class AlarmBook;
class DbAccess;
class HistoryWriter;
class HistoryWrite;
class TuxMonitorModel;
class WlsModel;

// The monitoring of one site, without a window: connect, handshake and the
// first report at Start, then one scan per timer tick on a thread of its own
// (request, parse, comparison or thresholds, history, alarms, WebLogic thread
// dumps), the lost-connection path, Stop and teardown. A monitor panel drives
// one and shows what it reports; a program without a GUI can drive many.
//
// Threads. A SiteMonitor lives on the thread that runs the event loop (the
// GUI thread of the console, the main thread of a wxAppConsole): create it,
// call it and destroy it there. Its timer, the link's lost-connection notices
// and the hand-offs of its scans arrive through that loop (wxBase is enough:
// wxTimer, socket notices and CallAfter need no GUI). Every listener call is
// made on that thread, in the order the design writes to a panel. Only the
// alarm handler runs on the scan thread. Calls that may come from any thread
// say so.
//
//   HalvexPanel : SiteMonitorListener    SiteMonitor m_monitor{SiteKind::Tuxedo, *this};
//   SetSite:      m_monitor.SetSite(site); m_monitor.SetHistoryFile(path); m_monitor.LoadRule(db);
//   Start button: m_monitor.Start(m_interval->GetValue());
//   Stop button:  m_monitor.Stop();
//   destructor:   m_monitor.Shutdown(); before the windows the listener touches go
//
// A headless program reads LastReport() and LastOutcome() (any thread) for its
// metrics, logs what OnLog carries, and calls Start again (with its own
// back-off) after OnRunningChanged(false).

enum class SiteKind
{
    Tuxedo,
    WebLogic,
};

// A Tuxedo report as read: every record (the flag words as the parse marked
// them: bit 0x10 red, a zero word filtered out of the lists) and the summary.
struct TuxReportData
{
    bool hasLists = true; // false: Start's first report was refused, only the summary is current
    TuxServerList servers;
    TuxQueueList queues;
    TuxClientList clients;
    TuxInitRec init;
    TuxCountRec counts;
    TuxSystemRec system;
    wxString lastUpdate;
};

struct WlsReportData
{
    WlsServerList servers;
    WlsJvmList jvms;
    WlsThreadList threads;
    WlsJdbcList jdbc;
    WlsDomainSummary summary;
};

// One report as a monitor hands it on; shared, never changed once handed.
struct SiteReport
{
    SiteKind kind = SiteKind::Tuxedo;
    // Refused reports are shown only at Start (the design shows what was
    // there); LastReport() only ever holds accepted ones.
    bool accepted = true;
    bool atStart = false; // Start's first report: no alarm evaluation
    std::shared_ptr<const TuxReportData> tuxedo;  // kind Tuxedo
    std::shared_ptr<const WlsReportData> webLogic; // kind WebLogic
    std::chrono::system_clock::time_point time;   // when it was read
};

// How one exchange with the agent ended (Start's first report or a poll).
struct ScanOutcome
{
    enum Result
    {
        Shown,     // a report was accepted and handed on
        Empty,     // no reply (an empty one, or the link failed)
        Rejected,  // a reply that is not a report
        Broken,    // the link was found broken (WebLogic)
        Cancelled, // cut short by Stop or teardown
    };
    Result result = Shown;
    bool atStart = false;
    bool historyFailed = false; // recording was asked for and the rows were not written
    double seconds = 0;         // from the tick (or the '^') until the scan ended
};

// "shown", "empty", "rejected", "broken", "cancelled": a bounded set of words.
const char* ScanResultName(ScanOutcome::Result result);

// The exchanges of a monitor since it was made: every Start and every poll
// that ended other than cancelled, and those that showed no report by reason
// (a result word, or "connect", "handshake", "interval", "unwatched" for a
// Start that got no further).
struct ScanCounts
{
    std::uint64_t scans = 0;
    std::map<std::string, std::uint64_t> failures;
};

// The real deliveries: the sound player, SMS, mail through the site's SMTP
// server and the site's own command. A monitor starts with these.
AlarmActions DeliveryAlarmActions();

// What a monitor tells whoever shows it. Every call on the monitor's thread.
class SiteMonitorListener
{
public:
    virtual ~SiteMonitorListener() = default;

    // Start failed for one of the designed reasons; the text of the message
    // box the panel shows ("Connect to Host[%s: %d] Failed!", "HandShake to
    // Host Failed!", "Interval can not set below 15!").
    virtual void OnStartFailed(const wxString& message) = 0;
    // Running after Start, idle after Stop, an agent ERROR, a lost or broken link.
    virtual void OnRunningChanged(bool running) = 0;
    // A report to show: Start's first report and every accepted poll.
    virtual void OnReport(const std::shared_ptr<const SiteReport>& report) = 0;
    // Text to append to the log as it stands: warning lines carry the
    // "[%y-%m-%d %X]: [WARN]: " prefix and their line break where the design
    // gives one.
    virtual void OnLog(const wxString& text) = 0;
    // The WebLogic broken-link path empties the log before its notice.
    virtual void OnLogCleared() {}
    // Every exchange has ended: polls once their hand-offs are done, Start's
    // first report once shown.
    virtual void OnScanEnded(const ScanOutcome& outcome) {}
    // Asked at Start and at every tick: record this scan's rows?
    virtual bool ShouldRecord() { return false; }
};

// How long the windows' own connection to a site database waits for a lock
// before it tells the operator: the scans write history on a connection of
// their own, so only another program can hold the file that long.
constexpr int WindowBusyTimeoutMs = 2000;

class SiteMonitor
{
public:
    // Replaces the designed per-scan alarm actions. Called on the scan thread
    // after every accepted poll, also one that found nothing (then the text
    // is empty and findings are empty), before a WebLogic thread dump and the
    // alarm lines of the log.
    using AlarmHandler = std::function<void(const ScanAlarms& alarms)>;

    SiteMonitor(SiteKind kind, SiteMonitorListener& listener,
                AgentLink::Timeouts timeouts = AgentLink::Timeouts());
    ~SiteMonitor(); // Shutdown
    SiteMonitor(const SiteMonitor&) = delete;
    SiteMonitor& operator=(const SiteMonitor&) = delete;

    SiteKind Kind() const { return m_kind; }

    // The site to watch: its address and port, its name for the alarms and,
    // for WebLogic, the values of the request document. Takes effect at Start.
    void SetSite(const SiteRecord& site);
    const SiteRecord& Site() const { return m_site; }
    // The site database the scans' history goes to, on a connection of the
    // monitor's own, opened by the first write. Empty: recording fails with a
    // warning line.
    void SetHistoryFile(const wxString& path);
    // Takes the site's alarm rule from db when one is stored (the number of
    // rows read, as DbAccess::Load*Rule returns).
    int LoadRule(DbAccess& db);
    // The settings the designed actions use (any thread).
    void SetActionSettings(const ActionSettings& settings);
    ActionSettings Settings() const;

    // Any thread. Replaces the whole reaction (lifecycle and actions alike).
    void SetAlarmHandler(AlarmHandler handler);
    // These actions in place of the alarm-delivery functions, whether the
    // designed reaction or the lifecycle calls them.
    void SetAlarmActions(const AlarmActions& actions);
    // The scans' findings go through the book's lifecycle (AlarmBook::React)
    // under the site's name, its state kept in dbPath (see AlarmBook::OpenSite;
    // call after SetSite). Null: the designed per-scan reaction. The warning
    // text when the file could not be used.
    wxString SetAlarmBook(std::shared_ptr<AlarmBook> book, const wxString& dbPath);
    std::shared_ptr<AlarmBook> Book() const;

    // Connects, shakes hands and checks the interval (seconds as the interval
    // field holds them, atoi-style, at least 15), each failure reported by
    // OnStartFailed; then starts the timer, reports running and shows the
    // first report. 1 when running (the first report may have stopped it
    // again), -1 when idle. A connection that cannot be watched (no
    // descriptors left) fails with a warning line instead.
    int Start(const wxString& intervalSeconds);
    // Stops the timer, ends an exchange in flight, closes the link with its
    // goodbye when the connection is still usable, reports idle. Returns at
    // once: a scan busy with its history lets the write finish on its own.
    void Stop();
    bool IsRunning() const { return m_running; } // any thread
    int IntervalMs() const { return m_intervalMs; }
    const wxTimer& Timer() const { return m_timer; }

    // What a timer tick does: starts a scan unless stopped or the previous
    // one is still running (the tick is then skipped). False when skipped.
    bool RunScanNow();
    bool ScanRunning() const { return m_scanActive; } // any thread
    // Waits for the scan thread (its hand-offs may still be queued).
    void WaitForScan();

    // Parses reply as Start's first report would (filters, marks and the
    // comparison base, no alarms, no history) and returns what OnReport would
    // get, without calling the listener. For tools and benchmarks, while no
    // scan runs.
    std::shared_ptr<const SiteReport> LoadReport(std::string reply);

    // Any thread: the last accepted report (null before the first) and how
    // the last exchange ended.
    std::shared_ptr<const SiteReport> LastReport() const;
    ScanOutcome LastOutcome() const;
    ScanCounts Counts() const;

    // The scan-side models; read records only while no scan runs. Rules and
    // filters may be set from any thread and hold from the next parse.
    TuxMonitorModel& Tuxedo(); // kind Tuxedo only
    const TuxMonitorModel& Tuxedo() const;
    WlsModel& WebLogic(); // kind WebLogic only
    const WlsModel& WebLogic() const;

    // Teardown: no listener call after this; ends an exchange in flight,
    // waits for the scan thread without waiting for its history write, and
    // closes the link (with its goodbye when usable). Idempotent.
    void Shutdown();

    // Blocks until every history write of every monitor has ended (or
    // timeoutMs has passed); true when none is left. For a clean exit.
    static bool WaitForHistoryWrites(int timeoutMs);

    class Scanner; // the kind's scan, in site_scanners.h

private:
    struct LateGate;
    // Start's own first report waits this long for its history rows; a write
    // stuck behind a lock reports later instead of holding the window.
    static constexpr int StartWriteWaitMs = WindowBusyTimeoutMs;

    friend class TuxScanner;
    friend class WlsScanner;

    void OnTimer(wxTimerEvent& event);
    void OnSocket(wxSocketEvent& event);
    void TakeSocketEvent(wxSocketEvent& event);
    void JoinScan();
    // Scan thread.
    void ScanThread(unsigned run, bool recording);
    void EndOfScan(const ScanOutcome& outcome);
    void SetIdle();
    void EndExchange(const ScanOutcome& outcome); // LastOutcome and the counts
    void CountStartFailure(const char* reason);

    // For the scanners. Run fn on the monitor's thread: now when already
    // there, else queued; dropped after Shutdown.
    void OnOwner(std::function<void()> fn);
    void Log(const wxString& text);
    void Warn(const wxString& text); // prefix and line break; nothing when empty
    void Show(const std::shared_ptr<const SiteReport>& report);
    bool Cancelled() const { return m_cancelled; }
    std::string Exchange(char command, const std::string& payload);
    // Writes a report's rows in the background and waits for them unless
    // Start or teardown gives up on it first (waitMs < 0: no limit). The
    // warning line's text, empty when written. Any thread.
    wxString RecordHistory(unsigned run, const std::function<bool(DbAccess&)>& write, int waitMs);
    void FireAlarms(const ScanAlarms& alarms);
    // Scan thread: the reaction's own log lines, to follow the scan's alarm lines.
    std::vector<wxString> TakeAlarmLines() { return std::move(m_alarmLines); }
    unsigned CurrentRun() const { return m_run; }

    const SiteKind m_kind;
    SiteMonitorListener& m_listener;
    SiteRecord m_site;

    mutable std::mutex m_settingsMutex;
    ActionSettings m_settings;
    AlarmHandler m_alarmHandler;
    AlarmActions m_actions;
    std::shared_ptr<AlarmBook> m_book;
    wxString m_bookSite;
    std::vector<wxString> m_alarmLines; // scan thread

    wxEvtHandler m_events; // owner of the timer, target of the link and the hand-offs
    AgentLink m_link;
    wxTimer m_timer;
    std::unique_ptr<Scanner> m_scanner;
    std::shared_ptr<HistoryWriter> m_history;
    std::shared_ptr<LateGate> m_gate;

    std::atomic<bool> m_running{false};
    int m_intervalMs = 0;
    // Counts Starts. What a scan hands over is shown only in the run that
    // started it: queued results must not overwrite a new run's first report.
    unsigned m_run = 0;
    std::atomic<bool> m_cancelled{false};
    bool m_shutdown = false;

    std::thread m_scanThread;
    std::atomic<bool> m_scanActive{false};
    // A scan has started and its hand-offs are not all done; a WebLogic
    // loss notice meanwhile waits in m_deferredLost.
    bool m_scanOpen = false;
    std::unique_ptr<wxSocketEvent> m_deferredLost;

    // The scan's history write it waits for, and the runs whose scans no
    // longer wait (Start and teardown give up on them).
    std::mutex m_writeMutex;
    std::shared_ptr<HistoryWrite> m_pendingWrite;
    unsigned m_writesAbandonedThrough = 0;
    bool m_writesAbandonedAll = false;

    mutable std::mutex m_lastMutex;
    std::shared_ptr<const SiteReport> m_lastReport;
    ScanOutcome m_lastOutcome;
    ScanCounts m_counts;
    std::chrono::steady_clock::time_point m_startedAt;
};
