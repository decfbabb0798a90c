#include "weblogic/wls_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace
{
void SetVersion(WlsModel& model, const wxString& version)
{
    SiteRecord site;
    site.WlsVer = version;
    model.SetSite(site);
}

std::string Monitor(const std::string& children, const std::string& rootAttrs = " Date=\"d1\"")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><MONITOR" + rootAttrs + ">" + children +
           "</MONITOR>";
}

struct ReportCase
{
    const char* name;
    const char* version;
    std::string report;
    std::function<void(const WlsModel&)> check;
};

class ReportSamples : public ::testing::TestWithParam<ReportCase>
{
};

std::string CaseName(const ::testing::TestParamInfo<ReportCase>& info)
{
    return info.param.name;
}
} // namespace

TEST_P(ReportSamples, Parse)
{
    const ReportCase& c = GetParam();
    WlsModel model;
    SetVersion(model, c.version);
    ASSERT_EQ(model.ParseWlsReport(c.report), 1);
    c.check(model);
}

INSTANTIATE_TEST_SUITE_P(
    Wls, ReportSamples,
    ::testing::Values(
        // Every field lands in its slot; spare fields stay empty, flags 0.
        ReportCase{"FieldsOfEveryRecord", "WebLogic V10",
                   Monitor("<ServerRuntime serverName=\"ms1\" ListenPort=\"7003\" State=\"RUNNING\" "
                           "HealthState=\"HEALTH_OK\" ListenAddress=\"10.0.0.7\"/>"
                           "<JVMRuntime serverName=\"ms1\" JavaVendor=\"Oracle\" JavaVersion=\"1.6\" "
                           "HeapFreeCurrent=\"1000\" HeapSizeCurrent=\"2000\" HeapSizeMax=\"4000\" "
                           "HeapFreePercent=\"37\"/>"
                           "<ThreadPoolRuntime serverName=\"ms1\" ExecuteThreadIdleCount=\"3\" "
                           "ExecuteThreadTotalCount=\"25\" Throughput=\"12.5\" QueueLength=\"4\"/>"
                           "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans serverName=\"ms1\" "
                           "ActiveConnectionsCurrentCount=\"2\" ActiveConnectionsHighCount=\"9\" "
                           "CurrCapacity=\"10\" LeakedConnectionCount=\"1\" Name=\"ds1\" "
                           "State=\"Running\"/>"),
                   [](const WlsModel& m)
                   {
                       ASSERT_EQ(m.Servers().size(), 1u);
                       const WlsServerRec& s = m.Servers()[0];
                       EXPECT_EQ(s.ServerName, "ms1");
                       EXPECT_EQ(s.URL, "10.0.0.7");
                       EXPECT_EQ(s.Port, "7003");
                       EXPECT_EQ(s.State, "RUNNING");
                       EXPECT_EQ(s.Health, "HEALTH_OK");
                       EXPECT_TRUE(s.Spare1.empty() && s.Spare2.empty());
                       EXPECT_EQ(s.Flags, 0u);
                       ASSERT_EQ(m.Jvms().size(), 1u);
                       const WlsJvmRec& j = m.Jvms()[0];
                       EXPECT_EQ(j.JVMVendor, "Oracle");
                       EXPECT_EQ(j.JVMVersion, "1.6");
                       EXPECT_EQ(j.FreeHeap, "1000");
                       EXPECT_EQ(j.CurrentHeap, "2000");
                       EXPECT_EQ(j.HeapSizeMax, "4000");
                       EXPECT_EQ(j.FreePercent, "37%");
                       ASSERT_EQ(m.Threads().size(), 1u);
                       const WlsThreadRec& t = m.Threads()[0];
                       EXPECT_EQ(t.TotalCount, "25");
                       EXPECT_EQ(t.IdleCount, "3");
                       EXPECT_EQ(t.Throughput, "12.5");
                       EXPECT_EQ(t.QueueLength, "4");
                       ASSERT_EQ(m.JdbcPools().size(), 1u);
                       const WlsJdbcRec& d = m.JdbcPools()[0];
                       EXPECT_EQ(d.ActiveCurrent, "2");
                       EXPECT_EQ(d.ActiveHigh, "9");
                       EXPECT_EQ(d.CurrCapacity, "10");
                       EXPECT_EQ(d.LeakCount, "1");
                       EXPECT_EQ(d.JDBCName, "ds1");
                       EXPECT_EQ(d.State, "Running");
                       EXPECT_EQ(m.Summary().LastUpdate, "d1");
                   }},
        // First health token contained in the text wins; no token leaves the text.
        ReportCase{"HealthTokens", "WebLogic V9",
                   Monitor("<ServerRuntime serverName=\"a\" HealthState=\"Component:x,State:HEALTH_OK,MBean:y\"/>"
                           "<ServerRuntime serverName=\"b\" HealthState=\"HEALTH_CRITICAL\"/>"
                           "<ServerRuntime serverName=\"c\"/>"
                           "<ServerRuntime serverName=\"d\" HealthState=\"HEALTH_FAILED HEALTH_OK\"/>"
                           "<ServerRuntime serverName=\"e\" HealthState=\"State:HEALTH_WARN,ReasonCode:[]\"/>"
                           "<ServerRuntime serverName=\"f\" HealthState=\"health_ok\"/>"),
                   [](const WlsModel& m)
                   {
                       ASSERT_EQ(m.Servers().size(), 6u);
                       EXPECT_EQ(m.Servers()[0].Health, "HEALTH_OK");
                       EXPECT_EQ(m.Servers()[1].Health, "HEALTH_CRITICAL");
                       EXPECT_EQ(m.Servers()[2].Health, "N/A");
                       EXPECT_EQ(m.Servers()[3].Health, "HEALTH_OK");
                       EXPECT_EQ(m.Servers()[4].Health, "HEALTH_WARN");
                       EXPECT_EQ(m.Servers()[5].Health, "health_ok");
                   }},
        // WebLogic 8 keeps only the application queue, spelled exactly.
        ReportCase{"KernelQueueNames", "WebLogic V8",
                   Monitor("<ExecuteQueueRuntime serverName=\"a\" Name=\"weblogic.kernel.Default\" "
                           "ExecuteThreadCurrentIdleCount=\"5\" ExecuteThreadTotalCount=\"15\" "
                           "ServicedRequestTotalCount=\"900\" PendingRequestCurrentCount=\"2\"/>"
                           "<ExecuteQueueRuntime serverName=\"b\" Name=\"default\"/>"
                           "<ExecuteQueueRuntime serverName=\"c\" Name=\"Default\"/>"
                           "<ExecuteQueueRuntime serverName=\"d\" Name=\"weblogic.kernel.System\"/>"
                           "<ExecuteQueueRuntime serverName=\"e\"/>"),
                   [](const WlsModel& m)
                   {
                       ASSERT_EQ(m.Threads().size(), 2u);
                       EXPECT_EQ(m.Threads()[0].ServerName, "a");
                       EXPECT_EQ(m.Threads()[0].IdleCount, "5");
                       EXPECT_EQ(m.Threads()[0].TotalCount, "15");
                       EXPECT_EQ(m.Threads()[0].Throughput, "900");
                       EXPECT_EQ(m.Threads()[0].QueueLength, "2");
                       EXPECT_EQ(m.Threads()[1].ServerName, "b");
                   }},
        // A 9/10 site skips the WebLogic 8 element names.
        ReportCase{"Wls9IgnoresWls8Elements", "WebLogic V9",
                   Monitor("<JDBCConnectionPoolRuntime serverName=\"a\" Name=\"p\"/>"
                           "<ExecuteQueueRuntime serverName=\"a\" Name=\"default\"/>"
                           "<ThreadPoolRuntime serverName=\"a\"/>"),
                   [](const WlsModel& m)
                   {
                       EXPECT_TRUE(m.JdbcPools().empty());
                       ASSERT_EQ(m.Threads().size(), 1u);
                       EXPECT_EQ(m.Threads()[0].IdleCount, "N/A");
                   }},
        // A WebLogic 8 site skips the 9/10 element names.
        ReportCase{"Wls8IgnoresWls9Elements", "WebLogic V8",
                   Monitor("<ThreadPoolRuntime serverName=\"a\"/>"
                           "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans serverName=\"a\"/>"
                           "<JDBCConnectionPoolRuntime serverName=\"a\" Name=\"p\"/>"
                           "<jvmruntime serverName=\"x\"/>"),
                   [](const WlsModel& m)
                   {
                       EXPECT_TRUE(m.Threads().empty());
                       ASSERT_EQ(m.JdbcPools().size(), 1u);
                       EXPECT_EQ(m.JdbcPools()[0].JDBCName, "p");
                       EXPECT_EQ(m.JdbcPools()[0].State, "N/A");
                       EXPECT_TRUE(m.Jvms().empty());
                   }},
        // Missing attributes: "N/A", Date "0", errMsg empty; "%" even on N/A.
        ReportCase{"Defaults", "WebLogic V10",
                   Monitor("<JVMRuntime/><SYSTEM/><INITBUF/>", ""),
                   [](const WlsModel& m)
                   {
                       ASSERT_EQ(m.Jvms().size(), 1u);
                       EXPECT_EQ(m.Jvms()[0].ServerName, "N/A");
                       EXPECT_EQ(m.Jvms()[0].FreePercent, "N/A%");
                       EXPECT_EQ(m.Summary().LastUpdate, "0");
                       EXPECT_EQ(m.Summary().errMsg, "");
                       EXPECT_EQ(m.Summary().DomainName, "N/A");
                       EXPECT_EQ(m.Summary().ActivationTime, "N/A");
                   }},
        // Summary fields; 9/10 agents spell Activationtime with a small t.
        ReportCase{"InitBufWls9", "WebLogic V9",
                   Monitor("<INITBUF DomainVersion=\"9.2\" Activationtime=\"boot9\" "
                           "ActivationTime=\"wrong\" ServerNum=\"4\" Name=\"dom\" "
                           "AdminServerName=\"admin\" JDKVendor=\"BEA\" JDKVersion=\"1.5\" "
                           "OSName=\"Linux\" OSVersion=\"2.6\" ProductionModeEnabled=\"true\" "
                           "AgentVersion=\"3.1\" GuardianEnabled=\"false\" RootDirectory=\"/u01\"/>"
                           "<SYSTEM errMsg=\"disk &amp; heap\"/>"),
                   [](const WlsModel& m)
                   {
                       const WlsDomainSummary& s = m.Summary();
                       EXPECT_EQ(s.DomainVersion, "9.2");
                       EXPECT_EQ(s.ActivationTime, "boot9");
                       EXPECT_EQ(s.ServerNum, "4");
                       EXPECT_EQ(s.DomainName, "dom");
                       EXPECT_EQ(s.AdminServerName, "admin");
                       EXPECT_EQ(s.JDKVendor, "BEA");
                       EXPECT_EQ(s.JDKVersion, "1.5");
                       EXPECT_EQ(s.OSName, "Linux");
                       EXPECT_EQ(s.OSVersion, "2.6");
                       EXPECT_EQ(s.ProductionModeEnabled, "true");
                       EXPECT_EQ(s.AgentVersion, "3.1");
                       EXPECT_EQ(s.GuardianEnabled, "false");
                       EXPECT_EQ(s.RootDirectory, "/u01");
                       EXPECT_EQ(s.errMsg, "disk & heap");
                   }},
        ReportCase{"InitBufWls8", "WebLogic V8",
                   Monitor("<INITBUF ActivationTime=\"boot8\" Activationtime=\"wrong\"/>"),
                   [](const WlsModel& m) { EXPECT_EQ(m.Summary().ActivationTime, "boot8"); }},
        // Non-ASCII values decode from UTF-8; duplicates are kept in order.
        ReportCase{"Utf8AndDuplicates", "WebLogic V10",
                   Monitor("<ServerRuntime serverName=\"s\xc3\xa9rveur\" State=\"RUNNING\"/>"
                           "<ServerRuntime serverName=\"s\xc3\xa9rveur\" State=\"ADMIN\"/>"),
                   [](const WlsModel& m)
                   {
                       ASSERT_EQ(m.Servers().size(), 2u);
                       EXPECT_EQ(m.Servers()[0].ServerName, wxString::FromUTF8("s\xc3\xa9rveur"));
                       EXPECT_EQ(m.Servers()[1].State, "ADMIN");
                   }},
        // Elements below the root's children are not read.
        ReportCase{"OnlyDirectChildren", "WebLogic V10",
                   Monitor("<Wrapper><ServerRuntime serverName=\"deep\"/></Wrapper>"
                           "<!-- c --><ServerRuntime serverName=\"top\"/>"),
                   [](const WlsModel& m)
                   {
                       ASSERT_EQ(m.Servers().size(), 1u);
                       EXPECT_EQ(m.Servers()[0].ServerName, "top");
                   }}),
    CaseName);

