#include "history_fill.h"

#include "history/history_time.h"
#include "store/db_access.h"
#include "tuxedo/tux_monitor_model.h"
#include "weblogic/wls_model.h"

#include <wx/filefn.h>
#include <wx/filename.h>

#include <sys/stat.h>
#include <unistd.h>

HistoryFill FillTuxHistory(DbAccess& db, const TuxDomain::Config& domain, long long from,
                           long long to, int intervalSeconds)
{
    HistoryFill fill;
    TuxDomain sim(domain, from - 86400);
    TuxMonitorModel model;
    for (long long t = from; t <= to && fill.error.empty(); t += intervalSeconds)
    {
        sim.Step(t);
        if (model.ParseTuxReport(sim.Report(t)) != 1)
        {
            fill.error = "a stand-in report did not parse";
            break;
        }
        if (!db.RecordTuxScan(model.Queues(), model.Servers(), model.Clients(), RecTimeAt(t)))
            fill.error = db.LastError();
        ++fill.scans;
        fill.rows += static_cast<long long>(model.Queues().size() + model.Servers().size() +
                                            model.Clients().size());
    }
    return fill;
}

HistoryFill FillWlsHistory(DbAccess& db, const WlsDomain::Config& domain, long long from,
                           long long to, int intervalSeconds)
{
    HistoryFill fill;
    WlsDomain sim(domain, from - 86400);
    WlsModel model;
    SiteRecord site;
    site.SiteType = "WEBLOGIC";
    site.WlsVer = wxString::Format("WebLogic V%d", domain.version);
    model.SetSite(site);
    for (long long t = from; t <= to && fill.error.empty(); t += intervalSeconds)
    {
        sim.Step();
        if (model.ParseWlsReport(sim.Report(t, domain.version == 8)) != 1)
        {
            fill.error = "a stand-in report did not parse";
            break;
        }
        if (!db.RecordWlsScan(model.Servers(), model.Jvms(), model.Threads(), model.JdbcPools(),
                              RecTimeAt(t)))
            fill.error = db.LastError();
        ++fill.scans;
        fill.rows += static_cast<long long>(model.Servers().size() + model.Jvms().size() +
                                            model.Threads().size() + model.JdbcPools().size());
    }
    return fill;
}

HistoryFill FillInScratch(const wxString& path, const std::function<HistoryFill(DbAccess&)>& fill)
{
    HistoryFill result;
    const wxString dir = wxFileName::DirExists("/dev/shm") && ::access("/dev/shm", W_OK) == 0
                             ? wxString("/dev/shm")
                             : wxFileName::GetTempDir();
    const wxString scratch = wxString::Format("%s/corvane-fill-%ld.db", dir, static_cast<long>(::getpid()));
    const wxString staged = path + ".fill";
    if (wxFileName::FileExists(scratch))
        wxRemoveFile(scratch);
    if (wxFileName::FileExists(path) && !wxCopyFile(path, scratch))
    {
        result.error = "cannot copy " + path + " to " + scratch;
        return result;
    }
    {
        DbAccess db;
        if (db.Open(scratch, DbAccess::SiteDb) != 1)
            result.error = db.LastError();
        else
            result = fill(db);
    }
    if (result.error.empty() &&
        (!wxCopyFile(scratch, staged) || ::chmod(staged.fn_str(), 0600) != 0 ||
         !wxRenameFile(staged, path)))
        result.error = "cannot move the filled copy to " + path;
    if (wxFileName::FileExists(scratch))
        wxRemoveFile(scratch);
    if (wxFileName::FileExists(staged))
        wxRemoveFile(staged);
    return result;
}
