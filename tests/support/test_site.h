#pragma once

#include "store/records.h"

// A site as the site editor stores it, at 127.0.0.1:9 (nothing listens there
// in a test) with its database named after it; a WebLogic site also carries
// its console user, port and version.
inline SiteRecord TestSite(const wxString& name, const wxString& type)
{
    SiteRecord s;
    s.SiteName = name;
    s.SiteType = type;
    s.SiteIP = "127.0.0.1";
    s.SitePort = "9";
    s.DatabaseFile = name + ".db";
    if (type == "WEBLOGIC")
    {
        s.SiteAuth = "weblogic";
        s.WlsAdminURL = "7001";
        s.WlsVer = "WebLogic V10";
    }
    return s;
}
