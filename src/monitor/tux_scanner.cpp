// The scan of a Tuxedo site: the report, the comparison with the previous
// scan, history and alarms, in the order the panel shows them.
#include "common/clock.h"
#include "monitor/site_scanners.h"
#include "store/db_access.h"
#include "tuxedo/tux_alarms.h"

int TuxScanner::LoadRule(DbAccess& db)
{
    const int rows = db.LoadTuxRule(m.Site().SiteName);
    if (rows > 0)
        model.SetRule(db.TuxRule());
    return rows;
}

std::shared_ptr<SiteReport> TuxScanner::Snapshot(bool accepted, bool atStart)
{
    auto data = std::make_shared<TuxReportData>();
    // A refused report shows what was there: only the summary is read anew.
    data->hasLists = accepted;
    if (accepted)
    {
        data->servers = model.Servers();
        data->queues = model.Queues();
        data->clients = model.Clients();
    }
    data->init = model.Init();
    data->counts = model.Counts();
    data->system = model.System();
    data->lastUpdate = model.LastUpdate();
    std::shared_ptr<SiteReport> report = NewReport(SiteKind::Tuxedo, accepted, atStart);
    report->tuxedo = std::move(data);
    return report;
}

std::function<bool(DbAccess&)> TuxScanner::Rows(const std::shared_ptr<const TuxReportData>& data)
{
    // Every record is recorded, also those the filters keep out of the lists.
    // The copies are the history thread's own: a wxString caches its narrow
    // form on first use, so one string read on two threads is a data race.
    return [queues = data->queues, servers = data->servers, clients = data->clients,
            recTime = RecTimeNow()](DbAccess& db) { return db.RecordTuxScan(queues, servers, clients, recTime); };
}

ScanOutcome TuxScanner::StartReport(unsigned run, bool recording)
{
    m_siteName = m.Site().SiteName;
    model.ForgetPreviousScan();
    std::string reply = m.Exchange('^', std::string());
    ScanOutcome outcome;
    outcome.result = reply.empty() ? ScanOutcome::Empty : ScanOutcome::Rejected;
    // Nothing reads the reply after its parse, so it is parsed where it lies.
    const bool accepted = model.ParseTuxReportInPlace(reply) == 1;
    if (accepted)
        outcome.result = ScanOutcome::Shown;
    const std::shared_ptr<SiteReport> report = Snapshot(accepted, true);
    const wxString coreFind = model.TakeCoreFind();
    const wxString reason = model.TakeReason();
    // A refused report records nothing, since those rows were not seen now.
    const wxString warning = accepted && recording
                                 ? m.RecordHistory(run, Rows(report->tuxedo), SiteMonitor::StartWriteWaitMs)
                                 : wxString();
    outcome.historyFailed = !warning.empty();
    m.Show(report);
    m.Warn(coreFind);
    if (!reason.empty())
    {
        m.Warn(reason);
        m.Stop(); // an ERROR element ends the monitoring
    }
    m.Warn(warning);
    return outcome;
}

ScanOutcome TuxScanner::Poll(unsigned run, bool recording)
{
    ScanOutcome outcome;
    std::string reply = m.Exchange(']', std::string());
    if (m.Cancelled())
    {
        outcome.result = ScanOutcome::Cancelled;
        return outcome;
    }
    // A rejected report shows nothing and raises no alarm.
    if (reply.empty())
    {
        outcome.result = ScanOutcome::Empty;
        return outcome;
    }
    if (model.ParseTuxReportInPlace(reply) < 1)
    {
        outcome.result = ScanOutcome::Rejected;
        return outcome;
    }
    const std::shared_ptr<SiteReport> report = Snapshot(true, false);
    const wxString coreFind = model.TakeCoreFind();
    const wxString reason = model.TakeReason();
    const wxString warning = recording ? m.RecordHistory(run, Rows(report->tuxedo), -1) : wxString();
    outcome.historyFailed = !warning.empty();

    TuxAlarmReport alarms = model.TakeAlarms();
    ScanAlarms scanAlarms = TuxScanAlarms(model.Rule(), m.Settings(), alarms.text);
    scanAlarms.siteName = m_siteName;
    scanAlarms.findings = std::move(alarms.findings);
    m.FireAlarms(scanAlarms);
    for (wxString& line : m.TakeAlarmLines())
        alarms.lines.push_back(std::move(line));

    SiteMonitor& monitor = m;
    m.OnOwner(
        [&monitor, run, report, coreFind, reason, warning, lines = std::move(alarms.lines)]
        {
            if (run != monitor.CurrentRun())
                return; // stopped and started again since this scan began
            monitor.Show(report);
            monitor.Warn(coreFind);
            if (!reason.empty())
            {
                monitor.Warn(reason);
                monitor.Stop();
            }
            monitor.Warn(warning);
            for (const wxString& line : lines)
                monitor.Warn(line);
        });
    return outcome;
}

std::shared_ptr<const SiteReport> TuxScanner::Load(std::string reply)
{
    const bool accepted = model.ParseTuxReportInPlace(reply) == 1;
    model.TakeCoreFind();
    model.TakeReason();
    return Snapshot(accepted, true);
}
