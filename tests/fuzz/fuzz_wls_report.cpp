// WebLogic agent reports through one polled scan, for a WebLogic 10 and a
// WebLogic 8 site: a crash and sanitizer driver. The reply to the poll is the
// input; so is the reply to the thread-dump request the scan's alarms send,
// which names every server the report carries. A model that held an earlier
// report reads the input too, so its reused records meet every input.
#include "fuzz_support.h"

#include "weblogic/wls_model.h"

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
    "<JVMRuntime serverName=\"ms1\" JavaVendor=\"Oracle\" JavaVersion=\"1.6\" "
    "HeapFreeCurrent=\"10\" HeapSizeCurrent=\"2000\" HeapSizeMax=\"4000\" HeapFreePercent=\"3\"/>"
    "<ThreadPoolRuntime serverName=\"ms1\" ExecuteThreadIdleCount=\"0\" "
    "ExecuteThreadTotalCount=\"25\" Throughput=\"12.5\" QueueLength=\"4\"/>"
    "<ExecuteQueueRuntime serverName=\"ms1\" ExecuteThreadCurrentIdleCount=\"0\" "
    "ExecuteThreadTotalCount=\"25\" ServicedRequestTotalCount=\"9\" QueueLength=\"4\"/>"
    "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans serverName=\"ms1\" "
    "ActiveConnectionsCurrentCount=\"10\" CurrCapacity=\"10\" Name=\"ds1\" State=\"Running\"/>"
    "<JDBCConnectionPoolRuntime serverName=\"ms1\" ActiveConnectionsCurrentCount=\"10\" "
    "CurrCapacity=\"10\" Name=\"pool1\" State=\"Running\"/></MONITOR>";

// The agent's side of the link: the input answers every exchange.
class FuzzPort : public WlsScanPort
{
public:
    FuzzPort(WlsModel& model, const std::string& reply) : m_model(model), m_reply(reply) {}

    std::string Exchange(char, const std::string&) override { return m_reply; }
    bool IsLinkAlive() override { return true; }
    void TakeBrokenLinkPath() override {}
    void ShowWlsReport() override
    {
        // Alarms of the kinds that ask for a thread dump, for every server.
        for (std::size_t i = 0; i < m_model.Servers().size(); ++i)
            m_model.NoteAlarmServer(m_model.Servers()[i].ServerName,
                                    i % 2 ? WlsModel::AlarmJdbc : WlsModel::AlarmThread);
    }
    void WriteLog(const wxString&) override {}
    void PlaySound(const wxString&) override {}
    void SendSms(const wxString&) override {}
    void SendMail(const ActionSettings&, const wxString&) override {}

private:
    WlsModel& m_model;
    const std::string& m_reply;
};

void RunSite(const char* version, const std::string& reply)
{
    SiteRecord site;
    site.SiteName = "fuzz";
    site.SiteType = "WEBLOGIC";
    site.WlsVer = version;
    WlsAlarmRule rule;
    rule.FreeHeap = rule.IdleThread = rule.IdleJDBC = "10";
    rule.PlaySound = rule.SMS = rule.Email = rule.ThreadDump = "TRUE";

    WlsModel used;
    used.SetSite(site);
    used.SetRule(rule);
    used.ParseWlsReport(kEarlierReport, sizeof kEarlierReport - 1);
    used.ClearAlarms();
    used.ParseWlsReport(reply);

    WlsModel scanned;
    scanned.SetSite(site);
    scanned.SetRule(rule);
    FuzzPort port(scanned, reply);
    scanned.PollScan(port);
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
