// corvane-demo-home [--history DAYS] DIR TUXEDO_PORT WEBLOGIC_PORT [HOST]
//
// Prepares the demo's program directory: Corvane.db lists the two stand-in
// agents as the sites "DemoTuxedo" and "DemoWebLogic" (replacing earlier demo
// rows, whose ports change from run to run), both keeping 7 days of history,
// and a site database that does not exist yet receives an alarm rule that the
// demo domains set off now and then. --history DAYS fills both sites with
// DAYS of synthetic history up to now (one scan a minute, through the
// console's own parsers and recording), before any history they already hold.
#include "history/history_retention.h"
#include "history/history_time.h"
#include "history_fill.h"
#include "alarm/alarm_book.h"
#include "store/db_access.h"
#include "tux_domain.h"

#include "common/prompt.h"

#include <wx/filename.h>
#include <wx/init.h>
#include <wx/wxsqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace
{
const char* const TuxName = "DemoTuxedo";
const char* const WlsName = "DemoWebLogic";

bool ParsePort(const char* text, unsigned& port)
{
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (!*text || *end || value == 0 || value > 65535)
        return false;
    port = static_cast<unsigned>(value);
    return true;
}

// Every program of the demo Tuxedo domain, so each condition watches all.
wxString DemoPrograms()
{
    wxString names;
    for (int q = 0; q < 12; ++q)
        names += (q ? ";" : "") + wxString(TuxDomain::ProgramName(q));
    return names;
}

bool WriteTuxRule(const wxString& path)
{
    DbAccess db;
    if (db.Open(path, DbAccess::SiteDb) != 1)
        return false;
    TuxAlarmRule rule;
    rule.SiteName = TuxName;
    rule.SvrDied = rule.LongBusy = rule.NoTran = DemoPrograms();
    rule.Queued = "10";
    return db.SaveTuxRule(rule) >= 0;
}

// The demo domains the agents of run.sh serve, at a scan a minute.
constexpr int kDemoInterval = 60;

// The first moment the site database already holds history for (its
// earliest RecTime), or `otherwise` when it holds none.
long long EarliestHistory(const wxString& path, const char* table, long long otherwise)
{
    long long first = otherwise;
    try
    {
        wxSQLite3Database db;
        db.Open(path, wxEmptyString, WXSQLITE_OPEN_READONLY);
        wxSQLite3ResultSet row =
            db.ExecuteQuery(wxString::Format("select min(RecTime) from %s;", table));
        if (row.NextRow() && !row.IsNull(0) && ParseRecTime(row.GetAsString(0), first))
            return first;
    }
    catch (const wxSQLite3Exception&)
    {
    }
    return otherwise;
}

bool FillHistory(const wxString& path, bool tuxedo, int days)
{
    const long long now = std::time(nullptr);
    const long long end = EarliestHistory(path, tuxedo ? "ServerList" : "wlsjvmlist", now + kDemoInterval) -
                          kDemoInterval;
    const HistoryFill fill = FillInScratch(
        path,
        [&](DbAccess& db)
        {
            if (tuxedo)
            {
                TuxDomain::Config config;
                config.seed = 7; // the same shapes on every run
                return FillTuxHistory(db, config, now - days * 86400LL, end, kDemoInterval);
            }
            WlsDomain::Config config;
            config.seed = 7; // the same shapes on every run
            return FillWlsHistory(db, config, now - days * 86400LL, end, kDemoInterval);
        });
    if (!fill.error.empty())
    {
        std::fprintf(stderr, "corvane-demo-home: history not written: %s\n",
                     fill.error.utf8_str().data());
        return false;
    }
    std::printf("%s: %lld scans, %lld history rows\n", path.utf8_str().data(), fill.scans, fill.rows);
    return true;
}

bool WriteWlsRule(const wxString& path)
{
    DbAccess db;
    if (db.Open(path, DbAccess::SiteDb) != 1)
        return false;
    WlsAlarmRule rule;
    rule.SiteName = WlsName;
    rule.FreeHeap = "20";
    rule.IdleThread = "10";
    rule.IdleJDBC = "10";
    rule.ThreadDump = "TRUE";
    return db.SaveWlsRule(rule) >= 0;
}
} // namespace

