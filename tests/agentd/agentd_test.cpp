// corvane-agent between the console's own link and report parser and the
// fake WebLogic admin server: a healthy domain, a server down, and each fault
// the agent must turn into a report that says why, with the link kept.
#include "agent/agent_link.h"
#include "common/text.h"
#include "support/temp_home.h"
#include "weblogic/wls_model.h"
#include "weblogic/wls_request.h"
#include "wls_fixture.h"
#include "wls_snapshot.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <thread>

namespace
{
// A console's link to the agent: Start, then polls, read by the console's parser.
struct ConsoleLink
{
    AgentLink link;
    WlsModel model;
    ConsoleLink(unsigned short agentPort, const SiteRecord& site)
    {
        model.SetSite(site);
        EXPECT_EQ(link.Connect("127.0.0.1", agentPort), 1);
        EXPECT_EQ(link.Handshake(), 1);
    }
    int Exchange(char command, const wxString& payload = wxString())
    {
        return model.ParseWlsReport(link.RequestBytes(command, ToUtf8(payload)));
    }
    std::string ErrMsg() const { return ToUtf8(model.Summary().errMsg); }
};

struct FaultCase
{
    const char* name;
    std::vector<std::string> fake;
    std::vector<std::string> agent;
    const char* password;
    size_t servers; // server rows (a down one included)
    size_t jvms;
    std::vector<const char*> causes; // in errMsg and in the agent's log; none: errMsg empty
};

const FaultCase Cases[] = {
    {"Healthy", {}, {}, WlsPassword, 3, 3, {}},
    // Absent from serverRuntimes, listed from the configuration as SHUTDOWN.
    {"ManagedServerDown", {"--down", "ManagedServer_1"}, {}, WlsPassword, 3, 2, {}},
    {"WrongPassword", {}, {}, "not-the-password", 0, 0, {"HTTP 401"}},
    {"RestOff", {"--rest-off"}, {}, WlsPassword, 0, 0, {"HTTP 404"}},
    // Its JVM row says so; the others are whole.
    {"SlowManagedServer", {"--slow", "ManagedServer_2:3000"}, {"--timeout-ms", "1000"}, WlsPassword, 3, 3,
     {"no answer from the admin server within 1 s (ManagedServer_2 JVMRuntime)"}},
    {"HangingAdmin", {"--hang"}, {"--timeout-ms", "1000"}, WlsPassword, 0, 0, {"no answer from the admin server within 1 s"}},
    {"MissingFieldsAndWrongTypes", {"--missing-fields"}, {}, WlsPassword, 3, 3,
     {"missing heapFreePercent", "wrong type of executeThreadTotalCount"}},
    {"HugeAnswer", {"--huge"}, {"--max-answer-bytes", "65536"}, WlsPassword, 0, 0, {"an answer over 64 KiB"}},
    {"UntrustedCertificate", {"--tls", "{CERT}", "{KEY}"}, {"--admin", "{HTTPS}"}, WlsPassword, 0, 0,
     {"TLS failure"}},
    {"InternalCa", {"--tls", "{CERT}", "{KEY}"}, {"--admin", "{HTTPS}", "--ca", "{CA}"}, WlsPassword,
     3, 3, {}},
};

class AgentFaults : public ::testing::TestWithParam<FaultCase>
{
protected:
    TempHome m_home;
    std::string Dir() const { return ToUtf8(m_home.Dir()); }
};
} // namespace

TEST_P(AgentFaults, ReportSaysWhyAndTheLinkStays)
{
    const FaultCase& c = GetParam();
    FakeWls fake(c.fake, Dir());
    ASSERT_GT(fake.Port(), 0);
    AgentUnderTest agent(c.agent, Dir(), fake);
    ASSERT_GT(agent.Port(), 0);
    const SiteRecord site = FakeSite(agent.Port(), fake.Port(), c.password);
    ConsoleLink console(agent.Port(), site);
    for (const char command : {'^', ']'})
    {
        ASSERT_EQ(console.Exchange(command, command == '^' ? BuildWlsRequest(site) : wxString()), 1)
            << command;
        EXPECT_EQ(console.model.Servers().size(), c.servers);
        EXPECT_EQ(console.model.Jvms().size(), c.jvms);
        for (const char* cause : c.causes)
            EXPECT_NE(console.ErrMsg().find(cause), std::string::npos) << console.ErrMsg();
        EXPECT_TRUE(!c.causes.empty() || console.ErrMsg().empty()) << console.ErrMsg();
    }
    EXPECT_TRUE(c.servers == c.jvms || console.model.Servers()[1].State == "SHUTDOWN");
    if (c.servers > 0)
    {
        EXPECT_EQ(console.model.Servers()[0].Health, "HEALTH_OK");
        EXPECT_EQ(console.model.Summary().DomainName, "base_domain");
    }
    const std::string log = agent.Log();
    for (const char* cause : c.causes)
        EXPECT_NE(log.find(cause), std::string::npos) << log;
    EXPECT_EQ(log.find(WlsPassword), std::string::npos) << log;
    const nlohmann::json stats = fake.Stats();
    EXPECT_EQ(stats["password_in_request"], 0);
    EXPECT_TRUE(stats["password_in_cmdline"].empty()) << stats.dump();
}

