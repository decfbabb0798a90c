#pragma once

#include "agent/agent_link.h"
#include "common/monitor_control.h"
#include "store/db_access.h"
#include "store/records.h"
#include "weblogic/wls_model.h"
#include "weblogic/wls_panel.h"

#include <wx/socket.h>
#include <wx/thread.h>
#include <wx/timer.h>

#include <functional>
#include <memory>
#include <string>

// The monitor panel of one WebLogic site. Start connects to the site's agent,
// sends the request document and shows the first report; a timer then runs
// one scan per interval in a WlsPanelThread: request, parse, thresholds,
// history, alarm actions and thread dumps on that thread, then the lists,
// summary, log and state changes on the GUI thread.
class DunmerePanel : public WlsPanel, private WlsScanPort
{
public:
    explicit DunmerePanel(wxWindow* parent, AgentLink::Timeouts timeouts = AgentLink::Timeouts());
    ~DunmerePanel() override;

    // Keeps the site, opens its database (creating it when missing) and takes
    // its WebLogic alarm rule when one is stored.
    void SetSite(const SiteRecord& site);
    const SiteRecord& Site() const { return m_model.Site(); }

    // The site's alarm rule; the next parse uses a new one.
    WlsAlarmRule Rule() const { return m_model.Rule(); }
    void SetRule(const WlsAlarmRule& rule) { m_model.SetRule(rule); }
    DbAccess& Db() { return m_db; }
    ActionSettings Settings() const { return m_model.GetActionSettings(); }

    int StartMonitor(); // 1 when running
    void StopMonitor();
    bool IsRunning() const { return m_monitor.IsRunning(); }

    // Kind 1 (the agent's message) and kind 2 (the scan's alarms), written
    // through the log area; on the thread that runs the scan.
    void WriteWlsLog(int kind);

    // Takes reply as the agent's last reply and parses it; DisplayLoadedReport
    // then shows it as the display step would (no log, history or alarms).
    // For tools and benchmarks; GUI thread, only while no scan runs. The
    // parse's result.
    int LoadReport(std::string reply);
    void DisplayLoadedReport();

    // What a timer tick does; false when the tick was skipped.
    bool RunScanNow();
    bool ScanRunning() const { return m_monitor.ScanRunning(); }
    // Scans whose hand-offs to the GUI thread are all done.
    int ScansEnded() const { return m_scansEnded; }
    void WaitForScan() { m_monitor.WaitForScan(); }
    int IntervalMs() const { return m_monitor.IntervalMs(); }
    const wxTimer& Timer() const { return m_timer; }

    // The scan-side state. Read it only while no scan runs.
    const WlsModel& Model() const { return m_model; }

    // What the lists show (GUI thread): the text of a cell and whether its row
    // is red; list 0 servers, 1 JVMs, 2 thread pools, 3 JDBC pools.
    long ShownRows(int list) const;
    wxString ShownCell(int list, long row, long column) const;
    bool ShownRed(int list, long row) const;
    wxString SummaryValue(int row) const;

    // Replaces the alarm actions (sound, SMS, mail), for tests; change them
    // only while no scan runs.
    struct AlarmActions
    {
        std::function<void(const wxString& soundFile)> playSound;
        std::function<void(const wxString& text)> sendSms;
        std::function<void(const ActionSettings& settings, const wxString& text)> sendMail;
    };
    void SetAlarmActions(const AlarmActions& actions) { m_actions = actions; }

protected:
    void OnAlarmSet(wxCommandEvent& event) override;
    void OnStartStop(wxCommandEvent& event) override;
    void OnClearLog(wxCommandEvent& event) override;

private:
    friend class WlsPanelThread;

    // A copy of one report's records and summary for the lists, handed from
    // the scan thread to the GUI thread.
    struct ReportView
    {
        WlsServerList servers;
        WlsJvmList jvms;
        WlsThreadList threads;
        WlsJdbcList jdbc;
        WlsDomainSummary summary;
    };

    void OnTimer(wxTimerEvent& event);
    void OnSocket(wxSocketEvent& event);
    void TakeSocketEvent(wxSocketEvent& event);
    // GUI thread, after the last hand-off of a scan.
    void EndOfScan();

    // Scan thread: one poll of the agent.
    void Scan(unsigned run, bool recording);
    // A copy of the model's records for the lists (on the thread of the scan).
    std::shared_ptr<const ReportView> MakeView() const;
    // GUI thread: fills the lists and the summary.
    void DisplayWlsReport(const std::shared_ptr<const ReportView>& view);
    void SetupLists();
    // Runs fn on the GUI thread: now when already there, else handed over.
    void OnGui(std::function<void()> fn);

    // WlsScanPort, on the thread that runs the scan.
    std::string Exchange(char command, const std::string& payload) override;
    bool IsLinkAlive() override;
    void TakeBrokenLinkPath() override;
    void ShowWlsReport() override;
    void WriteLog(const wxString& text) override;
    void PlaySound(const wxString& soundFile) override;
    void SendSms(const wxString& alarmText) override;
    void SendMail(const ActionSettings& settings, const wxString& alarmText) override;

    AlarmActions m_actions;
    DbAccess m_db;
    AgentLink m_link;
    wxTimer m_timer;
    MonitorControl m_monitor;

    // Counts the runs of the monitor (GUI thread): what a scan of an earlier
    // run hands over may still log, but no longer stops or fills anything.
    unsigned m_run = 0;
    // A scan has started and its hand-offs are not all done (GUI thread); a
    // loss notification meanwhile waits in m_deferredLost.
    bool m_scanOpen = false;
    std::unique_ptr<wxSocketEvent> m_deferredLost;
    int m_scansEnded = 0;

    // Scan side: used by one scan at a time (or by Start while none runs).
    WlsModel m_model;
    unsigned m_scanRun = 0;
    bool m_scanRecording = false;

    // GUI side: what the lists show.
    std::shared_ptr<const ReportView> m_view;
    std::shared_ptr<const ReportView> m_loaded; // by LoadReport
    mutable wxString m_cell; // the text a list cell reads
};

// One scan of a DunmerePanel, run by the panel's MonitorControl. The panel
// waits for it before going away.
class WlsPanelThread : public wxThread
{
public:
    WlsPanelThread(DunmerePanel& panel, unsigned run, bool recording)
        : wxThread(wxTHREAD_JOINABLE), m_panel(panel), m_run(run), m_recording(recording)
    {
    }

protected:
    ExitCode Entry() override;

private:
    DunmerePanel& m_panel;
    unsigned m_run;
    bool m_recording;
};
