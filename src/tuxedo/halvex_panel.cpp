#include "tuxedo/halvex_panel.h"

#include "alarm/alarm_actions.h"
#include "alarm/alarm_book.h"
#include "alarm/halvex_tux_alarm_dlg.h"
#include "common/clock.h"
#include "common/ids.h"
#include "common/log_area.h"
#include "common/monitor_panel_layout.h"
#include "common/program_dir.h"
#include "common/prompt.h"
#include "common/virtual_report_list.h"
#include "common/window_fit.h"
#include "history/chart_menu.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

namespace
{
const wxString& NoText()
{
    static const wxString empty;
    return empty;
}

const wxString& ServerCell(const TuxServerRec& s, long column)
{
    switch (column)
    {
    case 0: return s.ProgName;
    case 1: return s.QueueName;
    case 2: return s.ProcessID;
    case 3: return s.RqDone;
    case 4: return s.SvrMin;
    case 5: return s.SvrMax;
    case 6: return s.CurrSvc;
    case 7: return s.UseMem;
    default: return NoText();
    }
}

const wxString& QueueCell(const TuxQueueRec& q, long column)
{
    switch (column)
    {
    case 0: return q.ProgName;
    case 1: return q.Queueid;
    case 2: return q.SrvCnt;
    case 3: return q.Queued;
    default: return NoText();
    }
}

const wxString& ClientCell(const TuxClientRec& c, long column)
{
    switch (column)
    {
    case 0: return c.Name;
    case 1: return c.ClientPID;
    case 2: return c.ClientAddr;
    case 3: return c.Status;
    case 4: return c.ConTime;
    default: return NoText();
    }
}

// The positions of the records the lists show: a zero flag word is filtered out.
template <class Rec>
void ListedOf(const std::vector<Rec>& records, std::vector<std::uint32_t>& rows)
{
    rows.clear();
    rows.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].Flags != 0)
            rows.push_back(static_cast<std::uint32_t>(i));
}

const TuxServerList& NoServers()
{
    static const TuxServerList none;
    return none;
}

const TuxQueueList& NoQueues()
{
    static const TuxQueueList none;
    return none;
}

const TuxClientList& NoClients()
{
    static const TuxClientList none;
    return none;
}

void AddColumns(wxListCtrl* list, std::initializer_list<const char*> titles)
{
    long column = 0;
    for (const char* title : titles)
        list->InsertColumn(column++, title);
}
} // namespace

HalvexPanel::HalvexPanel(wxWindow* parent, AgentLink::Timeouts timeouts)
    : TuxPanel(parent), m_monitor(SiteKind::Tuxedo, *this, timeouts)
{
    ActionSettings settings;
    LoadActionSettingsInto(settings);
    m_monitor.SetActionSettings(settings);
    SetupColumns();
    GrowToFit(this); // the summary rows are in now
    Bind(wxEVT_BUTTON, &HalvexPanel::OnStartStop, this, CorvaneId::StartStop);
    const auto site = [this] { return Site().SiteName; };
    AddChartMenu(m_serverList, "Chart this server", site, HistKind::TuxServer, 0);
    AddChartMenu(m_queueList, "Chart this queue", site, HistKind::TuxQueue, 0);
}

HalvexPanel::~HalvexPanel()
{
    // The scan must be over before the windows it reports to go; the lists
    // must not read records that are gone while the windows are taken down.
    m_monitor.Shutdown();
    m_serverList->SetSource(nullptr, nullptr);
    m_queueList->SetSource(nullptr, nullptr);
    m_clientList->SetSource(nullptr, nullptr);
}