int main(int argc, char** argv)
{
    unsigned tuxPort = 0;
    unsigned wlsPort = 0;
    int historyDays = 0;
    if (argc >= 3 && std::string(argv[1]) == "--history")
    {
        char* end = nullptr;
        const long days = std::strtol(argv[2], &end, 10);
        historyDays = *argv[2] && !*end && days > 0 && days <= 3650 ? static_cast<int>(days) : -1;
        argc -= 2;
        argv += 2;
    }
    if (historyDays < 0 || argc < 4 || argc > 5 || !ParsePort(argv[2], tuxPort) ||
        !ParsePort(argv[3], wlsPort))
    {
        std::fprintf(stderr, "usage: corvane-demo-home [--history DAYS] DIR TUXEDO_PORT "
                             "WEBLOGIC_PORT [HOST]\n");
        return 2;
    }
    wxInitializer init;
    if (!init.IsOk())
    {
        std::fprintf(stderr, "corvane-demo-home: wxWidgets could not be initialised\n");
        return 1;
    }
    SetMessageHandler(
        [](const MessageRequest& request)
        {
            std::fprintf(stderr, "corvane-demo-home: %s\n", request.text.utf8_str().data());
            return wxOK;
        });

    wxFileName dir = wxFileName::DirName(wxString::FromUTF8(argv[1]));
    dir.MakeAbsolute();
    if (!dir.DirExists() && !dir.Mkdir(0700, wxPATH_MKDIR_FULL))
    {
        std::fprintf(stderr, "corvane-demo-home: cannot create %s\n", argv[1]);
        return 1;
    }
    const wxString home = dir.GetPath();
    const wxString host = argc == 5 ? wxString::FromUTF8(argv[4]) : wxString("127.0.0.1");

    SiteRecord tux;
    tux.SiteName = TuxName;
    tux.SiteType = "TUXEDO";
    tux.SiteIP = host;
    tux.SitePort = wxString::Format("%u", tuxPort);
    tux.DatabaseFile = tux.SiteName + ".db";

    SiteRecord wls;
    wls.SiteName = WlsName;
    wls.SiteType = "WEBLOGIC";
    wls.SiteIP = host;
    wls.SitePort = wxString::Format("%u", wlsPort);
    wls.SiteAuth = "weblogic";
    wls.SitePwd = "welcome1";
    wls.WlsAdminURL = "7001";
    wls.WlsVer = "WebLogic V10";
    wls.DatabaseFile = wls.SiteName + ".db";

    DbAccess config;
    if (config.Open(home + "/Corvane.db", DbAccess::ConfigDb) != 1 || config.LoadSites() != 1)
        return 1;
    for (const SiteRecord& site : config.Sites())
        if (site.SiteName == TuxName || site.SiteName == WlsName)
            config.DeleteSite(site, false); // keep the history of earlier runs
    if (config.InsertSite(tux) != 1 || config.InsertSite(wls) != 1)
    {
        std::fprintf(stderr, "corvane-demo-home: the sites could not be stored: %s\n",
                     config.LastError().utf8_str().data());
        return 1;
    }

    const wxString tuxDb = home + "/" + tux.DatabaseFile;
    const wxString wlsDb = home + "/" + wls.DatabaseFile;
    if ((!wxFileName::FileExists(tuxDb) && !WriteTuxRule(tuxDb)) ||
        (!wxFileName::FileExists(wlsDb) && !WriteWlsRule(wlsDb)))
        return 1;
    wxString error;
    if (!SaveKeepDays(home + "/Corvane.db", TuxName, 7, &error) ||
        !SaveKeepDays(home + "/Corvane.db", WlsName, 7, &error))
    {
        std::fprintf(stderr, "corvane-demo-home: %s\n", error.utf8_str().data());
        return 1;
    }
    // A newcomer sees the lifecycle: a reminder every ten minutes and a
    // mail when an alarm clears.
    {
        LifecycleSettings lifecycle;
        lifecycle.repeatMinutes = 10;
        lifecycle.notifyCleared = true;
        AlarmBook book;
        for (const auto& site : {std::make_pair(tux.SiteName, tuxDb), std::make_pair(wls.SiteName, wlsDb)})
        {
            const wxString warning = book.OpenSite(site.first, site.second);
            if (!warning.empty() || !book.SaveSettings(site.first, lifecycle, &error))
            {
                std::fprintf(stderr, "corvane-demo-home: %s%s\n", warning.utf8_str().data(),
                             error.utf8_str().data());
                return 1;
            }
        }
    }
    if (historyDays > 0 && (!FillHistory(tuxDb, true, historyDays) || !FillHistory(wlsDb, false, historyDays)))
        return 1;

    std::printf("%s: %s on %s:%u, %s on %s:%u\n", home.utf8_str().data(), TuxName,
                host.utf8_str().data(), tuxPort, WlsName, host.utf8_str().data(), wlsPort);
    return 0;
}
