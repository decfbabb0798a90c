#include "weblogic/dunmere_panel.h"

#include "alarm/alarm_book.h"
#include "alarm/corvane_wls_alarm_dlg.h"
#include "common/clock.h"
#include "common/log_area.h"
#include "common/monitor_panel_layout.h"
#include "common/program_dir.h"
#include "common/prompt.h"
#include "common/virtual_report_list.h"
#include "history/chart_menu.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

namespace
{
const wxString& NoText()
{
    static const wxString empty;
    return empty;
}

const wxString& ServerCell(const WlsServerRec& s, long column)
{
    switch (column)
    {
    case 0: return s.ServerName;
    case 1: return s.URL;
    case 2: return s.Port;
    case 3: return s.Health;
    case 4: return s.State;
    default: return NoText();
    }
}

// The heap columns (3 to 5) are converted to megabytes into `scratch`.
const wxString& JvmCell(const WlsJvmRec& j, long column, wxString& scratch)
{
    switch (column)
    {
    case 0: return j.ServerName;
    case 1: return j.JVMVendor;
    case 2: return j.JVMVersion;
    case 3: return scratch = HeapMegabytes(j.FreeHeap);
    case 4: return scratch = HeapMegabytes(j.CurrentHeap);
    case 5: return scratch = HeapMegabytes(j.HeapSizeMax);
    case 6: return j.FreePercent;
    default: return NoText();
    }
}

const wxString& ThreadCell(const WlsThreadRec& t, long column)
{
    switch (column)
    {
    case 0: return t.ServerName;
    case 1: return t.TotalCount;
    case 2: return t.IdleCount;
    case 3: return t.Throughput;
    case 4: return t.QueueLength;
    default: return NoText();
    }
}

const wxString& JdbcCell(const WlsJdbcRec& d, long column)
{
    switch (column)
    {
    case 0: return d.ServerName;
    case 1: return d.JDBCName;
    case 2: return d.ActiveCurrent;
    case 3: return d.ActiveHigh;
    case 4: return d.CurrCapacity;
    case 5: return d.LeakCount;
    case 6: return d.State;
    default: return NoText();
    }
}

bool Red(std::uint32_t flags)
{
    return (flags & WlsAlarmRow) != 0;
}
} // namespace

DunmerePanel::DunmerePanel(wxWindow* parent, AgentLink::Timeouts timeouts)
    : WlsPanel(parent), m_monitor(SiteKind::WebLogic, *this, timeouts)
{
    ActionSettings settings;
    LoadActionSettingsInto(settings);
    m_monitor.SetActionSettings(settings);
    SetupLists();
    const auto site = [this] { return Site().SiteName; };
    AddChartMenu(m_serverList, "Chart this server", site, HistKind::WlsServer, 0);
    AddChartMenu(m_jvmList, "Chart this server", site, HistKind::WlsServer, 0,
                 {HistMetric::WlsHeapFreePercent, HistMetric::WlsHeapCurrent});
    AddChartMenu(m_threadList, "Chart this server", site, HistKind::WlsServer, 0,
                 {HistMetric::WlsIdleThreads, HistMetric::WlsThroughput, HistMetric::WlsQueueLength});
    AddChartMenu(m_jdbcList, "Chart this pool", site, HistKind::WlsJdbc, 1,
                 {HistMetric::WlsJdbcActive, HistMetric::WlsJdbcLeaked});
}

DunmerePanel::~DunmerePanel()
{
    // No notice may reach a panel on its way out, the scan must be over
    // before the windows it reports to go, and the lists must not read
    // records that are gone while the windows are taken down.
    m_monitor.Shutdown();
    m_db.Close();
    for (VirtualReportList* list : {m_serverList, m_jvmList, m_threadList, m_jdbcList})
        list->SetSource(nullptr, nullptr);
}

void DunmerePanel::SetupLists()
{
    m_serverList->SetSource([this](long row, long column) -> const wxString&
                            { return ServerCell(m_view->servers[row], column); },
                            [this](long row) { return Red(m_view->servers[row].Flags); });
    m_jvmList->SetSource([this](long row, long column) -> const wxString&
                         { return JvmCell(m_view->jvms[row], column, m_cell); },
                         [this](long row) { return Red(m_view->jvms[row].Flags); });
    m_threadList->SetSource([this](long row, long column) -> const wxString&
                            { return ThreadCell(m_view->threads[row], column); },
                            [this](long row) { return Red(m_view->threads[row].Flags); });
    m_jdbcList->SetSource([this](long row, long column) -> const wxString&
                          { return JdbcCell(m_view->jdbc[row], column); },
                          [this](long row) { return Red(m_view->jdbc[row].Flags); });
    m_view = std::make_shared<WlsReportData>();
}

void DunmerePanel::SetSite(const SiteRecord& site)
{
    m_monitor.SetSite(site);
    if (m_db.IsOpen())
        m_db.Close();
    OpenSiteDatabase(m_db, site);
    // The scans write history on a connection of their own: this one only
    // waits briefly for a lock another program holds.
    m_db.SetBusyTimeout(WindowBusyTimeoutMs);
    m_monitor.SetHistoryFile(m_db.IsOpen() ? m_db.Path() : wxString());
    m_monitor.LoadRule(m_db);
    // The alarms of every open site share the console's book.
    const wxString warning =
        m_monitor.SetAlarmBook(AlarmBook::Console(), m_db.IsOpen() ? m_db.Path() : wxString());
    if (!warning.empty())
        OnLog(WarnPrefix() + warning + "\n");
}

