// WebLogic agent reports through one polled scan, for a WebLogic 10 and a
// WebLogic 8 site. The reply to the poll is the input; so is the reply to
// the thread-dump request the scan's alarms send. Besides crashes and
// sanitizer reports it checks: a model that held a report before reads the
// input into the same records as a fresh one (nothing stale kept), a refused
// report changes nothing, and the thread-dump document the console sends is
// well formed and names exactly the report's servers, whatever they are
// called.
#include "fuzz_support.h"

#include "common/text.h"
#include "weblogic/wls_model.h"

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
const char kEarlierReport[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><MONITOR Date=\"2026-03-01 10:00:10\">"
    "<INITBUF DomainVersion=\"10.3.6.0\" Name=\"proddomain\" ServerNum=\"2\"/>"
    "<ServerRuntime serverName=\"ms1\" ListenAddress=\"10.0.0.7\" ListenPort=\"7003\" "
    "State=\"RUNNING\" HealthState=\"HEALTH_OK\"/>"
    "<ServerRuntime serverName=\"ms2\" ListenAddress=\"10.0.0.8\" ListenPort=\"7004\" "
    "State=\"RUNNING\" HealthState=\"HEALTH_WARN\"/>"
    "<JVMRuntime serverName=\"ms1\" JavaVendor=\"Oracle\" JavaVersion=\"1.6\" "
    "HeapFreeCurrent=\"10\" HeapSizeCurrent=\"2000\" HeapSizeMax=\"4000\" HeapFreePercent=\"3\"/>"
    "<ThreadPoolRuntime serverName=\"ms1\" ExecuteThreadIdleCount=\"0\" "
    "ExecuteThreadTotalCount=\"25\" Throughput=\"12.5\" QueueLength=\"4\"/>"
    "<ExecuteQueueRuntime serverName=\"ms1\" ExecuteThreadCurrentIdleCount=\"0\" "
    "ExecuteThreadTotalCount=\"25\" ServicedRequestTotalCount=\"9\" QueueLength=\"4\"/>"
    "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans serverName=\"ms2\" "
    "ActiveConnectionsCurrentCount=\"10\" ActiveConnectionsHighCount=\"10\" CurrCapacity=\"10\" "
    "LeakedConnectionCount=\"1\" Name=\"ds1\" State=\"Running\"/>"
    "<JDBCConnectionPoolRuntime serverName=\"ms2\" ActiveConnectionsCurrentCount=\"10\" "
    "ActiveConnectionsHighCount=\"10\" CurrCapacity=\"10\" LeakedConnectionCount=\"1\" "
    "Name=\"pool1\" State=\"Running\"/>"
    "</MONITOR>";

WlsAlarmRule AlarmingRule()
{
    WlsAlarmRule rule;
    rule.FreeHeap = "20";
    rule.IdleThread = "10";
    rule.IdleJDBC = "10";
    rule.PlaySound = "TRUE";
    rule.SMS = "TRUE";
    rule.Email = "TRUE";
    rule.ThreadDump = "TRUE";
    return rule;
}

// Attribute values come back from an XML reader with tabs and line breaks as
// blanks (that is XML, not the escaping).
wxString AsReadBack(wxString value)
{
    value.Replace("\t", " ");
    value.Replace("\r", " ");
    value.Replace("\n", " ");
    return value;
}

// The agent's side of the link: serves the input to every exchange and
// checks what the console sends.
class FuzzPort : public WlsScanPort
{
public:
    FuzzPort(WlsModel& model, const std::string& reply) : m_model(model), m_reply(reply) {}

    std::string Exchange(char command, const std::string& payload) override
    {
        if (command == 'a')
            CheckThreadDumpRequest(payload);
        else
            FUZZ_CHECK(command == ']' && payload.empty());
        return m_reply;
    }
    bool IsLinkAlive() override { return true; }
    void TakeBrokenLinkPath() override { FUZZ_CHECK(!"the link is alive"); }
    void ShowWlsReport() override
    {
        // Every server gets an alarm of a kind that asks for a thread dump,
        // so every name the report carries goes into the dump document.
        for (std::size_t i = 0; i < m_model.Servers().size(); ++i)
            m_model.NoteAlarmServer(m_model.Servers()[i].ServerName,
                                    i % 2 ? WlsModel::AlarmJdbc : WlsModel::AlarmThread);
        ++shown;
    }
    void WriteLog(const wxString& text) override { FUZZ_CHECK(text.EndsWith("\n")); }
    void PlaySound(const wxString&) override {}
    void SendSms(const wxString& text) override { FUZZ_CHECK(!text.empty()); }
    void SendMail(const ActionSettings&, const wxString& text) override { FUZZ_CHECK(!text.empty()); }

    int shown = 0;

private:
    void CheckThreadDumpRequest(const std::string& payload)
    {
        pugi::xml_document doc;
        FUZZ_CHECK(doc.load_buffer(payload.data(), payload.size(), pugi::parse_default,
                                   pugi::encoding_utf8));
        const pugi::xml_node root = doc.document_element();
        FUZZ_CHECK(std::string(root.name()) == "wlsagent");
        for (pugi::xml_node server = root.first_child(); server; server = server.next_sibling())
        {
            FUZZ_CHECK(std::string(server.name()) == "Server");
            const wxString name = FromUtf8(server.attribute("name").value());
            bool known = false;
            for (const WlsServerRec& record : m_model.Servers())
                known = known || AsReadBack(record.ServerName) == name;
            FUZZ_CHECK(known);
        }
    }

    WlsModel& m_model;
    const std::string& m_reply;
};

template <class Rec>
bool SameRecords(const std::vector<Rec>& a, const std::vector<Rec>& b,
                 bool (*same)(const Rec&, const Rec&))
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!same(a[i], b[i]) || a[i].Flags != b[i].Flags)
            return false;
    return true;
}

