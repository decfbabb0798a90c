#include "weblogic/dunmere_panel.h"

#include "alarm/alarm_actions.h"
#include "alarm/corvane_wls_alarm_dlg.h"
#include "common/clock.h"
#include "common/ids.h"
#include "common/log_area.h"
#include "common/program_dir.h"
#include "common/scan_history.h"
#include "common/text.h"
#include "common/virtual_report_list.h"

#include <wx/button.h>
#include <wx/checkbox.h>
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
    : WlsPanel(parent), m_link(timeouts), m_timer(this, CorvaneId::WebLogicTimer),
      m_monitor(this, m_link, m_timer, {m_startStop, m_interval, m_logArea})
{
    m_actions.playSound = [](const wxString& file) { PlayAlarmSound(file); };
    m_actions.sendSms = [](const wxString& text) { SendAlarmSms(text); };
    m_actions.sendMail = [](const ActionSettings& settings, const wxString& text)
    { SendAlarmMail(settings, text); };
    ActionSettings settings;
    LoadActionSettingsInto(settings);
    m_model.SetActionSettings(settings);
    SetupLists();
    m_link.SetEventTarget(this, CorvaneId::WebLogicSocket);

    Bind(wxEVT_TIMER, &DunmerePanel::OnTimer, this, CorvaneId::WebLogicTimer);
    Bind(wxEVT_SOCKET, &DunmerePanel::OnSocket, this, CorvaneId::WebLogicSocket);
}

DunmerePanel::~DunmerePanel()
{
    // No notification may reach a panel on its way out, the scan must be over
    // before the records it uses go, and the lists must not read records that
    // are gone while the windows are taken down.
    m_link.SetEventTarget(nullptr, 0);
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
    m_view = std::make_shared<ReportView>();
}

void DunmerePanel::SetSite(const SiteRecord& site)
{
    m_model.SetSite(site);
    if (m_db.IsOpen())
        m_db.Close();
    OpenSiteDatabase(m_db, site);
    if (m_db.LoadWlsRule(site.SiteName) > 0)
        m_model.SetRule(m_db.WlsRule());
}

void DunmerePanel::OnStartStop(wxCommandEvent&)
{
    if (!IsRunning())
        StartMonitor();
    else if (m_monitor.ConfirmStop("Stop a running WebLogic site monitor?"))
        StopMonitor();
}

int DunmerePanel::StartMonitor()
{
    if (m_monitor.Start(m_model.Site()) != 1)
        return -1;
    ++m_run;
    // No scan runs now (Start waited for any), so the scan side is ours.
    m_scanRun = m_run;
    for (long row = 0; row < SummaryRows; ++row)
        m_summaryList->SetItem(row, 1, wxString());
    m_model.SetLastReply(m_link.RequestBytes('^', ToUtf8(m_model.BuildWlsRequest())));
    // The first report is shown whatever the parse made of it; its alarms
    // are reported with the first poll. A rejected one shows what was there
    // and records nothing, since those rows were not seen now.
    const bool accepted = m_model.ParseWlsReport(m_model.LastReply()) == 1;
    m_scanRecording = accepted && m_recordToDb->GetValue();
    ShowWlsReport();
    return 1;
}

void DunmerePanel::StopMonitor()
{
    m_monitor.Stop();
}

void DunmerePanel::OnTimer(wxTimerEvent&)
{
    RunScanNow();
}

bool DunmerePanel::RunScanNow()
{
    if (!m_monitor.RunScan(
            std::make_unique<WlsPanelThread>(*this, m_run, m_recordToDb->GetValue())))
        return false;
    m_scanOpen = true;
    return true;
}

void DunmerePanel::OnSocket(wxSocketEvent& event)
{
    // A link that breaks under a scan is the scan's to report (its broken-link
    // path); the loss notification waits until the scan's hand-offs are done.
    if (m_scanOpen)
    {
        m_deferredLost.reset(static_cast<wxSocketEvent*>(event.Clone()));
        return;
    }
    TakeSocketEvent(event);
}

void DunmerePanel::TakeSocketEvent(wxSocketEvent& event)
{
    // Only a running monitor reports a lost connection; an idle one (say,
    // connected but refused for its interval) just lets the link close.
    if (!IsRunning())
    {
        m_link.FilterEvent(event);
        return;
    }
    m_monitor.OnSocketEvent(event, true);
}

