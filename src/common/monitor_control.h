#pragma once

#include "common/scan_runner.h"
#include "store/records.h"

#include <wx/string.h>

#include <atomic>
#include <functional>
#include <memory>

class AgentLink;
class wxButton;
class wxSocketEvent;
class wxTextCtrl;
class wxThread;
class wxTimer;
class wxWindow;

// What both monitor panels do around their agent link, whatever the report:
// the checks of Start with their messages, Stop and its confirmation, the
// lost-connection path, one scan at a time, the hand-off of a scan's results
// to the GUI thread, and the teardown. A panel builds one over its link, its
// timer and its Start/Stop button, interval field and log area, and calls:
//
//   StartMonitor:   if (m_monitor.Start(m_site) != 1) return;  then the first report
//   StopMonitor:    m_monitor.Stop();
//   OnStartStop:    running ? (ConfirmStop(question) ? StopMonitor() : nothing) : StartMonitor()
//   timer handler:  m_monitor.RunScan(std::make_unique<ScanThread>(...));
//   socket handler: m_monitor.OnSocketEvent(event, closeLink);
//   scan thread:    m_monitor.Deliver([this, result] { ...lists, log, state... });
//   destructor:     m_monitor.Shutdown(); before anything else goes
//
// The link (linked from corvane_agent by the panel's library) must outlive it.
// Everything but Deliver and Cancelled runs on the GUI thread.
class MonitorControl
{
public:
    struct Controls
    {
        wxButton* startStop = nullptr;
        wxTextCtrl* interval = nullptr;
        wxTextCtrl* log = nullptr;
    };

    MonitorControl(wxWindow* panel, AgentLink& link, wxTimer& timer, const Controls& controls);
    ~MonitorControl();
    MonitorControl(const MonitorControl&) = delete;
    MonitorControl& operator=(const MonitorControl&) = delete;

    // Connects to the site's agent, shakes hands and checks the interval
    // field, each failure shown in a message box ("Connect to Host[%s: %d]
    // Failed!", "HandShake to Host Failed!", "Interval can not set below 15!");
    // then starts the repeating timer and shows the running state. 1 when
    // running, -1 when the panel stays idle.
    int Start(const SiteRecord& site);

    // Stops the timer, closes the link (with its goodbye) and shows the idle
    // state. An exchange still in flight is cut short rather than waited for.
    void Stop();

    // Asks question with caption "Confirm", Yes/No; true on Yes.
    bool ConfirmStop(const wxString& question);

    // A notification of the link: on connection lost, writes "Connection to
    // agent is broken!" after the warning prefix (no line break), stops the
    // timer and shows the idle state; closeLink closes the link as well. True
    // when it was a connection lost; other notifications are ignored.
    bool OnSocketEvent(wxSocketEvent& event, bool closeLink);

    bool IsRunning() const { return m_running; }
    int IntervalMs() const { return m_intervalMs; }

    // A timer tick: starts the scan thread unless the monitor is stopped or the
    // previous scan is still running (the tick is then skipped). Takes
    // ownership of the joinable thread either way.
    bool RunScan(std::unique_ptr<wxThread> scan);
    bool ScanRunning() const { return m_scans.IsRunning(); }
    // Waits for the running scan, if any (bounded by the link's time-outs).
    void WaitForScan() { m_scans.Wait(); }

    // From a scan thread: runs onGui on the GUI thread, unless the panel has
    // been torn down by then.
    void Deliver(std::function<void()> onGui);
    // For a scan thread: true once the panel is being torn down.
    bool Cancelled() const { return m_cancelled; }

    // Writes one warning line (prefix, text, line break) to the log area; an
    // empty text writes nothing. For the history hand-off's warning.
    void Warn(const wxString& text);

    // Teardown: stops the timer, cuts an exchange in flight short, waits for
    // the scan and closes the link (with its goodbye when no exchange had to
    // be cut). Idempotent.
    void Shutdown();

private:
    void ShowIdle();

    wxWindow* m_panel;
    AgentLink& m_link;
    wxTimer& m_timer;
    Controls m_controls;
    ScanRunner m_scans;
    bool m_running = false;
    int m_intervalMs = 0;
    std::atomic<bool> m_cancelled{false};
    // Shared with the queued hand-offs, which check it before touching the panel.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
