#pragma once

#include "agent/agent_link.h"
#include "common/monitor_control.h"
#include "store/db_access.h"
#include "store/records.h"
#include "tuxedo/tux_alarms.h"
#include "tuxedo/tux_log_file.h"
#include "tuxedo/tux_monitor_model.h"
#include "tuxedo/tux_panel.h"

#include <wx/thread.h>
#include <wx/timer.h>

#include <memory>
#include <string>
#include <vector>

class wxSocketEvent;

// The monitor panel of one Tuxedo site. Start connects to the site's agent
// and shows its first report; a timer then runs one scan per interval in a
// TuxPanelThread: request, parse, comparison, history and alarm actions on
// that thread, then the lists, summary, log and state changes on the GUI
// thread.
class HalvexPanel : public TuxPanel
{
public:
    explicit HalvexPanel(wxWindow* parent, AgentLink::Timeouts timeouts = AgentLink::Timeouts());
    ~HalvexPanel() override;

    // Keeps the site, opens its database (creating it when missing) and takes
    // its Tuxedo alarm rule when one is stored.
    void SetSite(const SiteRecord& site);
    const SiteRecord& Site() const { return m_site; }

    // The site's alarm rule; the next parse uses a new one.
    TuxAlarmRule Rule() const { return m_model.Rule(); }
    void SetRule(const TuxAlarmRule& rule) { m_model.SetRule(rule); }
    DbAccess& Db() { return m_db; }
    const ActionSettings& Settings() const { return m_settings; }

    int StartMonitor(); // 1 when running
    void StopMonitor();
    bool IsRunning() const { return m_monitor.IsRunning(); }

    // The operations of a scan, on the thread that runs it: the scan thread,
    // or the GUI thread for the first report at Start.
    int ParseTuxReport();
    int PassesFilter(const wxString& name, const wxString& value, bool server) const;
    void CompareWithPreviousScan();
    int NoteAlarmServer(const wxString& name, int kind);
    void FireTuxAlarms();

    // GUI thread: shows the scan last handed over; writes its log lines
    // (kind 1 the agent's findings, kind 2 the alarms).
    void ShowTuxReport();
    void WriteTuxLog(int kind);

    // Takes reply as the agent's last reply, parses it and makes it the report
    // ShowTuxReport shows next, as Start does with the first report (no alarm
    // evaluation; a rejected report records nothing). For tools and
    // benchmarks; only while no scan runs. The parse's result.
    int LoadReport(std::string reply, bool recording);

    // What a timer tick does; false when the tick was skipped.
    bool RunScanNow();
    bool ScanRunning() const { return m_monitor.ScanRunning(); }
    void WaitForScan() { m_monitor.WaitForScan(); }
    int IntervalMs() const { return m_monitor.IntervalMs(); }
    const wxTimer& Timer() const { return m_timer; }

    // The actions FireTuxAlarms starts (the alarm-delivery functions unless
    // replaced); change them only while no scan runs.
    void SetAlarmActions(const TuxAlarmActions& actions) { m_actions = actions; }

    // The scan-side state. Read it only while no scan runs.
    const TuxMonitorModel& Model() const { return m_model; }

    // Displays so far (Start's first report included).
    int ReportsShown() const { return m_reportsShown; }
    // What the lists show, for a look from outside.
    const TuxServerList& ShownServers() const { return m_shownServers; }
    const TuxQueueList& ShownQueues() const { return m_shownQueues; }
    const TuxClientList& ShownClients() const { return m_shownClients; }

protected:
    void OnAlarmSet(wxCommandEvent& event) override;
    void OnClearLog(wxCommandEvent& event) override;
    void OnServerKind(wxCommandEvent& event) override;
    void OnServerOnlyShow(wxCommandEvent& event) override;
    void OnServerApply(wxCommandEvent& event) override;
    void OnServerColumnClick(wxListEvent& event) override;
    void OnQueueKind(wxCommandEvent& event) override;
    void OnQueueOnlyShow(wxCommandEvent& event) override;
    void OnQueueApply(wxCommandEvent& event) override;

private:
    friend class TuxPanelThread;

    // What one scan hands to the GUI thread.
    struct ScanView
    {
        bool hasLists = false; // a rejected report leaves the lists as they are
        TuxServerList servers; // the listed ones: flag word not zero
        TuxQueueList queues;
        TuxClientList clients;
        wxString summary[10];
        wxString coreFind;
        wxString reason;
        wxString historyWarning;
        std::vector<wxString> alarmLines;
    };

    void OnStartStop(wxCommandEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnSocket(wxSocketEvent& event);

    // Scan thread: one poll of the agent, for the monitoring run `run`.
    void Scan(unsigned run, bool recording);
    // After an accepted (or, at Start, any) parse: copies for the display,
    // the findings to log and, when recording, the scan's history rows.
    std::shared_ptr<ScanView> CollectView(bool accepted, bool recording);
    void SetupColumns();

    TuxLogFile m_logFile;
    SiteRecord m_site;
    ActionSettings m_settings;
    TuxAlarmActions m_actions;
    DbAccess m_db;
    AgentLink m_link;
    wxTimer m_timer;
    MonitorControl m_monitor;

    // Scan side: used by one scan at a time (or by Start while none runs).
    TuxMonitorModel m_model;
    std::string m_lastReply;
    std::shared_ptr<ScanView> m_building;

    // GUI side: what the lists and the log show.
    std::shared_ptr<ScanView> m_view;
    TuxServerList m_shownServers;
    TuxQueueList m_shownQueues;
    TuxClientList m_shownClients;
    int m_reportsShown = 0;
    // Counts Starts. A scan's results are shown only in the run that started
    // it: queued results must not overwrite a new run's first report.
    unsigned m_run = 0;
};

// One scan of a HalvexPanel, run by the panel's MonitorControl. The panel
// waits for it before going away.
class TuxPanelThread : public wxThread
{
public:
    TuxPanelThread(HalvexPanel& panel, unsigned run, bool recording)
        : wxThread(wxTHREAD_JOINABLE), m_panel(panel), m_run(run), m_recording(recording)
    {
    }

protected:
    ExitCode Entry() override;

private:
    HalvexPanel& m_panel;
    unsigned m_run;
    bool m_recording;
};