void DunmerePanel::EndOfScan()
{
    m_scanOpen = false;
    ++m_scansEnded;
    if (m_deferredLost)
    {
        const std::unique_ptr<wxSocketEvent> lost = std::move(m_deferredLost);
        TakeSocketEvent(*lost);
    }
}

wxThread::ExitCode WlsPanelThread::Entry()
{
    m_panel.Scan(m_run, m_recording);
    return 0;
}

void DunmerePanel::Scan(unsigned run, bool recording)
{
    // Runs on the scan thread.
    m_scanRun = run;
    m_scanRecording = recording;
    m_model.PollScan(*this);
    m_monitor.Deliver([this] { EndOfScan(); });
}

void DunmerePanel::OnGui(std::function<void()> fn)
{
    if (wxIsMainThread())
        fn();
    else
        m_monitor.Deliver(std::move(fn));
}

std::string DunmerePanel::Exchange(char command, const std::string& payload)
{
    if (m_monitor.Cancelled())
        return std::string();
    return m_link.RequestBytes(command, payload);
}

bool DunmerePanel::IsLinkAlive()
{
    return !m_monitor.Cancelled() && m_link.IsAlive() == 1;
}

void DunmerePanel::TakeBrokenLinkPath()
{
    const unsigned run = m_scanRun;
    OnGui(
        [this, run]
        {
            // Stopped or restarted since: the operator has moved on.
            if (run != m_run || !IsRunning())
                return;
            m_logArea->Clear();
            AppendLog(m_logArea, "Connection to Agent is Broken! Re-Connect Please!");
            StopMonitor();
        });
}

void DunmerePanel::ShowWlsReport()
{
    // Runs on the thread of the scan: copies what the lists show, then the
    // agent's message and the history go after the display in the log.
    std::shared_ptr<const ReportView> view = MakeView();
    const unsigned run = m_scanRun;
    OnGui(
        [this, run, view]
        {
            if (run == m_run)
                DisplayWlsReport(view);
        });
    WriteWlsLog(1);
    const wxString warning = RecordScanHistory(
        m_scanRecording,
        [this]
        {
            return m_db.RecordWlsScan(m_model.Servers(), m_model.Jvms(), m_model.Threads(),
                                      m_model.JdbcPools(), RecTimeNow());
        },
        [this] { return m_db.LastError(); });
    if (!warning.empty())
        OnGui([this, warning] { m_monitor.Warn(warning); });
}

std::shared_ptr<const DunmerePanel::ReportView> DunmerePanel::MakeView() const
{
    auto view = std::make_shared<ReportView>();
    view->servers = m_model.Servers();
    view->jvms = m_model.Jvms();
    view->threads = m_model.Threads();
    view->jdbc = m_model.JdbcPools();
    view->summary = m_model.Summary();
    return view;
}

int DunmerePanel::LoadReport(std::string reply)
{
    m_model.SetLastReply(reply);
    const int result = m_model.ParseWlsReport(reply);
    m_loaded = MakeView();
    return result;
}

void DunmerePanel::DisplayLoadedReport()
{
    if (m_loaded)
        DisplayWlsReport(m_loaded);
}

void DunmerePanel::DisplayWlsReport(const std::shared_ptr<const ReportView>& view)
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

void DunmerePanel::WriteWlsLog(int kind)
{
    m_model.WriteWlsLog(kind, *this);
}

void DunmerePanel::WriteLog(const wxString& text)
{
    OnGui([this, text] { AppendLog(m_logArea, text); });
}

void DunmerePanel::PlaySound(const wxString& soundFile)
{
    if (m_actions.playSound)
        m_actions.playSound(soundFile);
}

void DunmerePanel::SendSms(const wxString& alarmText)
{
    if (m_actions.sendSms)
        m_actions.sendSms(alarmText);
}

void DunmerePanel::SendMail(const ActionSettings& settings, const wxString& alarmText)
{
    if (m_actions.sendMail)
        m_actions.sendMail(settings, alarmText);
}

void DunmerePanel::OnAlarmSet(wxCommandEvent&)
{
    CorvaneWlsAlarmDlg dialog(this);
    dialog.SetRule(Rule());
    if (dialog.ShowModal() != 1)
        return;
    WlsAlarmRule rule = dialog.GetRule();
    rule.SiteName = Site().SiteName;
    SetRule(rule); // in force from the next scan
    m_db.SaveWlsRule(rule);
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
