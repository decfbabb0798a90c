#include "tuxedo/halvex_panel.h"

#include "alarm/alarm_actions.h"
#include "alarm/halvex_tux_alarm_dlg.h"
#include "common/clock.h"
#include "common/ids.h"
#include "common/log_area.h"
#include "common/monitor_panel_layout.h"
#include "common/program_dir.h"
#include "common/scan_history.h"
#include "common/virtual_report_list.h"
#include "common/window_fit.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/socket.h>
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

template <class Rec>
std::vector<Rec> ListedOf(const std::vector<Rec>& records)
{
    std::vector<Rec> listed;
    listed.reserve(records.size());
    for (const Rec& r : records)
        if (r.Flags != 0)
            listed.push_back(r);
    return listed;
}

void AddColumns(wxListCtrl* list, std::initializer_list<const char*> titles)
{
    long column = 0;
    for (const char* title : titles)
        list->InsertColumn(column++, title);
}
} // namespace

HalvexPanel::HalvexPanel(wxWindow* parent, AgentLink::Timeouts timeouts)
    : TuxPanel(parent), m_link(timeouts), m_timer(this, CorvaneId::TuxedoTimer),
      m_monitor(this, m_link, m_timer, {m_startStop, m_interval, m_logArea})
{
    m_actions.playSound = [](const wxString& file) { return PlayAlarmSound(file); };
    m_actions.sendSms = [](const wxString& text) { return SendAlarmSms(text); };
    m_actions.sendMail = [](const ActionSettings& settings, const wxString& text)
    { return SendAlarmMail(settings, text); };
    LoadActionSettingsInto(m_settings);
    SetupColumns();
    GrowToFit(this); // the summary rows are in now
    m_link.SetEventTarget(this, CorvaneId::TuxedoSocket);

    Bind(wxEVT_BUTTON, &HalvexPanel::OnStartStop, this, CorvaneId::StartStop);
    Bind(wxEVT_TIMER, &HalvexPanel::OnTimer, this, CorvaneId::TuxedoTimer);
    Bind(wxEVT_SOCKET, &HalvexPanel::OnSocket, this, CorvaneId::TuxedoSocket);
}

HalvexPanel::~HalvexPanel()
{
    // The scan must be over before the records it uses go; the lists must not
    // read records that are gone while the windows are taken down.
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
        { return ServerCell(m_shownServers[row], column); },
        [this](long row) { return (m_shownServers[row].Flags & TuxAlarmRow) != 0; });
    m_queueList->SetSource([this](long row, long column) -> const wxString&
                           { return QueueCell(m_shownQueues[row], column); },
                           [this](long row) { return (m_shownQueues[row].Flags & TuxAlarmRow) != 0; });
    m_clientList->SetSource([this](long row, long column) -> const wxString&
                            { return ClientCell(m_shownClients[row], column); },
                            [](long) { return false; });
    m_serverList->AutoSizeColumns();
    m_queueList->AutoSizeColumns();
    m_clientList->AutoSizeColumns();
}

void HalvexPanel::SetSite(const SiteRecord& site)
{
    m_site = site;
    if (m_db.IsOpen())
        m_db.Close();
    OpenSiteDatabase(m_db, site);
    if (m_db.LoadTuxRule(site.SiteName) > 0)
        m_model.SetRule(m_db.TuxRule());
}

void HalvexPanel::OnStartStop(wxCommandEvent&)
{
    if (!IsRunning())
        StartMonitor();
    else if (m_monitor.ConfirmStop("Stop a running tuxedo site monitor?"))
        StopMonitor();
}

int HalvexPanel::StartMonitor()
{
    if (m_monitor.Start(m_site) != 1)
        return -1;
    ++m_run;
    // No scan runs now (Start waited for any), so the scan side is ours.
    m_model.ForgetPreviousScan();
    std::string reply = m_link.RequestBytes('^', std::string());
    for (long row = 0; row < 10; ++row)
        m_summaryList->SetItem(row, 1, wxString());
    LoadReport(std::move(reply), m_recordToDb->GetValue());
    ShowTuxReport();
    return 1;
}

