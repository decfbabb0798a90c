#include "monitor/site_monitor.h"

#include "alarm/alarm_actions.h"
#include "alarm/alarm_book.h"
#include "alarm/alarm_command.h"
#include "common/clock.h"
#include "common/heap_tuning.h"
#include "common/ids.h"
#include "common/text.h"
#include "monitor/history_writer.h"
#include "monitor/site_scanners.h"
#include "store/db_access.h"

#include <wx/thread.h>

#include <climits>
#include <system_error>

namespace
{
// The site's port text as the link takes it: its leading digits, 0 when it
// is not a number or does not fit a port.
unsigned short PortOf(const wxString& text)
{
    const int value = AtoiText(text);
    return (value < 0 || value > 65535) ? 0 : static_cast<unsigned short>(value);
}

// The interval field in milliseconds, without overflowing on long digit runs.
int IntervalMsOf(const wxString& text)
{
    const long long ms = static_cast<long long>(AtoiText(text)) * 1000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

} // namespace

AlarmActions DeliveryAlarmActions()
{
    AlarmActions actions;
    actions.playSound = [](const wxString& file) { PlayAlarmSound(file); };
    actions.sendSms = [](const wxString& text) { SendAlarmSms(text); };
    actions.sendMail = [](const ActionSettings& settings, const wxString& text)
    { SendAlarmMail(settings, text); };
    actions.runCommand = [](const wxString& program, const CommandEvent& event,
                            const std::function<void(const wxString&)>& log)
    { AlarmCommandRunner::Console().Run(program, event, log); };
    return actions;
}

// Lets a history write that ends after its waiter gave up reach the monitor,
// unless the monitor has gone.
struct SiteMonitor::LateGate
{
    std::mutex mutex;
    SiteMonitor* monitor = nullptr;

    // Any thread: a warning line for the run that asked, if still there.
    void Warn(unsigned run, const wxString& line)
    {
        if (line.empty())
            return;
        std::lock_guard<std::mutex> lock(mutex);
        if (monitor)
            monitor->OnOwner(
                [m = monitor, run, line]
                {
                    if (run == m->m_run)
                        m->Warn(line);
                });
    }
};

const char* ScanResultName(ScanOutcome::Result result)
{
    switch (result)
    {
    case ScanOutcome::Shown: return "shown";
    case ScanOutcome::Empty: return "empty";
    case ScanOutcome::Rejected: return "rejected";
    case ScanOutcome::Broken: return "broken";
    case ScanOutcome::Cancelled: return "cancelled";
    }
    return "unknown";
}

SiteMonitor::SiteMonitor(SiteKind kind, SiteMonitorListener& listener, AgentLink::Timeouts timeouts)
    : m_kind(kind), m_listener(listener), m_link(timeouts),
      m_timer(&m_events, kind == SiteKind::Tuxedo ? CorvaneId::TuxedoTimer : CorvaneId::WebLogicTimer),
      m_history(std::make_shared<HistoryWriter>(wxString())), m_gate(std::make_shared<LateGate>())
{
    KeepFreedMemory();
    m_gate->monitor = this;
    if (kind == SiteKind::Tuxedo)
        m_scanner = std::make_unique<TuxScanner>(*this);
    else
        m_scanner = std::make_unique<WlsScanner>(*this);
    m_actions = DeliveryAlarmActions();

    const int socketId = kind == SiteKind::Tuxedo ? CorvaneId::TuxedoSocket : CorvaneId::WebLogicSocket;
    m_link.SetEventTarget(&m_events, socketId);
    m_events.Bind(wxEVT_TIMER, [this](wxTimerEvent& event) { OnTimer(event); }, m_timer.GetId());
    m_events.Bind(wxEVT_SOCKET, [this](wxSocketEvent& event) { OnSocket(event); }, socketId);
}

SiteMonitor::~SiteMonitor()
{
    Shutdown();
}

void SiteMonitor::SetSite(const SiteRecord& site)
{
    m_site = site;
    m_scanner->SetSite(site);
}

void SiteMonitor::SetHistoryFile(const wxString& path)
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    m_history = std::make_shared<HistoryWriter>(path);
}

