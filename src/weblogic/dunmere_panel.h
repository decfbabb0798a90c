#pragma once

#include "monitor/site_monitor.h"
#include "store/db_access.h"
#include "store/records.h"
#include "weblogic/wls_model.h"
#include "weblogic/wls_panel.h"

#include <wx/timer.h>

#include <functional>
#include <memory>
#include <string>

// The monitor panel of one WebLogic site: shows what its SiteMonitor reports
// (lists, summary, log, running state) and asks the operator what the monitor
// needs (Start's failures, Stop's confirmation, the rule).
class DunmerePanel : public WlsPanel, private SiteMonitorListener
{
public:
    explicit DunmerePanel(wxWindow* parent, AgentLink::Timeouts timeouts = AgentLink::Timeouts());
    ~DunmerePanel() override;

    // Keeps the site, opens its database (creating it when missing) and takes
    // its WebLogic alarm rule when one is stored.
    void SetSite(const SiteRecord& site);
    const SiteRecord& Site() const { return m_monitor.Site(); }

    // The site's alarm rule; the next parse uses a new one.
    WlsAlarmRule Rule() const { return m_monitor.WebLogic().Rule(); }
    void SetRule(const WlsAlarmRule& rule) { m_monitor.WebLogic().SetRule(rule); }
    DbAccess& Db() { return m_db; }
    ActionSettings Settings() const { return m_monitor.Settings(); }

    int StartMonitor(); // 1 when running
    void StopMonitor();
    bool IsRunning() const { return m_monitor.IsRunning(); }

    // Takes reply as the agent's last reply and parses it; DisplayLoadedReport
    // then shows it as the display step would (no log, history or alarms).
    // For tools and benchmarks, while no scan runs. The parse's result.
    int LoadReport(std::string reply);
    void DisplayLoadedReport();

    // What a timer tick does; false when the tick was skipped.
    bool RunScanNow() { return m_monitor.RunScanNow(); }
    bool ScanRunning() const { return m_monitor.ScanRunning(); }
    // Scans whose hand-offs to the GUI thread are all done.
    int ScansEnded() const { return m_scansEnded; }
    void WaitForScan() { m_monitor.WaitForScan(); }
    int IntervalMs() const { return m_monitor.IntervalMs(); }
    const wxTimer& Timer() const { return m_monitor.Timer(); }

    SiteMonitor& Monitor() { return m_monitor; }
    // The scan-side state. Read it only while no scan runs.
    const WlsModel& Model() const { return m_monitor.WebLogic(); }

    // What the lists show (GUI thread): the text of a cell and whether its row
    // is red; list 0 servers, 1 JVMs, 2 thread pools, 3 JDBC pools.
    long ShownRows(int list) const;
    wxString ShownCell(int list, long row, long column) const;
    bool ShownRed(int list, long row) const;
    wxString SummaryValue(int row) const;

    // Replaces the alarm actions (sound, SMS, mail), for tests.
    using AlarmActions = ::AlarmActions;
    void SetAlarmActions(const AlarmActions& actions) { m_monitor.SetAlarmActions(actions); }

protected:
    void OnAlarmSet(wxCommandEvent& event) override;
    void OnStartStop(wxCommandEvent& event) override;
    void OnClearLog(wxCommandEvent& event) override;

private:
    // SiteMonitorListener
    void OnStartFailed(const wxString& message) override;
    void OnRunningChanged(bool running) override;
    void OnReport(const std::shared_ptr<const SiteReport>& report) override;
    void OnLog(const wxString& text) override;
    void OnLogCleared() override;
    void OnScanEnded(const ScanOutcome& outcome) override;
    bool ShouldRecord() override;

    // Fills the lists and the summary.
    void DisplayWlsReport(const std::shared_ptr<const WlsReportData>& view);
    void SetupLists();

    DbAccess m_db; // the rule's; history goes through the monitor's own connection
    SiteMonitor m_monitor;
    int m_scansEnded = 0;

    // What the lists show.
    std::shared_ptr<const WlsReportData> m_view;
    std::shared_ptr<const SiteReport> m_loaded; // by LoadReport
    mutable wxString m_cell; // the text a list cell reads
};
