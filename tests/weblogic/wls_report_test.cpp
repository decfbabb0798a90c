// Reading WebLogic reports: where each attribute lands for each version, what
// is skipped, what persists, and what is refused.
#include "weblogic/wls_model.h"

#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string Monitor(const std::string& children, const std::string& rootAttrs = " Date=\"d1\"")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><MONITOR" + rootAttrs + ">" + children +
           "</MONITOR>";
}

std::string Join(std::initializer_list<wxString> fields)
{
    std::string out;
    for (const wxString& f : fields)
        out += (out.empty() ? "" : "|") + f.utf8_string();
    return out;
}

// Every record of a list as its fields joined by '|', records joined by "; ".
template <class List, class Describe>
std::string Records(const List& list, Describe describe)
{
    std::string out;
    for (const auto& r : list)
        out += (out.empty() ? "" : "; ") + describe(r);
    return out;
}

std::string Servers(const WlsModel& m)
{
    return Records(m.Servers(), [](const WlsServerRec& s)
                   { return Join({s.ServerName, s.URL, s.Port, s.State, s.Health, s.Spare1, s.Spare2}); });
}
std::string Jvms(const WlsModel& m)
{
    return Records(m.Jvms(), [](const WlsJvmRec& j) {
        return Join({j.ServerName, j.JVMVendor, j.JVMVersion, j.FreeHeap, j.CurrentHeap, j.HeapSizeMax,
                     j.FreePercent});
    });
}
std::string Threads(const WlsModel& m)
{
    return Records(m.Threads(), [](const WlsThreadRec& t)
                   { return Join({t.ServerName, t.TotalCount, t.IdleCount, t.Throughput, t.QueueLength}); });
}
std::string Pools(const WlsModel& m)
{
    return Records(m.JdbcPools(), [](const WlsJdbcRec& d) {
        return Join({d.ServerName, d.JDBCName, d.ActiveCurrent, d.ActiveHigh, d.CurrCapacity,
                     d.LeakCount, d.State, d.Spare1, d.Spare2});
    });
}
std::string Summary(const WlsModel& m)
{
    const WlsDomainSummary& s = m.Summary();
    return Join({s.LastUpdate, s.DomainVersion, s.ActivationTime, s.ServerNum, s.DomainName,
                 s.AdminServerName, s.JDKVendor, s.JDKVersion, s.OSName, s.OSVersion,
                 s.ProductionModeEnabled, s.AgentVersion, s.GuardianEnabled, s.RootDirectory, s.errMsg});
}

WlsModel& Parsed(WlsModel& model, const char* version, const std::string& report)
{
    SiteRecord site;
    site.WlsVer = version;
    model.SetSite(site);
    EXPECT_EQ(model.ParseWlsReport(report), 1);
    return model;
}

struct ReportCase
{
    const char* name;
    const char* version;
    std::string report;
    // the lists after the parse, as Servers() ... Pools() write them
    const char* servers;
    const char* jvms;
    const char* threads;
    const char* pools;
};

