// The request and thread-dump documents, byte for byte.
#include "weblogic/wls_request.h"

#include <gtest/gtest.h>

namespace
{
const char* const Head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wlsagent>";

const char* const JvmAndServer =
    "<MBean mBeanType=\"runtime\" name=\"JVMRuntime\">"
    "<attribute>OSName</attribute><attribute>OSVersion</attribute>"
    "<attribute>JavaVersion</attribute><attribute>JavaVendor</attribute>"
    "<attribute>JavaVMVendor</attribute><attribute>HeapFreeCurrent</attribute>"
    "<attribute>HeapSizeCurrent</attribute><attribute>HeapSizeMax</attribute>"
    "<attribute>HeapFreePercent</attribute></MBean>"
    "<MBean mBeanType=\"runtime\" name=\"ServerRuntime\">"
    "<attribute>ActivationTime</attribute><attribute>HealthState</attribute>"
    "<attribute>State</attribute><attribute>Name</attribute>"
    "<attribute>OpenSocketsCurrentCount</attribute><attribute>WeblogicVersion</attribute>"
    "<attribute>ListenAddress</attribute><attribute>ListenPort</attribute></MBean>";

const char* const JdbcAttributes =
    "<attribute>ActiveConnectionsCurrentCount</attribute>"
    "<attribute>ActiveConnectionsHighCount</attribute><attribute>CurrCapacity</attribute>"
    "<attribute>LeakedConnectionCount</attribute><attribute>Name</attribute>"
    "<attribute>State</attribute></MBean>";

const char* const Wls8Blocks =
    "<MBean mBeanType=\"runtime\" name=\"ExecuteQueueRuntime\">"
    "<attribute>Name</attribute><attribute>ServicedRequestTotalCount</attribute>"
    "<attribute>ExecuteThreadTotalCount</attribute>"
    "<attribute>ExecuteThreadCurrentIdleCount</attribute>"
    "<attribute>PendingRequestCurrentCount</attribute></MBean>"
    "<MBean mBeanType=\"runtime\" name=\"JDBCConnectionPoolRuntime\">";

const char* const Wls9Blocks =
    "<MBean mBeanType=\"runtime\" name=\"ThreadPoolRuntime\">"
    "<attribute>ExecuteThreadIdleCount</attribute><attribute>CompletedRequestCount</attribute>"
    "<attribute>ExecuteThreadTotalCount</attribute><attribute>PendingUserRequestCount</attribute>"
    "<attribute>QueueLength</attribute><attribute>StandbyThreadCount</attribute>"
    "<attribute>Throughput</attribute></MBean>"
    "<MBean mBeanType=\"runtime\" name=\"JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans\">";

SiteRecord Site(const wxString& version)
{
    return SiteRecord{"wls-prod", "WEBLOGIC", "10.1.2.3", "6001", "weblogic", "secret1", "7001", version, "", ""};
}

wxString Expected(const char* domain, bool wls8)
{
    return wxString(Head) + domain + JvmAndServer + (wls8 ? Wls8Blocks : Wls9Blocks) +
           JdbcAttributes + "</wlsagent>";
}

const char* const ProdDomain = "<Domain name=\"localDomain\" adminAddress=\"10.1.2.3\" "
                               "adminPort=\"7001\"  principal=\"weblogic\" password=\"secret1\"/>";

struct VersionCase
{
    const char* version;
    bool wls8;
};

class RequestByVersion : public ::testing::TestWithParam<VersionCase>
{
};
} // namespace

// Only a "V8" anywhere in the version text selects the WebLogic 8 layout.
TEST_P(RequestByVersion, MatchesTheAgentsDocumentByteForByte)
{
    const VersionCase c = GetParam();
    EXPECT_EQ(IsWls8(c.version), c.wls8);
    const wxString doc = BuildWlsRequest(Site(c.version));
    EXPECT_EQ(doc, Expected(ProdDomain, c.wls8));
    EXPECT_EQ(doc.find('\n'), wxString::npos);
    EXPECT_EQ(doc.find('\r'), wxString::npos);
}

INSTANTIATE_TEST_SUITE_P(Versions, RequestByVersion,
                         ::testing::Values(VersionCase{"WebLogic V8", true},
                                           VersionCase{"WebLogic V9", false},
                                           VersionCase{"WebLogic V10", false},
                                           VersionCase{"", false},
                                           VersionCase{"v8", false}));

TEST(WlsRequest, EmptySiteFieldsGiveEmptyAttributes)
{
    EXPECT_EQ(BuildWlsRequest(SiteRecord()),
              Expected("<Domain name=\"localDomain\" adminAddress=\"\" adminPort=\"\"  "
                       "principal=\"\" password=\"\"/>",
                       false));
}

// Regression: a password holding XML specials used to break the document or
// inject elements; every value is now escaped and reads back unchanged.
TEST(WlsRequest, EscapesSpecialsInEveryDomainValue)
{
    SiteRecord site = Site("WebLogic V10");
    site.SitePwd = "p\"&<>;w";
    site.SiteAuth = "a<b";
    site.SiteIP = "h&h";
    site.WlsAdminURL = "70\"01";
    EXPECT_EQ(BuildWlsRequest(site),
              Expected("<Domain name=\"localDomain\" adminAddress=\"h&amp;h\" "
                       "adminPort=\"70&quot;01\"  principal=\"a&lt;b\" "
                       "password=\"p&quot;&amp;&lt;&gt;;w\"/>",
                       false));
    EXPECT_EQ(EscapeXmlAttribute(wxString::FromUTF8("caf\xc3\xa9 'x'")),
              wxString::FromUTF8("caf\xc3\xa9 'x'"));
}

// Regression: server names and addresses from the agent go into the dump
// document escaped like the request values.
TEST(WlsThreadDumpRequest, DumpLinesAreEscaped)
{
    EXPECT_EQ(ThreadDumpLine("a\"b", "<h>", "&1"),
              "<Server name=\"a&quot;b\" url=\"&lt;h&gt;:&amp;1\" dumpCount=\"2\" />");
    EXPECT_EQ(JdbcDumpLine("x&y", "N/A", "N/A"),
              "<Server name=\"x&amp;y\" url=\"N/A:N/A\" dumpCount=\"3\"/>");
}