void HalvexPanel::SetupColumns()
{
    static const char* const labels[] = {"Tux Version:", "System Boot:", "Last Update:",
                                         "Run Server:",  "Run  Queue:",  "Run Client:",
                                         "OS Version:",  "CPU   Idle:",  "MEM   Free:",
                                         "Agent  Ver:"};
    FillSummaryLabels(m_summaryList, labels, 10);

    AddColumns(m_serverList, {"Prog Name", "Queue Name", "Process ID", "RqDone", "SvrMin",
                              "SvrMax", "CurrentService", "Memory Use"});
    AddColumns(m_queueList, {"Prog Name", "IPCS QueueID", "Server Count", "Queued"});
    AddColumns(m_clientList,
               {"Client Name", "Client PID", "Client Addr", "Client Status", "Connection Time"});

    m_serverList->SetSource(
        [this](long row, long column) -> const wxString&
        { return ServerCell(m_lists->servers[m_listedServers[row]], column); },
        [this](long row) { return (m_lists->servers[m_listedServers[row]].Flags & TuxAlarmRow) != 0; });
    m_queueList->SetSource(
        [this](long row, long column) -> const wxString&
        { return QueueCell(m_lists->queues[m_listedQueues[row]], column); },
        [this](long row) { return (m_lists->queues[m_listedQueues[row]].Flags & TuxAlarmRow) != 0; });
    m_clientList->SetSource([this](long row, long column) -> const wxString&
                            { return ClientCell(m_lists->clients[row], column); },
                            [](long) { return false; });
    m_serverList->AutoSizeColumns();
    m_queueList->AutoSizeColumns();
    m_clientList->AutoSizeColumns();
}

void HalvexPanel::SetSite(const SiteRecord& site)
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

TuxAlarmRule HalvexPanel::Rule() const
{
    return m_monitor.Tuxedo().Rule();
}

void HalvexPanel::SetRule(const TuxAlarmRule& rule)
{
    m_monitor.Tuxedo().SetRule(rule);
}

void HalvexPanel::SetAlarmActions(const TuxAlarmActions& actions)
{
    m_monitor.SetAlarmActions(ToAlarmActions(actions));
}

void HalvexPanel::OnStartStop(wxCommandEvent&)
{
    if (!IsRunning())
        StartMonitor();
    else if (ShowMessage("Stop a running tuxedo site monitor?", "Confirm", wxYES_NO | wxICON_QUESTION,
                         this) == wxYES)
        StopMonitor();
}

int HalvexPanel::StartMonitor()
{
    return m_monitor.Start(m_interval->GetValue());
}

void HalvexPanel::StopMonitor()
{
    m_monitor.Stop();
}

int HalvexPanel::LoadReport(std::string reply)
{
    m_loaded = m_monitor.LoadReport(std::move(reply));
    return m_loaded->accepted ? 1 : -1;
}

void HalvexPanel::ShowTuxReport()
{
    if (m_loaded)
        Display(m_loaded->tuxedo);
}

void HalvexPanel::OnStartFailed(const wxString& message)
{
    ShowMessage(message, "Message", wxOK | wxCENTRE, this);
}

void HalvexPanel::OnRunningChanged(bool running)
{
    ShowMonitorRunning(m_startStop, m_interval, m_summaryList, running);
}

void HalvexPanel::OnReport(const std::shared_ptr<const SiteReport>& report)
{
    ++m_reportsShown;
    Display(report->tuxedo);
}

void HalvexPanel::OnLog(const wxString& text)
{
    AppendLog(m_logArea, text);
}

bool HalvexPanel::ShouldRecord()
{
    return m_recordToDb->GetValue();
}

void HalvexPanel::Display(const std::shared_ptr<const TuxReportData>& data)
{
    if (data->hasLists)
    {
        m_lists = data;
        ListedOf(data->queues, m_listedQueues);
        ListedOf(data->servers, m_listedServers);
        m_queueList->ShowRows(static_cast<long>(m_listedQueues.size()));
        m_serverList->ShowRows(static_cast<long>(m_listedServers.size()));
        m_clientList->ShowRows(static_cast<long>(data->clients.size()));
    }
    const wxString values[10] = {data->init.TuxVersion,   data->init.TuxBootAt,  data->lastUpdate,
                                 data->counts.SvrCnt,     data->counts.QueCnt,   data->counts.CltCnt,
                                 data->init.OSVersion,    data->system.IdleCPU,  data->system.FreeMem,
                                 data->init.AgentVersion};
    for (long row = 0; row < 10; ++row)
        m_summaryList->SetItem(row, 1, values[row]);
    m_summaryList->SetItemTextColour(0, *wxRED);
    m_summaryList->SetItemTextColour(1, *wxRED);
    m_summaryList->SetColumnWidth(1, wxLIST_AUTOSIZE);
}