bool SameServer(const WlsServerRec& a, const WlsServerRec& b)
{
    return a.ServerName == b.ServerName && a.URL == b.URL && a.Port == b.Port &&
           a.State == b.State && a.Health == b.Health && a.Spare1 == b.Spare1 &&
           a.Spare2 == b.Spare2;
}

bool SameJvm(const WlsJvmRec& a, const WlsJvmRec& b)
{
    return a.ServerName == b.ServerName && a.JVMVendor == b.JVMVendor &&
           a.JVMVersion == b.JVMVersion && a.FreeHeap == b.FreeHeap &&
           a.CurrentHeap == b.CurrentHeap && a.HeapSizeMax == b.HeapSizeMax &&
           a.FreePercent == b.FreePercent;
}

bool SameThread(const WlsThreadRec& a, const WlsThreadRec& b)
{
    return a.ServerName == b.ServerName && a.TotalCount == b.TotalCount &&
           a.IdleCount == b.IdleCount && a.QueueLength == b.QueueLength &&
           a.Throughput == b.Throughput;
}

bool SameJdbc(const WlsJdbcRec& a, const WlsJdbcRec& b)
{
    return a.ServerName == b.ServerName && a.ActiveCurrent == b.ActiveCurrent &&
           a.ActiveHigh == b.ActiveHigh && a.CurrCapacity == b.CurrCapacity &&
           a.Spare1 == b.Spare1 && a.Spare2 == b.Spare2 && a.LeakCount == b.LeakCount &&
           a.JDBCName == b.JDBCName && a.State == b.State;
}

bool SameRecords(const WlsModel& a, const WlsModel& b)
{
    return SameRecords(a.Servers(), b.Servers(), SameServer) &&
           SameRecords(a.Jvms(), b.Jvms(), SameJvm) &&
           SameRecords(a.Threads(), b.Threads(), SameThread) &&
           SameRecords(a.JdbcPools(), b.JdbcPools(), SameJdbc) &&
           a.Summary().LastUpdate == b.Summary().LastUpdate;
}

void RunSite(const char* version, const std::string& reply)
{
    SiteRecord site;
    site.SiteName = "fuzz";
    site.SiteType = "WEBLOGIC";
    site.WlsVer = version;

    WlsModel fresh;
    fresh.SetSite(site);
    fresh.SetRule(AlarmingRule());
    const int accepted = fresh.ParseWlsReport(reply);
    FUZZ_CHECK(accepted == 1 || accepted == -1);
    if (accepted == -1)
        FUZZ_CHECK(fresh.Servers().empty() && fresh.Jvms().empty() && fresh.Threads().empty() &&
                   fresh.JdbcPools().empty() && fresh.Summary().LastUpdate.empty());
    fresh.ClearAlarms();

    // A model whose records still hold an earlier report.
    WlsModel used;
    used.SetSite(site);
    used.SetRule(AlarmingRule());
    FUZZ_CHECK(used.ParseWlsReport(kEarlierReport, sizeof kEarlierReport - 1) == 1);
    used.ClearAlarms();
    WlsModel earlier;
    earlier.SetSite(site);
    earlier.SetRule(AlarmingRule());
    earlier.ParseWlsReport(kEarlierReport, sizeof kEarlierReport - 1);
    FUZZ_CHECK(used.ParseWlsReport(reply) == accepted);
    FUZZ_CHECK(SameRecords(used, accepted == 1 ? fresh : earlier));

    // The whole polled scan on the fresh model's twin.
    WlsModel scanned;
    scanned.SetSite(site);
    scanned.SetRule(AlarmingRule());
    FuzzPort port(scanned, reply);
    const WlsModel::ScanResult result = scanned.PollScan(port);
    if (reply.empty())
        FUZZ_CHECK(result == WlsModel::ScanEmpty);
    else
        FUZZ_CHECK(result == (accepted == 1 ? WlsModel::ScanShown : WlsModel::ScanRejected));
    FUZZ_CHECK(port.shown == (result == WlsModel::ScanShown ? 1 : 0));
    // The alarms of a scan are gone once it has fired them.
    FUZZ_CHECK(result != WlsModel::ScanShown ||
               (scanned.DumpLines().empty() && scanned.DumpedServers().empty() &&
                scanned.Offenders(WlsModel::AlarmThread).empty()));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitFuzzTarget();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string reply(reinterpret_cast<const char*>(data), size);
    RunSite("WebLogic V10", reply);
    RunSite("WebLogic V8", reply);
    return 0;
}