TEST(WlsReport, SummarySurvivesAReportWithoutInitBuf)
{
    WlsModel model;
    SetVersion(model, "WebLogic V10");
    ASSERT_EQ(model.ParseWlsReport(Monitor("<INITBUF DomainVersion=\"10.3\" Name=\"dom\"/>"
                                           "<ServerRuntime serverName=\"a\"/>")),
              1);
    ASSERT_EQ(model.ParseWlsReport(Monitor("<ServerRuntime serverName=\"b\"/>", " Date=\"d2\"")), 1);
    EXPECT_EQ(model.Summary().DomainVersion, "10.3");
    EXPECT_EQ(model.Summary().DomainName, "dom");
    EXPECT_EQ(model.Summary().LastUpdate, "d2");
    ASSERT_EQ(model.Servers().size(), 1u);
    EXPECT_EQ(model.Servers()[0].ServerName, "b");

    // A root without children still empties the arrays.
    ASSERT_EQ(model.ParseWlsReport(std::string("<MONITOR/>")), 1);
    EXPECT_TRUE(model.Servers().empty());
    EXPECT_EQ(model.Summary().LastUpdate, "0");
    EXPECT_EQ(model.Summary().DomainName, "dom");
}

// Bad input never changes the arrays or the summary: -1 and nothing else.
TEST(WlsReport, RejectsWhatIsNotAMonitorDocument)
{
    WlsModel model;
    SetVersion(model, "WebLogic V10");
    const std::string good = Monitor("<INITBUF Name=\"dom\"/><ServerRuntime serverName=\"a\"/>");
    ASSERT_EQ(model.ParseWlsReport(good), 1);
    const std::string bad[] = {
        "",
        "not xml at all",
        "<MONITOR><ServerRuntime serverName=\"x\"/>",           // truncated
        good.substr(0, good.size() / 2),                        // cut in the middle
        "<REPORT><ServerRuntime serverName=\"x\"/></REPORT>",  // wrong root
        "<monitor/>",                                           // case matters
        "<MONITOR/><MONITOR/>",                                 // two roots
        "<MONITOR><ServerRuntime serverName=\"x\" serverName=\"y\"></MONITOR>",
        std::string("<MONITOR Date=\"1\"/>\0<x/>", sizeof("<MONITOR Date=\"1\"/>\0<x/>") - 1),
    };
    for (const std::string& text : bad)
    {
        EXPECT_EQ(model.ParseWlsReport(text), -1) << text;
        ASSERT_EQ(model.Servers().size(), 1u);
        EXPECT_EQ(model.Servers()[0].ServerName, "a");
        EXPECT_EQ(model.Summary().DomainName, "dom");
    }
}