ListedRecords<TuxServerRec> HalvexPanel::ShownServers() const
{
    return ListedRecords<TuxServerRec>(m_lists ? m_lists->servers : NoServers(), m_listedServers);
}

ListedRecords<TuxQueueRec> HalvexPanel::ShownQueues() const
{
    return ListedRecords<TuxQueueRec>(m_lists ? m_lists->queues : NoQueues(), m_listedQueues);
}

const TuxClientList& HalvexPanel::ShownClients() const
{
    return m_lists ? m_lists->clients : NoClients();
}

void HalvexPanel::OnAlarmSet(wxCommandEvent&)
{
    HalvexTuxAlarmDlg dialog(this);
    dialog.SetRule(Rule());
    const std::shared_ptr<AlarmBook> book = m_monitor.Book();
    if (book)
        dialog.SetLifecycle(book->Settings(Site().SiteName));
    if (dialog.ShowModal() != 1)
        return;
    TuxAlarmRule rule = dialog.GetRule();
    rule.SiteName = Site().SiteName;
    SetRule(rule); // in force from the next scan
    m_db.SaveTuxRule(rule);
    // A site keeps the designed behaviour (no row) until a setting changes.
    wxString error;
    if (book && dialog.GetLifecycle() != book->Settings(Site().SiteName) &&
        !book->SaveSettings(Site().SiteName, dialog.GetLifecycle(), &error))
        OnLog(WarnPrefix() + "Alarm lifecycle settings not saved: " + error + "\n");
}

void HalvexPanel::OnClearLog(wxCommandEvent&)
{
    m_logArea->Clear();
}

void HalvexPanel::OnServerKind(wxCommandEvent&)
{
    TuxFilter filter = Model().Filter();
    filter.serverKind = m_serverKind->GetSelection();
    m_monitor.Tuxedo().SetFilter(filter);
}

void HalvexPanel::OnServerOnlyShow(wxCommandEvent&)
{
    const bool only = m_serverOnlyShow->GetValue();
    m_serverFilter->Enable(only);
    if (!only)
    {
        TuxFilter filter = Model().Filter();
        filter.serverText = "*";
        m_monitor.Tuxedo().SetFilter(filter);
    }
}

void HalvexPanel::OnServerApply(wxCommandEvent&)
{
    if (!m_serverOnlyShow->GetValue())
        return;
    TuxFilter filter = Model().Filter();
    filter.serverText = m_serverFilter->GetValue();
    m_monitor.Tuxedo().SetFilter(filter);
}

void HalvexPanel::OnServerColumnClick(wxListEvent& event)
{
    event.GetColumn(); // sorting by column is not offered
}

void HalvexPanel::OnQueueKind(wxCommandEvent&)
{
    TuxFilter filter = Model().Filter();
    filter.queueKind = m_queueKind->GetSelection();
    m_monitor.Tuxedo().SetFilter(filter);
}

void HalvexPanel::OnQueueOnlyShow(wxCommandEvent&)
{
    const bool only = m_queueOnlyShow->GetValue();
    m_queueFilter->Enable(only);
    if (!only)
    {
        TuxFilter filter = Model().Filter();
        filter.queueText = "*";
        m_monitor.Tuxedo().SetFilter(filter);
    }
}

void HalvexPanel::OnQueueApply(wxCommandEvent&)
{
    if (!m_queueOnlyShow->GetValue())
        return;
    TuxFilter filter = Model().Filter();
    filter.queueText = m_queueFilter->GetValue();
    m_monitor.Tuxedo().SetFilter(filter);
}
