// corvane-demo-home DIR TUXEDO_PORT WEBLOGIC_PORT [HOST]
//
// Prepares the demo's program directory: Corvane.db lists the two stand-in
// agents as the sites "DemoTuxedo" and "DemoWebLogic" (replacing earlier demo
// rows, whose ports change from run to run), and a site database that does not
// exist yet receives an alarm rule that the demo domains set off now and then.
#include "store/db_access.h"
#include "tux_domain.h"

#include "common/prompt.h"

#include <wx/filename.h>
#include <wx/init.h>

#include <cstdio>
#include <cstdlib>
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
    if (argc < 4 || argc > 5 || !ParsePort(argv[2], tuxPort) || !ParsePort(argv[3], wlsPort))
    {
        std::fprintf(stderr, "usage: corvane-demo-home DIR TUXEDO_PORT WEBLOGIC_PORT [HOST]\n");
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

    std::printf("%s: %s on %s:%u, %s on %s:%u\n", home.utf8_str().data(), TuxName,
                host.utf8_str().data(), tuxPort, WlsName, host.utf8_str().data(), wlsPort);
    return 0;
}