const ReportCase kCases[] = {
    // every field in its slot, spare fields empty; "%" goes after the percentage
    {"FieldsOfEveryRecord", "WebLogic V10",
     Monitor("<ServerRuntime serverName=\"ms1\" ListenPort=\"7003\" State=\"RUNNING\" "
             "HealthState=\"HEALTH_OK\" ListenAddress=\"10.0.0.7\"/>"
             "<JVMRuntime serverName=\"ms1\" JavaVendor=\"Oracle\" JavaVersion=\"1.6\" "
             "HeapFreeCurrent=\"1000\" HeapSizeCurrent=\"2000\" HeapSizeMax=\"4000\" HeapFreePercent=\"37\"/>"
             "<ThreadPoolRuntime serverName=\"ms1\" ExecuteThreadIdleCount=\"3\" "
             "ExecuteThreadTotalCount=\"25\" Throughput=\"12.5\" QueueLength=\"4\"/>"
             "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans serverName=\"ms1\" "
             "ActiveConnectionsCurrentCount=\"2\" ActiveConnectionsHighCount=\"9\" CurrCapacity=\"10\" "
             "LeakedConnectionCount=\"1\" Name=\"ds1\" State=\"Running\"/>"),
     "ms1|10.0.0.7|7003|RUNNING|HEALTH_OK||", "ms1|Oracle|1.6|1000|2000|4000|37%", "ms1|25|3|12.5|4",
     "ms1|ds1|2|9|10|1|Running||"},
    // the first HEALTH_ token the text contains wins; without one the text stays (case matters)
    {"HealthTokens", "WebLogic V9",
     Monitor("<ServerRuntime serverName=\"a\" HealthState=\"Component:x,State:HEALTH_OK,MBean:y\"/>"
             "<ServerRuntime serverName=\"b\" HealthState=\"HEALTH_CRITICAL\"/>"
             "<ServerRuntime serverName=\"c\"/>"
             "<ServerRuntime serverName=\"d\" HealthState=\"HEALTH_FAILED HEALTH_OK\"/>"
             "<ServerRuntime serverName=\"e\" HealthState=\"State:HEALTH_WARN,ReasonCode:[]\"/>"
             "<ServerRuntime serverName=\"f\" HealthState=\"health_ok\"/>"),
     "a|N/A|N/A|N/A|HEALTH_OK||; b|N/A|N/A|N/A|HEALTH_CRITICAL||; c|N/A|N/A|N/A|N/A||; "
     "d|N/A|N/A|N/A|HEALTH_OK||; e|N/A|N/A|N/A|HEALTH_WARN||; f|N/A|N/A|N/A|health_ok||",
     "", "", ""},
    // WebLogic 8 keeps only the application queue, spelled exactly; its
    // ServicedRequestTotalCount stands for the throughput
    {"KernelQueueNames", "WebLogic V8",
     Monitor("<ExecuteQueueRuntime serverName=\"a\" Name=\"weblogic.kernel.Default\" "
             "ExecuteThreadCurrentIdleCount=\"5\" ExecuteThreadTotalCount=\"15\" "
             "ServicedRequestTotalCount=\"900\" PendingRequestCurrentCount=\"2\"/>"
             "<ExecuteQueueRuntime serverName=\"b\" Name=\"default\"/>"
             "<ExecuteQueueRuntime serverName=\"c\" Name=\"Default\"/>"
             "<ExecuteQueueRuntime serverName=\"d\" Name=\"weblogic.kernel.System\"/>"
             "<ExecuteQueueRuntime serverName=\"e\"/>"),
     "", "", "a|15|5|900|2; b|N/A|N/A|N/A|N/A", ""},
    // a 9/10 site skips the WebLogic 8 element names
    {"Wls9IgnoresWls8Elements", "WebLogic V9",
     Monitor("<JDBCConnectionPoolRuntime serverName=\"a\" Name=\"p\"/>"
             "<ExecuteQueueRuntime serverName=\"a\" Name=\"default\"/><ThreadPoolRuntime serverName=\"a\"/>"),
     "", "", "a|N/A|N/A|N/A|N/A", ""},
    // and a WebLogic 8 site the 9/10 ones; element names match case and all
    {"Wls8IgnoresWls9Elements", "WebLogic V8",
     Monitor("<ThreadPoolRuntime serverName=\"a\"/>"
             "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans serverName=\"a\"/>"
             "<JDBCConnectionPoolRuntime serverName=\"a\" Name=\"p\"/><jvmruntime serverName=\"x\"/>"),
     "", "", "", "a|p|N/A|N/A|N/A|N/A|N/A||"},
    // missing attributes read "N/A", "%" even then
    {"MissingAttributes", "WebLogic V10", Monitor("<JVMRuntime/>"), "",
     "N/A|N/A|N/A|N/A|N/A|N/A|N/A%", "", ""},
    // non-ASCII values decode from UTF-8; duplicates are kept in order
    {"Utf8AndDuplicates", "WebLogic V10",
     Monitor("<ServerRuntime serverName=\"s\xc3\xa9rveur\" State=\"RUNNING\"/>"
             "<ServerRuntime serverName=\"s\xc3\xa9rveur\" State=\"ADMIN\"/>"),
     "s\xc3\xa9rveur|N/A|N/A|RUNNING|N/A||; s\xc3\xa9rveur|N/A|N/A|ADMIN|N/A||", "", "", ""},
    // elements below the root's children are not read
    {"OnlyDirectChildren", "WebLogic V10",
     Monitor("<Wrapper><ServerRuntime serverName=\"deep\"/></Wrapper><!-- c --><ServerRuntime serverName=\"top\"/>"),
     "top|N/A|N/A|N/A|N/A||", "", "", ""},
    // attribute and element names match whole: neither a prefix nor a longer name
    {"NamesMatchExactly", "WebLogic V10",
     Monitor("<ServerRuntime serverNam=\"a\" serverNameX=\"b\" State=\"S\"/>"
             "<ServerRuntimeX serverName=\"c\"/><ServerRuntim serverName=\"d\"/>"),
     "N/A|N/A|N/A|S|N/A||", "", "", ""},
};

