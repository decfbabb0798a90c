// The scan of a WebLogic site: WlsModel runs it through its scan port, which
// this side puts on the monitor's link, listener, history and alarm handler.
#include "common/clock.h"
#include "common/text.h"
#include "monitor/site_scanners.h"
#include "store/db_access.h"

namespace
{
ScanOutcome::Result ResultOf(WlsModel::ScanResult result)
{
    switch (result)
    {
    case WlsModel::ScanShown: return ScanOutcome::Shown;
    case WlsModel::ScanEmpty: return ScanOutcome::Empty;
    case WlsModel::ScanBroken: return ScanOutcome::Broken;
    case WlsModel::ScanRejected: return ScanOutcome::Rejected;
    }
    return ScanOutcome::Rejected;
}
} // namespace

int WlsScanner::LoadRule(DbAccess& db)
{
    const int rows = db.LoadWlsRule(m.Site().SiteName);
    if (rows > 0)
        model.SetRule(db.WlsRule());
    return rows;
}

std::shared_ptr<SiteReport> WlsScanner::Snapshot(bool accepted, bool atStart)
{
    auto data = std::make_shared<WlsReportData>();
    data->servers = model.Servers();
    data->jvms = model.Jvms();
    data->threads = model.Threads();
    data->jdbc = model.JdbcPools();
    data->summary = model.Summary();
    std::shared_ptr<SiteReport> report = NewReport(SiteKind::WebLogic, accepted, atStart);
    report->webLogic = std::move(data);
    return report;
}

ScanOutcome WlsScanner::StartReport(unsigned run, bool recording)
{
    m_run = run;
    m_atStart = true;
    m_historyFailed = false;
    model.SetLastReply(m.Exchange('^', ToUtf8(model.BuildWlsRequest())));
    ScanOutcome outcome;
    outcome.result = model.LastReply().empty() ? ScanOutcome::Empty : ScanOutcome::Rejected;
    // The first report is shown whatever the parse made of it; its alarms
    // are reported with the first poll. A rejected one shows what was there
    // and records nothing, since those rows were not seen now.
    m_accepted = model.ParseWlsReport(model.LastReply()) == 1;
    if (m_accepted)
        outcome.result = ScanOutcome::Shown;
    m_recording = m_accepted && recording;
    ShowWlsReport();
    outcome.historyFailed = m_historyFailed;
    return outcome;
}

ScanOutcome WlsScanner::Poll(unsigned run, bool recording)
{
    m_run = run;
    m_atStart = false;
    m_accepted = true; // the model shows only accepted polls
    m_recording = recording;
    m_historyFailed = false;
    ScanOutcome outcome;
    outcome.result = ResultOf(model.PollScan(*this));
    // The lifecycle's lines follow the scan's own alarm lines.
    SiteMonitor& monitor = m;
    for (const wxString& line : m.TakeAlarmLines())
        m.OnOwner(
            [&monitor, run, line]
            {
                if (run == monitor.CurrentRun())
                    monitor.Warn(line);
            });
    if (m.Cancelled() && outcome.result != ScanOutcome::Shown)
        outcome.result = ScanOutcome::Cancelled;
    outcome.historyFailed = m_historyFailed;
    return outcome;
}

std::shared_ptr<const SiteReport> WlsScanner::Load(std::string reply)
{
    model.SetLastReply(reply);
    const bool accepted = model.ParseWlsReport(reply) == 1;
    return Snapshot(accepted, true);
}

std::string WlsScanner::Exchange(char command, const std::string& payload)
{
    return m.Exchange(command, payload);
}

bool WlsScanner::IsLinkAlive()
{
    return !m.Cancelled() && m.m_link.IsAlive() == 1;
}

void WlsScanner::TakeBrokenLinkPath()
{
    SiteMonitor& monitor = m;
    const unsigned run = m_run;
    m.OnOwner(
        [&monitor, run]
        {
            // Stopped or restarted since: the operator has moved on.
            if (run != monitor.CurrentRun() || !monitor.IsRunning())
                return;
            monitor.m_listener.OnLogCleared();
            monitor.Log("Connection to Agent is Broken! Re-Connect Please!");
            monitor.Stop();
        });
}

void WlsScanner::ShowWlsReport()
{
    // Runs on the thread of the scan: the display goes first, then the
    // agent's message and the history's warning follow it in the log.
    const std::shared_ptr<const SiteReport> report = Snapshot(m_accepted, m_atStart);
    // The history thread gets lists of its own: a wxString caches its narrow
    // form on first use, so one string read on two threads is a data race.
    std::function<bool(DbAccess&)> rows;
    if (m_recording)
    {
        const WlsReportData& data = *report->webLogic;
        rows = [servers = data.servers, jvms = data.jvms, threads = data.threads, jdbc = data.jdbc,
                recTime = RecTimeNow()](DbAccess& db)
        { return db.RecordWlsScan(servers, jvms, threads, jdbc, recTime); };
    }
    SiteMonitor& monitor = m;
    const unsigned run = m_run;
    m.OnOwner(
        [&monitor, run, report]
        {
            if (run == monitor.CurrentRun())
                monitor.Show(report);
        });
    model.WriteWlsLog(1, *this);
    if (!m_recording)
        return;
    const wxString warning = m.RecordHistory(run, rows, m_atStart ? SiteMonitor::StartWriteWaitMs : -1);
    m_historyFailed = !warning.empty();
    if (m_historyFailed)
        m.OnOwner([&monitor, warning] { monitor.Warn(warning); });
}

void WlsScanner::WriteLog(const wxString& text)
{
    SiteMonitor& monitor = m;
    m.OnOwner([&monitor, text] { monitor.Log(text); });
}

void WlsScanner::FireAlarms(const ScanAlarms& alarms)
{
    m.FireAlarms(alarms);
}