TEST(WlsReport, HugeReportParsesWhole)
{
    WlsModel model;
    SetVersion(model, "WebLogic V10");
    std::string children;
    const int servers = 20000;
    children.reserve(servers * 180);
    for (int i = 0; i < servers; ++i)
    {
        const std::string n = std::to_string(i);
        children += "<ServerRuntime serverName=\"ms" + n + "\" ListenPort=\"" + n +
                    "\" State=\"RUNNING\" HealthState=\"HEALTH_OK\" ListenAddress=\"10.0.0.1\"/>";
        children += "<JVMRuntime serverName=\"ms" + n + "\" HeapFreePercent=\"" +
                    std::to_string(i % 100) + "\"/>";
    }
    ASSERT_EQ(model.ParseWlsReport(Monitor(children)), 1);
    ASSERT_EQ(model.Servers().size(), static_cast<size_t>(servers));
    EXPECT_EQ(model.Servers().back().Port, std::to_string(servers - 1));
    EXPECT_EQ(model.Jvms()[42].FreePercent, "42%");
}

TEST(HeapMegabytes, FormatsLikeTheJvmList)
{
    const struct
    {
        const char* bytes;
        const char* shown;
    } cases[] = {
        {"536870912", "512.00M"}, {"N/A", "0.00M"},       {"", "0.00M"},
        {"1048576", "1.00M"},     {"1572864.0", "1.50M"}, {"  2097152abc", "2.00M"},
        {"-1048576", "-1.00M"},   {"1e6", "0.95M"},       {"nan", "0.00M"},
        {"inf", "0.00M"},         {"1e999", "0.00M"},     {".5e7", "4.77M"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HeapMegabytes(c.bytes), c.shown) << c.bytes;
}

// Records are refilled in place from scan to scan: nothing of an earlier
// report may show through, whatever the lengths and encodings involved.
TEST(WlsReport, RefilledRecordsKeepNothingOfEarlierReports)
{
    WlsModel model;
    SetVersion(model, "WebLogic V10");
    WlsAlarmRule rule;
    rule.FreeHeap = "50";
    model.SetRule(rule);
    // U+00C3 U+00A9 first, then the two bytes that spell U+00E9 in UTF-8.
    ASSERT_EQ(model.ParseWlsReport(Monitor("<ServerRuntime serverName=\"\xc3\x83\xc2\xa9\" "
                                           "State=\"RUNNING-LONG-STATE\" ListenPort=\"7001\"/>"
                                           "<ServerRuntime serverName=\"second\"/>"
                                           "<JVMRuntime serverName=\"a\" HeapFreePercent=\"10\"/>")),
              1);
    ASSERT_EQ(model.ParseWlsReport(Monitor("<ServerRuntime serverName=\"x\"/>")), 1);
    ASSERT_EQ(model.ParseWlsReport(Monitor("<ServerRuntime serverName=\"\xc3\xa9\" State=\"ADMIN\"/>"
                                           "<JVMRuntime serverName=\"a\" HeapFreePercent=\"90\"/>")),
              1);
    ASSERT_EQ(model.Servers().size(), 1u);
    EXPECT_EQ(model.Servers()[0].ServerName, wxString::FromUTF8("\xc3\xa9"));
    EXPECT_EQ(model.Servers()[0].State, "ADMIN");
    EXPECT_EQ(model.Servers()[0].Port, "N/A");
    ASSERT_EQ(model.Jvms().size(), 1u);
    EXPECT_EQ(model.Jvms()[0].FreePercent, "90%");
    EXPECT_EQ(model.Jvms()[0].Flags, 0u);
}

// Attribute and element names match whole: neither a prefix nor a longer name.
TEST(WlsReport, NamesMatchExactly)
{
    WlsModel model;
    SetVersion(model, "WebLogic V10");
    ASSERT_EQ(model.ParseWlsReport(Monitor("<ServerRuntime serverNam=\"a\" serverNameX=\"b\" "
                                           "State=\"S\"/><ServerRuntimeX serverName=\"c\"/>"
                                           "<ServerRuntim serverName=\"d\"/>")),
              1);
    ASSERT_EQ(model.Servers().size(), 1u);
    EXPECT_EQ(model.Servers()[0].ServerName, "N/A");
    EXPECT_EQ(model.Servers()[0].State, "S");
    EXPECT_EQ(model.ParseWlsReport(std::string("<MONITORS/>")), -1);
}
