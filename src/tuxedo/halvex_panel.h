#pragma once

#include "monitor/site_monitor.h"
#include "store/db_access.h"
#include "store/records.h"
#include "tuxedo/tux_alarms.h"
#include "tuxedo/tux_log_file.h"
#include "tuxedo/tux_monitor_model.h"
#include "tuxedo/tux_panel.h"

#include <wx/timer.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The records a list shows: those of the report whose flag word is not zero.
template <class Rec>
class ListedRecords
{
public:
    ListedRecords(const std::vector<Rec>& all, const std::vector<std::uint32_t>& rows)
        : m_all(all), m_rows(rows)
    {
    }
    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    const Rec& operator[](std::size_t i) const { return m_all[m_rows[i]]; }

private:
    const std::vector<Rec>& m_all;
    const std::vector<std::uint32_t>& m_rows;
};

// The monitor panel of one Tuxedo site: shows what its SiteMonitor reports
// (lists, summary, log, running state) and asks the operator what the monitor
// needs (Start's failures, Stop's confirmation, the rule, the filters).
class HalvexPanel : public TuxPanel, private SiteMonitorListener
{
public:
    explicit HalvexPanel(wxWindow* parent, AgentLink::Timeouts timeouts = AgentLink::Timeouts());
    ~HalvexPanel() override;

    // Keeps the site, opens its database (creating it when missing) and takes
    // its Tuxedo alarm rule when one is stored.
    void SetSite(const SiteRecord& site);
    const SiteRecord& Site() const { return m_monitor.Site(); }

    // The site's alarm rule; the next parse uses a new one.
    TuxAlarmRule Rule() const;
    void SetRule(const TuxAlarmRule& rule);
    DbAccess& Db() { return m_db; }
    ActionSettings Settings() const { return m_monitor.Settings(); }

    int StartMonitor(); // 1 when running
    void StopMonitor();
    bool IsRunning() const { return m_monitor.IsRunning(); }

    // Parses reply as Start's first report; ShowTuxReport then shows it as
    // the display step would (lists and summary, no log). For tools and
    // benchmarks, while no scan runs. The parse's result.
    int LoadReport(std::string reply);
    void ShowTuxReport();

    // What a timer tick does; false when the tick was skipped.
    bool RunScanNow() { return m_monitor.RunScanNow(); }
    bool ScanRunning() const { return m_monitor.ScanRunning(); }
    void WaitForScan() { m_monitor.WaitForScan(); }
    int IntervalMs() const { return m_monitor.IntervalMs(); }
    const wxTimer& Timer() const { return m_monitor.Timer(); }

    // The actions the scans' alarms start (the alarm-delivery functions
    // unless replaced).
    void SetAlarmActions(const TuxAlarmActions& actions);

    SiteMonitor& Monitor() { return m_monitor; }
    // The scan-side state. Read it only while no scan runs.
    const TuxMonitorModel& Model() const { return m_monitor.Tuxedo(); }

    // Displays so far (Start's first report included).
    int ReportsShown() const { return m_reportsShown; }
    // What the lists show, for a look from outside.
    ListedRecords<TuxServerRec> ShownServers() const;
    ListedRecords<TuxQueueRec> ShownQueues() const;
    const TuxClientList& ShownClients() const;

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
    // SiteMonitorListener
    void OnStartFailed(const wxString& message) override;
    void OnRunningChanged(bool running) override;
    void OnReport(const std::shared_ptr<const SiteReport>& report) override;
    void OnLog(const wxString& text) override;
    bool ShouldRecord() override;

    void OnStartStop(wxCommandEvent& event);
    void Display(const std::shared_ptr<const TuxReportData>& data);
    void SetupColumns();

    TuxLogFile m_logFile;
    DbAccess m_db; // the rule's; history goes through the monitor's own connection
    SiteMonitor m_monitor;

    // What the lists show: the records of the last report with lists, and
    // the positions of the listed ones.
    std::shared_ptr<const TuxReportData> m_lists;
    std::vector<std::uint32_t> m_listedServers;
    std::vector<std::uint32_t> m_listedQueues;
    std::shared_ptr<const SiteReport> m_loaded; // by LoadReport
    int m_reportsShown = 0;
};