int SiteMonitor::LoadRule(DbAccess& db)
{
    return m_scanner->LoadRule(db);
}

void SiteMonitor::SetActionSettings(const ActionSettings& settings)
{
    {
        std::lock_guard<std::mutex> lock(m_settingsMutex);
        m_settings = settings;
    }
    if (m_kind == SiteKind::WebLogic)
        WebLogic().SetActionSettings(settings); // its alarm evaluation hands them on
}

ActionSettings SiteMonitor::Settings() const
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    return m_settings;
}

void SiteMonitor::SetAlarmHandler(AlarmHandler handler)
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    m_alarmHandler = std::move(handler);
}

void SiteMonitor::SetAlarmActions(const AlarmActions& actions)
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    m_actions = actions;
}

wxString SiteMonitor::SetAlarmBook(std::shared_ptr<AlarmBook> book, const wxString& dbPath)
{
    std::shared_ptr<AlarmBook> old;
    wxString oldSite;
    {
        std::lock_guard<std::mutex> lock(m_settingsMutex);
        old = m_book;
        oldSite = m_bookSite;
        m_book = book;
        m_bookSite = m_site.SiteName;
    }
    if (old && (old != book || oldSite != m_site.SiteName))
        old->CloseSite(oldSite);
    return book ? book->OpenSite(m_site.SiteName, dbPath) : wxString();
}

std::shared_ptr<AlarmBook> SiteMonitor::Book() const
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    return m_book;
}

int SiteMonitor::Start(const wxString& intervalSeconds)
{
    if (m_shutdown)
        return -1;
    // A scan from before an earlier Stop may still be finishing; it no longer
    // waits for its history write.
    {
        std::lock_guard<std::mutex> lock(m_writeMutex);
        m_writesAbandonedThrough = m_run;
        if (m_pendingWrite)
            m_pendingWrite->Abandon();
    }
    JoinScan();

    const unsigned short port = PortOf(m_site.SitePort);
    if (m_link.Connect(m_site.SiteIP, port) != 1)
    {
        const wxString unwatched = m_link.WatchFailure();
        CountStartFailure(unwatched.empty() ? "connect" : "unwatched");
        if (!unwatched.empty())
            Warn("Start failed: the connection to the agent cannot be watched (" + unwatched + ")");
        else
            m_listener.OnStartFailed(
                wxString::Format("Connect to Host[%s: %d] Failed!", m_site.SiteIP, port));
        return -1;
    }
    if (m_link.Handshake() != 1)
    {
        CountStartFailure("handshake");
        m_listener.OnStartFailed("HandShake to Host Failed!");
        return -1;
    }
    const int intervalMs = IntervalMsOf(intervalSeconds);
    if (intervalMs < 15000)
    {
        CountStartFailure("interval");
        // The link stays connected: the operator only has to fix the field.
        m_listener.OnStartFailed("Interval can not set below 15!");
        return -1;
    }
    m_intervalMs = intervalMs;
    m_timer.Start(intervalMs, wxTIMER_CONTINUOUS);
    m_running = true;
    ++m_run;
    m_listener.OnRunningChanged(true);

    const auto started = std::chrono::steady_clock::now();
    ScanOutcome outcome = m_scanner->StartReport(m_run, m_listener.ShouldRecord());
    outcome.atStart = true;
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EndExchange(outcome);
    m_listener.OnScanEnded(outcome);
    return 1;
}

void SiteMonitor::Stop()
{
    m_timer.Stop();
    if (m_scanActive)
        m_link.Abort(); // an exchange in flight ends now; Close still says goodbye when none was
    m_link.Close();
    SetIdle();
}

void SiteMonitor::SetIdle()
{
    m_running = false;
    m_listener.OnRunningChanged(false);
}

void SiteMonitor::OnTimer(wxTimerEvent&)
{
    RunScanNow();
}

bool SiteMonitor::RunScanNow()
{
    if (!m_running || m_shutdown || m_scanActive)
        return false;
    JoinScan(); // reap the previous, finished scan
    const unsigned run = m_run;
    const bool recording = m_listener.ShouldRecord();
    m_scanActive = true;
    try
    {
        m_scanThread = std::thread([this, run, recording] { ScanThread(run, recording); });
    }
    catch (const std::system_error&)
    {
        m_scanActive = false; // no thread for this tick; the next one tries again
        return false;
    }
    m_scanOpen = true;
    return true;
}