int HalvexPanel::LoadReport(std::string reply, bool recording)
{
    m_lastReply = std::move(reply);
    const int result = ParseTuxReport();
    // A rejected report shows what was there; it records nothing, since those
    // rows were not seen now.
    m_view = CollectView(result == 1, result == 1 && recording);
    return result;
}

void HalvexPanel::StopMonitor()
{
    m_monitor.Stop();
}

void HalvexPanel::OnTimer(wxTimerEvent&)
{
    RunScanNow();
}

bool HalvexPanel::RunScanNow()
{
    return m_monitor.RunScan(
        std::make_unique<TuxPanelThread>(*this, m_run, m_recordToDb->GetValue()));
}

void HalvexPanel::OnSocket(wxSocketEvent& event)
{
    // The link has closed itself by the time it reports the loss.
    m_monitor.OnSocketEvent(event, false);
}

wxThread::ExitCode TuxPanelThread::Entry()
{
    m_panel.Scan(m_run, m_recording);
    return 0;
}

void HalvexPanel::Scan(unsigned run, bool recording)
{
    // Runs on the scan thread.
    m_lastReply = m_link.RequestBytes(']', std::string());
    if (m_monitor.Cancelled() || ParseTuxReport() < 1)
        return; // a rejected report shows nothing and raises no alarm
    m_building = CollectView(true, recording);
    FireTuxAlarms();
    std::shared_ptr<ScanView> view = std::move(m_building);
    m_monitor.Deliver(
        [this, run, view]
        {
            if (run != m_run)
                return; // stopped and started again since this scan began
            m_view = view;
            ShowTuxReport();
            WriteTuxLog(2);
        });
}

std::shared_ptr<HalvexPanel::ScanView> HalvexPanel::CollectView(bool accepted, bool recording)
{
    auto view = std::make_shared<ScanView>();
    if (accepted)
    {
        view->hasLists = true;
        view->servers = ListedOf(m_model.Servers());
        view->queues = ListedOf(m_model.Queues());
        view->clients = m_model.Clients();
        // Every record is recorded, also those the filters keep out of the lists.
        view->historyWarning = RecordScanHistory(
            recording,
            [this]
            {
                return m_db.RecordTuxScan(m_model.Queues(), m_model.Servers(), m_model.Clients(),
                                          RecTimeNow());
            },
            [this] { return m_db.LastError(); });
    }
    view->coreFind = m_model.TakeCoreFind();
    view->reason = m_model.TakeReason();
    const TuxInitRec& init = m_model.Init();
    const TuxCountRec& counts = m_model.Counts();
    const TuxSystemRec& system = m_model.System();
    const wxString values[10] = {init.TuxVersion,  init.TuxBootAt,  m_model.LastUpdate(),
                                 counts.SvrCnt,    counts.QueCnt,   counts.CltCnt,
                                 init.OSVersion,   system.IdleCPU,  system.FreeMem,
                                 init.AgentVersion};
    for (int i = 0; i < 10; ++i)
        view->summary[i] = values[i];
    return view;
}

int HalvexPanel::ParseTuxReport()
{
    // Nothing reads the reply after its parse, so it is parsed where it lies.
    return m_model.ParseTuxReportInPlace(m_lastReply);
}

int HalvexPanel::PassesFilter(const wxString& name, const wxString& value, bool server) const
{
    return m_model.PassesFilter(name, value, server);
}

void HalvexPanel::CompareWithPreviousScan()
{
    m_model.CompareWithPreviousScan();
}

int HalvexPanel::NoteAlarmServer(const wxString& name, int kind)
{
    return m_model.NoteAlarmServer(name, kind);
}

void HalvexPanel::FireTuxAlarms()
{
    // Runs on the scan thread; the log lines follow the display on the GUI thread.
    const TuxAlarmReport alarms = m_model.TakeAlarms();
    FireTuxAlarmActions(m_model.Rule(), m_settings, alarms.text, m_actions);
    if (m_building)
        m_building->alarmLines = alarms.lines;
}