INSTANTIATE_TEST_SUITE_P(Agentd, AgentFaults, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// 'a': each named server's dumps are written and counted; a server the
// domain does not run gets its own error text.
TEST(Agentd, ThreadDumpsOfTheNamedServers)
{
    TempHome home;
    const std::string dir = ToUtf8(home.Dir());
    FakeWls fake({}, dir);
    AgentUnderTest agent({}, dir, fake);
    const SiteRecord site = FakeSite(agent.Port(), fake.Port(), WlsPassword);
    ConsoleLink console(agent.Port(), site);
    ASSERT_EQ(console.Exchange('^', BuildWlsRequest(site)), 1);
    const wxString lines = JdbcDumpLine("ManagedServer_2", "127.0.0.12", "7003") +
                           ThreadDumpLine("NoSuchServer", "10.0.0.1", "7001");
    ASSERT_EQ(console.Exchange('a', BuildThreadDumpRequest(lines)), 1);
    EXPECT_EQ(console.ErrMsg().rfind("Thread dumps taken: ManagedServer_2 x3 in " + dir + "; no dump of NoSuchServer: HTTP 404", 0), 0u)
        << console.ErrMsg();
    int files = 0;
    for (int n = 1; n <= 3; ++n)
        files += wxFindFirstFile(home.Dir() + wxString::Format("/ManagedServer_2-*-%d.txt", n)).empty() ? 0 : 1;
    EXPECT_EQ(files, 3);
    ASSERT_EQ(console.Exchange(']'), 1); // the link goes on
    EXPECT_EQ(console.model.Servers().size(), 3u);
}

// Several consoles poll one agent at once, each with its own whole reports.
TEST(Agentd, SeveralConsolesAtOnce)
{
    TempHome home;
    FakeWls fake({"--servers", "6"}, ToUtf8(home.Dir()));
    AgentUnderTest agent({}, ToUtf8(home.Dir()), fake);
    const SiteRecord site = FakeSite(agent.Port(), fake.Port(), WlsPassword);
    std::vector<std::thread> consoles;
    std::vector<int> whole(4, 0);
    for (int& count : whole)
        consoles.emplace_back(
            [&]
            {
                ConsoleLink console(agent.Port(), site);
                for (int poll = 0; poll < 4; ++poll)
                    count += console.Exchange(poll ? ']' : '^', poll ? wxString() : BuildWlsRequest(site)) == 1 &&
                             console.model.JdbcPools().size() == 12 && console.ErrMsg().empty();
            });
    for (std::thread& t : consoles)
        t.join();
    EXPECT_EQ(whole, std::vector<int>(4, 4));
}

// What REST hands over, as the console must read it.
TEST(Agentd, RestShapesBecomeReportText)
{
    EXPECT_EQ(HealthToken("ok"), "HEALTH_OK");
    EXPECT_EQ(HealthToken("Critical"), "HEALTH_CRITICAL");
    EXPECT_EQ(HealthToken("HEALTH_WARN"), "HEALTH_WARN");
    EXPECT_EQ(NormaliseListenAddress("wls-1.example/10.0.0.11"), "10.0.0.11");
    EXPECT_EQ(NormaliseListenAddress("wls-1.example/"), "wls-1.example");
    EXPECT_EQ(RestField("OSName"), "OSName");
    EXPECT_EQ(RestField("HeapFreeCurrent"), "heapFreeCurrent");
    ReportElement e;
    const auto json = nlohmann::json::parse(R"({"name": "a\u0000b\nc", "listenPort": 7001.0,
        "throughput": 12.25, "state": null, "healthState": "ok"})");
    EXPECT_EQ(MapFields(json, {"Name", "ListenPort", "Throughput", "State", "HealthState", "QueueLength"}, e),
              "missing queueLength; wrong type of healthState");
    const decltype(e.attrs) expected = {{"Name", "a b c"}, {"ListenPort", "7001"}, {"Throughput", "12.25"}};
    EXPECT_EQ(e.attrs, expected);
    // Plain http only when asked for: the password would cross in clear.
    const std::string refused = BinDir() + "/corvane-agent --weblogic --listen 127.0.0.1:0 "
                                           "--admin http://127.0.0.1:7001 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(refused.c_str())), 2);
}