void SiteMonitor::ScanThread(unsigned run, bool recording)
{
    const auto started = std::chrono::steady_clock::now();
    ScanOutcome outcome = m_scanner->Poll(run, recording);
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    OnOwner([this, outcome] { EndOfScan(outcome); });
    m_scanActive = false;
}

void SiteMonitor::EndOfScan(const ScanOutcome& outcome)
{
    m_scanOpen = false;
    EndExchange(outcome);
    m_listener.OnScanEnded(outcome);
    if (m_deferredLost)
    {
        const std::unique_ptr<wxSocketEvent> lost = std::move(m_deferredLost);
        TakeSocketEvent(*lost);
    }
}

void SiteMonitor::WaitForScan()
{
    JoinScan();
}

void SiteMonitor::JoinScan()
{
    if (m_scanThread.joinable())
        m_scanThread.join();
}

void SiteMonitor::OnSocket(wxSocketEvent& event)
{
    if (m_shutdown)
        return;
    // A link that breaks under a WebLogic scan is the scan's to report (its
    // broken-link path); the notice waits until the scan's hand-offs are done.
    if (m_kind == SiteKind::WebLogic && m_scanOpen)
    {
        m_deferredLost.reset(static_cast<wxSocketEvent*>(event.Clone()));
        return;
    }
    TakeSocketEvent(event);
}

void SiteMonitor::TakeSocketEvent(wxSocketEvent& event)
{
    // An idle WebLogic monitor (say, connected but refused for its interval)
    // just lets the link close; a Tuxedo one says so all the same.
    if (m_kind == SiteKind::WebLogic && !m_running)
    {
        m_link.FilterEvent(event);
        return;
    }
    if (m_link.FilterEvent(event) != wxSOCKET_LOST)
        return;
    Log(WarnPrefix() + "Connection to agent is broken!");
    m_timer.Stop();
    m_link.Close(); // closed by the notice already: no goodbye goes out
    SetIdle();
}

std::shared_ptr<const SiteReport> SiteMonitor::LoadReport(std::string reply)
{
    return m_scanner->Load(std::move(reply));
}

std::shared_ptr<const SiteReport> SiteMonitor::LastReport() const
{
    std::lock_guard<std::mutex> lock(m_lastMutex);
    return m_lastReport;
}

ScanOutcome SiteMonitor::LastOutcome() const
{
    std::lock_guard<std::mutex> lock(m_lastMutex);
    return m_lastOutcome;
}

ScanCounts SiteMonitor::Counts() const
{
    std::lock_guard<std::mutex> lock(m_lastMutex);
    return m_counts;
}

void SiteMonitor::EndExchange(const ScanOutcome& outcome)
{
    std::lock_guard<std::mutex> lock(m_lastMutex);
    m_lastOutcome = outcome;
    if (outcome.result == ScanOutcome::Cancelled)
        return;
    ++m_counts.scans;
    if (outcome.result != ScanOutcome::Shown)
        ++m_counts.failures[ScanResultName(outcome.result)];
}

void SiteMonitor::CountStartFailure(const char* reason)
{
    std::lock_guard<std::mutex> lock(m_lastMutex);
    ++m_counts.scans;
    ++m_counts.failures[reason];
}

TuxMonitorModel& SiteMonitor::Tuxedo()
{
    wxASSERT(m_kind == SiteKind::Tuxedo);
    return static_cast<TuxScanner&>(*m_scanner).model;
}

const TuxMonitorModel& SiteMonitor::Tuxedo() const
{
    wxASSERT(m_kind == SiteKind::Tuxedo);
    return static_cast<const TuxScanner&>(*m_scanner).model;
}

WlsModel& SiteMonitor::WebLogic()
{
    wxASSERT(m_kind == SiteKind::WebLogic);
    return static_cast<WlsScanner&>(*m_scanner).model;
}

const WlsModel& SiteMonitor::WebLogic() const
{
    wxASSERT(m_kind == SiteKind::WebLogic);
    return static_cast<const WlsScanner&>(*m_scanner).model;
}