void HalvexPanel::ShowTuxReport()
{
    if (!m_view)
        return;
    ++m_reportsShown;
    ScanView& view = *m_view;
    if (view.hasLists)
    {
        view.hasLists = false;
        m_shownServers.swap(view.servers);
        m_shownQueues.swap(view.queues);
        m_shownClients.swap(view.clients);
        // The view now holds the previous lists: let them go.
        TuxServerList().swap(view.servers);
        TuxQueueList().swap(view.queues);
        TuxClientList().swap(view.clients);
        m_queueList->ShowRows(static_cast<long>(m_shownQueues.size()));
        m_serverList->ShowRows(static_cast<long>(m_shownServers.size()));
        m_clientList->ShowRows(static_cast<long>(m_shownClients.size()));
    }
    for (long row = 0; row < 10; ++row)
        m_summaryList->SetItem(row, 1, view.summary[row]);
    m_summaryList->SetItemTextColour(0, *wxRED);
    m_summaryList->SetItemTextColour(1, *wxRED);
    m_summaryList->SetColumnWidth(1, wxLIST_AUTOSIZE);
    WriteTuxLog(1);
    m_monitor.Warn(view.historyWarning);
    view.historyWarning.clear();
}

void HalvexPanel::WriteTuxLog(int kind)
{
    if (!m_view)
        return;
    ScanView& view = *m_view;
    if (kind == 1)
    {
        if (!view.coreFind.empty())
        {
            AppendWarn(m_logArea, view.coreFind);
            view.coreFind.clear();
        }
        if (!view.reason.empty())
        {
            AppendWarn(m_logArea, view.reason);
            view.reason.clear();
            StopMonitor(); // an ERROR element ends the monitoring
        }
    }
    else if (kind == 2)
    {
        for (const wxString& line : view.alarmLines)
            AppendWarn(m_logArea, line);
        view.alarmLines.clear();
    }
}

void HalvexPanel::OnAlarmSet(wxCommandEvent&)
{
    HalvexTuxAlarmDlg dialog(this);
    dialog.SetRule(Rule());
    if (dialog.ShowModal() != 1)
        return;
    TuxAlarmRule rule = dialog.GetRule();
    rule.SiteName = m_site.SiteName;
    SetRule(rule); // in force from the next scan
    m_db.SaveTuxRule(rule);
}

void HalvexPanel::OnClearLog(wxCommandEvent&)
{
    m_logArea->Clear();
}

void HalvexPanel::OnServerKind(wxCommandEvent&)
{
    TuxFilter filter = m_model.Filter();
    filter.serverKind = m_serverKind->GetSelection();
    m_model.SetFilter(filter);
}

void HalvexPanel::OnServerOnlyShow(wxCommandEvent&)
{
    const bool only = m_serverOnlyShow->GetValue();
    m_serverFilter->Enable(only);
    if (!only)
    {
        TuxFilter filter = m_model.Filter();
        filter.serverText = "*";
        m_model.SetFilter(filter);
    }
}

void HalvexPanel::OnServerApply(wxCommandEvent&)
{
    if (!m_serverOnlyShow->GetValue())
        return;
    TuxFilter filter = m_model.Filter();
    filter.serverText = m_serverFilter->GetValue();
    m_model.SetFilter(filter);
}

void HalvexPanel::OnServerColumnClick(wxListEvent& event)
{
    event.GetColumn(); // sorting by column is not offered
}

void HalvexPanel::OnQueueKind(wxCommandEvent&)
{
    TuxFilter filter = m_model.Filter();
    filter.queueKind = m_queueKind->GetSelection();
    m_model.SetFilter(filter);
}

void HalvexPanel::OnQueueOnlyShow(wxCommandEvent&)
{
    const bool only = m_queueOnlyShow->GetValue();
    m_queueFilter->Enable(only);
    if (!only)
    {
        TuxFilter filter = m_model.Filter();
        filter.queueText = "*";
        m_model.SetFilter(filter);
    }
}

void HalvexPanel::OnQueueApply(wxCommandEvent&)
{
    if (!m_queueOnlyShow->GetValue())
        return;
    TuxFilter filter = m_model.Filter();
    filter.queueText = m_queueFilter->GetValue();
    m_model.SetFilter(filter);
}