void DunmerePanel::OnStartStop(wxCommandEvent&)
{
    if (!IsRunning())
        StartMonitor();
    else if (ShowMessage("Stop a running WebLogic site monitor?", "Confirm",
                         wxYES_NO | wxICON_QUESTION, this) == wxYES)
        StopMonitor();
}

int DunmerePanel::StartMonitor()
{
    return m_monitor.Start(m_interval->GetValue());
}

void DunmerePanel::StopMonitor()
{
    m_monitor.Stop();
}

void DunmerePanel::OnStartFailed(const wxString& message)
{
    ShowMessage(message, "Message", wxOK | wxCENTRE, this);
}

void DunmerePanel::OnRunningChanged(bool running)
{
    ShowMonitorRunning(m_startStop, m_interval, m_summaryList, running);
}

void DunmerePanel::OnReport(const std::shared_ptr<const SiteReport>& report)
{
    DisplayWlsReport(report->webLogic);
}

void DunmerePanel::OnLog(const wxString& text)
{
    AppendLog(m_logArea, text);
}

void DunmerePanel::OnLogCleared()
{
    m_logArea->Clear();
}

void DunmerePanel::OnScanEnded(const ScanOutcome& outcome)
{
    if (!outcome.atStart)
        ++m_scansEnded;
}

bool DunmerePanel::ShouldRecord()
{
    return m_recordToDb->GetValue();
}

int DunmerePanel::LoadReport(std::string reply)
{
    m_loaded = m_monitor.LoadReport(std::move(reply));
    return m_loaded->accepted ? 1 : -1;
}

void DunmerePanel::DisplayLoadedReport()
{
    if (m_loaded)
        DisplayWlsReport(m_loaded->webLogic);
}

void DunmerePanel::DisplayWlsReport(const std::shared_ptr<const WlsReportData>& view)
{
    m_view = view;
    Freeze();
    m_serverList->ShowRows(static_cast<long>(view->servers.size()));
    m_jvmList->ShowRows(static_cast<long>(view->jvms.size()));
    m_threadList->ShowRows(static_cast<long>(view->threads.size()));
    m_jdbcList->ShowRows(static_cast<long>(view->jdbc.size()));
    const WlsDomainSummary& s = view->summary;
    const wxString values[SummaryRows] = {s.DomainVersion,
                                          s.ActivationTime,
                                          s.LastUpdate,
                                          s.ServerNum,
                                          s.DomainName,
                                          s.AdminServerName,
                                          s.JDKVendor + " " + s.JDKVersion,
                                          s.OSName + " " + s.OSVersion,
                                          s.ProductionModeEnabled,
                                          s.AgentVersion};
    for (long row = 0; row < SummaryRows; ++row)
        m_summaryList->SetItem(row, 1, values[row]);
    m_summaryList->SetItemTextColour(0, *wxRED);
    m_summaryList->SetItemTextColour(1, *wxRED);
    m_summaryList->SetColumnWidth(0, wxLIST_AUTOSIZE);
    m_summaryList->SetColumnWidth(1, wxLIST_AUTOSIZE);
    Thaw();
}

void DunmerePanel::OnAlarmSet(wxCommandEvent&)
{
    CorvaneWlsAlarmDlg dialog(this);
    dialog.SetRule(Rule());
    const std::shared_ptr<AlarmBook> book = m_monitor.Book();
    if (book)
        dialog.SetLifecycle(book->Settings(Site().SiteName));
    if (dialog.ShowModal() != 1)
        return;
    WlsAlarmRule rule = dialog.GetRule();
    rule.SiteName = Site().SiteName;
    SetRule(rule); // in force from the next scan
    m_db.SaveWlsRule(rule);
    // A site keeps the designed behaviour (no row) until a setting changes.
    wxString error;
    if (book && dialog.GetLifecycle() != book->Settings(Site().SiteName) &&
        !book->SaveSettings(Site().SiteName, dialog.GetLifecycle(), &error))
        OnLog(WarnPrefix() + "Alarm lifecycle settings not saved: " + error + "\n");
}

void DunmerePanel::OnClearLog(wxCommandEvent&)
{
    m_logArea->Clear();
}

long DunmerePanel::ShownRows(int list) const
{
    const VirtualReportList* lists[] = {m_serverList, m_jvmList, m_threadList, m_jdbcList};
    return (list >= 0 && list < 4) ? lists[list]->GetItemCount() : 0;
}

wxString DunmerePanel::ShownCell(int list, long row, long column) const
{
    const VirtualReportList* lists[] = {m_serverList, m_jvmList, m_threadList, m_jdbcList};
    return (list >= 0 && list < 4) ? lists[list]->CellAt(row, column) : wxString();
}

bool DunmerePanel::ShownRed(int list, long row) const
{
    const VirtualReportList* lists[] = {m_serverList, m_jvmList, m_threadList, m_jdbcList};
    return list >= 0 && list < 4 && row >= 0 && row < lists[list]->GetItemCount() &&
           lists[list]->IsRowRed(row);
}

wxString DunmerePanel::SummaryValue(int row) const
{
    return m_summaryList->GetItemText(row, 1);
}