void SiteMonitor::Shutdown()
{
    if (m_shutdown)
        return;
    m_shutdown = true;
    m_cancelled = true;
    {
        std::lock_guard<std::mutex> lock(m_gate->mutex);
        m_gate->monitor = nullptr;
    }
    m_link.SetEventTarget(nullptr, 0); // nothing more is queued to the monitor
    m_timer.Stop();
    if (m_scanActive)
        m_link.Abort();
    {
        std::lock_guard<std::mutex> lock(m_writeMutex);
        m_writesAbandonedAll = true;
        if (m_pendingWrite)
            m_pendingWrite->Abandon();
    }
    JoinScan();
    if (m_running)
        m_link.Close();
    m_running = false;
    std::shared_ptr<AlarmBook> book;
    {
        std::lock_guard<std::mutex> lock(m_settingsMutex);
        book = std::move(m_book);
    }
    if (book)
        book->CloseSite(m_bookSite); // its alarms leave the list with its pane
}

bool SiteMonitor::WaitForHistoryWrites(int timeoutMs)
{
    return HistoryWriter::WaitForAll(timeoutMs);
}

void SiteMonitor::OnOwner(std::function<void()> fn)
{
    if (wxThread::IsMain())
    {
        if (!m_shutdown)
            fn();
        return;
    }
    m_events.CallAfter(
        [this, fn = std::move(fn)]
        {
            if (!m_shutdown)
                fn();
        });
}

void SiteMonitor::Log(const wxString& text)
{
    m_listener.OnLog(text);
}

void SiteMonitor::Warn(const wxString& text)
{
    if (!text.empty())
        m_listener.OnLog(WarnPrefix() + text + "\n");
}

void SiteMonitor::Show(const std::shared_ptr<const SiteReport>& report)
{
    if (report->accepted)
    {
        std::lock_guard<std::mutex> lock(m_lastMutex);
        m_lastReport = report;
    }
    m_listener.OnReport(report);
}

std::string SiteMonitor::Exchange(char command, const std::string& payload)
{
    if (m_cancelled)
        return std::string();
    return m_link.RequestBytes(command, payload);
}

wxString SiteMonitor::RecordHistory(unsigned run, const std::function<bool(DbAccess&)>& rows, int waitMs)
{
    std::shared_ptr<HistoryWriter> history;
    {
        std::lock_guard<std::mutex> lock(m_settingsMutex);
        history = m_history;
    }
    std::shared_ptr<HistoryWrite> write = history->Start(rows);
    {
        std::lock_guard<std::mutex> lock(m_writeMutex);
        if (m_writesAbandonedAll || run <= m_writesAbandonedThrough)
            return wxString(); // nobody waits for this scan any more
        m_pendingWrite = write;
    }
    const bool ended = write->Wait(waitMs);
    bool abandoned = false;
    {
        std::lock_guard<std::mutex> lock(m_writeMutex);
        if (m_pendingWrite == write)
            m_pendingWrite.reset();
        abandoned = m_writesAbandonedAll || run <= m_writesAbandonedThrough;
    }
    if (ended)
        return write->Warning();
    if (!abandoned)
    {
        // Start gave up waiting: a failure is still told, when it comes.
        write->OnLateEnd(
            [gate = m_gate, run](const wxString& warning) { gate->Warn(run, warning); });
    }
    return wxString();
}

void SiteMonitor::FireAlarms(const ScanAlarms& scanAlarms)
{
    AlarmHandler handler;
    AlarmActions actions;
    std::shared_ptr<AlarmBook> book;
    {
        std::lock_guard<std::mutex> lock(m_settingsMutex);
        handler = m_alarmHandler;
        actions = m_actions;
        book = m_book;
    }
    ScanAlarms alarms = scanAlarms;
    alarms.log = [this](const wxString& line) { m_alarmLines.push_back(line); };
    alarms.logLater = [gate = m_gate, run = m_run](const wxString& line) { gate->Warn(run, line); };
    if (handler)
        handler(alarms);
    else if (book)
        book->React(alarms, actions);
    else
        FireScanAlarms(alarms, actions);
}