class ReportSamples : public ::testing::TestWithParam<ReportCase>
{
};
} // namespace

TEST_P(ReportSamples, Parse)
{
    const ReportCase& c = GetParam();
    WlsModel model;
    Parsed(model, c.version, c.report);
    EXPECT_EQ(Servers(model), c.servers);
    EXPECT_EQ(Jvms(model), c.jvms);
    EXPECT_EQ(Threads(model), c.threads);
    EXPECT_EQ(Pools(model), c.pools);
    for (const auto& s : model.Servers())
        EXPECT_EQ(s.Flags, 0u);
}

INSTANTIATE_TEST_SUITE_P(Wls, ReportSamples, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Summary fields; 9/10 agents spell Activationtime with a small t, WebLogic 8
// ones with a capital. Without attributes: "N/A", Date "0", errMsg empty.
TEST(WlsReport, SummaryFields)
{
    WlsModel model;
    Parsed(model, "WebLogic V9",
           Monitor("<INITBUF DomainVersion=\"9.2\" Activationtime=\"boot9\" ActivationTime=\"wrong\" "
                   "ServerNum=\"4\" Name=\"dom\" AdminServerName=\"admin\" JDKVendor=\"BEA\" "
                   "JDKVersion=\"1.5\" OSName=\"Linux\" OSVersion=\"2.6\" ProductionModeEnabled=\"true\" "
                   "AgentVersion=\"3.1\" GuardianEnabled=\"false\" RootDirectory=\"/u01\"/>"
                   "<SYSTEM errMsg=\"disk &amp; heap\"/>"));
    EXPECT_EQ(Summary(model), "d1|9.2|boot9|4|dom|admin|BEA|1.5|Linux|2.6|true|3.1|false|/u01|disk & heap");
    WlsModel v8;
    Parsed(v8, "WebLogic V8", Monitor("<INITBUF ActivationTime=\"boot8\" Activationtime=\"wrong\"/>"));
    EXPECT_EQ(v8.Summary().ActivationTime, "boot8");
    WlsModel bare;
    Parsed(bare, "WebLogic V10", Monitor("<SYSTEM/><INITBUF/>", ""));
    EXPECT_EQ(Summary(bare), "0|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|");
}

TEST(WlsReport, SummarySurvivesAReportWithoutInitBuf)
{
    WlsModel model;
    Parsed(model, "WebLogic V10",
           Monitor("<INITBUF DomainVersion=\"10.3\" Name=\"dom\"/><ServerRuntime serverName=\"a\"/>"));
    ASSERT_EQ(model.ParseWlsReport(Monitor("<ServerRuntime serverName=\"b\"/>", " Date=\"d2\"")), 1);
    EXPECT_EQ(model.Summary().DomainVersion, "10.3");
    EXPECT_EQ(model.Summary().DomainName, "dom");
    EXPECT_EQ(model.Summary().LastUpdate, "d2");
    EXPECT_EQ(Servers(model), "b|N/A|N/A|N/A|N/A||");

    // A root without children still empties the arrays.
    ASSERT_EQ(model.ParseWlsReport(std::string("<MONITOR/>")), 1);
    EXPECT_TRUE(model.Servers().empty());
    EXPECT_EQ(model.Summary().LastUpdate, "0");
    EXPECT_EQ(model.Summary().DomainName, "dom");
}

// Bad input never changes the arrays or the summary: -1, and the reader's
// line in the log (a wrong root name is no XML error). The checks both
// readers share are tabled in tux_report_test.
TEST(WlsReport, RejectsWhatIsNotAMonitorDocument)
{
    WlsModel model;
    const std::string good = Monitor("<INITBUF Name=\"dom\"/><ServerRuntime serverName=\"a\"/>");
    Parsed(model, "WebLogic V10", good);
    const std::string mismatch = "XML parsing error: 'Start-end tags mismatch' at line 1";
    const std::pair<std::string, std::string> bad[] = {
        {"", "XML parsing error: 'No document element found' at line 1"},
        {"<MONITOR><ServerRuntime serverName=\"x\"/>", mismatch},   // truncated
        {"<REPORT><ServerRuntime serverName=\"x\"/></REPORT>", ""}, // wrong root
        {"<monitor/>", ""},                                         // case matters
        {"<MONITORS/>", ""},                                        // the whole name
        {std::string("<MONITOR Date=\"1\"/>\0<x/>", sizeof("<MONITOR Date=\"1\"/>\0<x/>") - 1),
         "XML parsing error: 'NUL byte in the document' at line 1"},
        {good + "\n" + good, "XML parsing error: 'More than one root element' at line 2"},
        // Regression: text after the root was dropped by the reader and the reply taken.
        {"<MONITOR/>\n\njunk", "XML parsing error: 'Text outside the root element' at line 3"},
    };
    LogCapture log;
    for (const auto& [text, line] : bad)
    {
        EXPECT_EQ(model.ParseWlsReport(text), -1) << text;
        EXPECT_EQ(Servers(model), "a|N/A|N/A|N/A|N/A||");
        EXPECT_EQ(model.Summary().DomainName, "dom");
        EXPECT_EQ(log.Take(), line.empty() ? std::vector<std::string>{} : std::vector<std::string>{line})
            << text;
    }
}

TEST(HeapMegabytes, FormatsLikeTheJvmList)
{
    const std::pair<const char*, const char*> cases[] = {
        {"536870912", "512.00M"}, {"N/A", "0.00M"},       {"", "0.00M"},
        {"1048576", "1.00M"},     {"1572864.0", "1.50M"}, {"  2097152abc", "2.00M"},
        {"-1048576", "-1.00M"},   {"1e6", "0.95M"},       {"nan", "0.00M"},
        {"inf", "0.00M"},         {"1e999", "0.00M"},     {".5e7", "4.77M"},
    };
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(HeapMegabytes(bytes), shown) << bytes;
}

// Records are refilled in place from scan to scan: nothing of an earlier
// report may show through, whatever the lengths and encodings involved.
TEST(WlsReport, RefilledRecordsKeepNothingOfEarlierReports)
{
    WlsModel model;
    WlsAlarmRule rule;
    rule.FreeHeap = "50";
    model.SetRule(rule);
    // U+00C3 U+00A9 first, then the two bytes that spell U+00E9 in UTF-8.
    Parsed(model, "WebLogic V10",
           Monitor("<ServerRuntime serverName=\"\xc3\x83\xc2\xa9\" State=\"RUNNING-LONG-STATE\" "
                   "ListenPort=\"7001\"/><ServerRuntime serverName=\"second\"/>"
                   "<JVMRuntime serverName=\"a\" HeapFreePercent=\"10\"/>"));
    ASSERT_EQ(model.ParseWlsReport(Monitor("<ServerRuntime serverName=\"x\"/>")), 1);
    ASSERT_EQ(model.ParseWlsReport(Monitor("<ServerRuntime serverName=\"\xc3\xa9\" State=\"ADMIN\"/>"
                                           "<JVMRuntime serverName=\"a\" HeapFreePercent=\"90\"/>")),
              1);
    EXPECT_EQ(Servers(model), "\xc3\xa9|N/A|N/A|ADMIN|N/A||");
    EXPECT_EQ(Jvms(model), "a|N/A|N/A|N/A|N/A|N/A|90%");
    EXPECT_EQ(model.Jvms()[0].Flags, 0u);
}
