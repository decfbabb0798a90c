#include "weblogic/wls_request.h"

namespace WlsAttributes
{
const char* const Jvm[] = {"OSName",          "OSVersion",       "JavaVersion",
                           "JavaVendor",      "JavaVMVendor",    "HeapFreeCurrent",
                           "HeapSizeCurrent", "HeapSizeMax",     "HeapFreePercent",
                           ""};
const char* const Server[] = {"ActivationTime",
                              "HealthState",
                              "State",
                              "Name",
                              "OpenSocketsCurrentCount",
                              "WeblogicVersion",
                              "ListenAddress",
                              "ListenPort",
                              ""};
const char* const ExecuteQueue[] = {"Name",
                                    "ServicedRequestTotalCount",
                                    "ExecuteThreadTotalCount",
                                    "ExecuteThreadCurrentIdleCount",
                                    "PendingRequestCurrentCount",
                                    ""};
const char* const ThreadPool[] = {"ExecuteThreadIdleCount",
                                  "CompletedRequestCount",
                                  "ExecuteThreadTotalCount",
                                  "PendingUserRequestCount",
                                  "QueueLength",
                                  "StandbyThreadCount",
                                  "Throughput",
                                  ""};
const char* const Jdbc[] = {"ActiveConnectionsCurrentCount",
                            "ActiveConnectionsHighCount",
                            "CurrCapacity",
                            "LeakedConnectionCount",
                            "Name",
                            "State",
                            ""};
} // namespace WlsAttributes

namespace
{
void AppendMBean(wxString& doc, const char* mbean, const char* const* table)
{
    doc << "<MBean mBeanType=\"runtime\" name=\"" << mbean << "\">";
    for (const char* const* name = table; **name; ++name)
        doc << "<attribute>" << *name << "</attribute>";
    doc << "</MBean>";
}

wxString DumpLine(const wchar_t* head, const wxString& name, const wxString& url,
                  const wxString& port, const wchar_t* tail)
{
    wxString line;
    line << head << EscapeXmlAttribute(name) << L"\" url=\"" << EscapeXmlAttribute(url) << L":"
         << EscapeXmlAttribute(port) << tail;
    return line;
}
} // namespace

bool IsWls8(const wxString& wlsVer)
{
    return wlsVer.find("V8") != wxString::npos;
}

wxString EscapeXmlAttribute(const wxString& value)
{
    wxString out;
    out.reserve(value.length());
    for (wxUniChar c : value)
    {
        switch (c.GetValue())
        {
        case '&':
            out << "&amp;";
            break;
        case '<':
            out << "&lt;";
            break;
        case '>':
            out << "&gt;";
            break;
        case '"':
            out << "&quot;";
            break;
        default:
            out << c;
        }
    }
    return out;
}

wxString BuildWlsRequest(const SiteRecord& site)
{
    const bool v8 = IsWls8(site.WlsVer);
    wxString doc;
    doc << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        << "<wlsagent>";
    // The blanks of the Domain element are what agents in the field parse:
    // two before principal, none before the closing "/>.
    doc << "<Domain name=\"localDomain\" "
        << "adminAddress=\"" << EscapeXmlAttribute(site.SiteIP) << "\" "
        << "adminPort=\"" << EscapeXmlAttribute(site.WlsAdminURL) << "\" "
        << " principal=\"" << EscapeXmlAttribute(site.SiteAuth) << "\" "
        << "password=\"" << EscapeXmlAttribute(site.SitePwd) << "\"/>";
    AppendMBean(doc, "JVMRuntime", WlsAttributes::Jvm);
    AppendMBean(doc, "ServerRuntime", WlsAttributes::Server);
    if (v8)
    {
        AppendMBean(doc, "ExecuteQueueRuntime", WlsAttributes::ExecuteQueue);
        AppendMBean(doc, "JDBCConnectionPoolRuntime", WlsAttributes::Jdbc);
    }
    else
    {
        AppendMBean(doc, "ThreadPoolRuntime", WlsAttributes::ThreadPool);
        AppendMBean(doc, "JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans", WlsAttributes::Jdbc);
    }
    doc << "</wlsagent>";
    return doc;
}

wxString BuildThreadDumpRequest(const wxString& dumpLines)
{
    wxString doc;
    doc << "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent>" << dumpLines << "</wlsagent>";
    return doc;
}

wxString JdbcDumpLine(const wxString& name, const wxString& url, const wxString& port)
{
    return DumpLine(L"<Server name=\"", name, url, port, L"\" dumpCount=\"3\"/>");
}

wxString ThreadDumpLine(const wxString& name, const wxString& url, const wxString& port)
{
    return DumpLine(L"<Server name=\"", name, url, port, L"\" dumpCount=\"2\" />");
}
