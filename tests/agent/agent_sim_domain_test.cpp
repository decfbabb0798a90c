// The stand-in agent's synthetic domains, in process: the documents carry the
// elements and attributes the console reads, and every alarm the console
// knows comes up within a few hundred polls. That a seed replays the same
// sequence is shown on the wire.
#include "sim_options.h"
#include "tux_domain.h"
#include "wls_domain.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <iterator>
#include <map>
#include <set>

namespace
{
constexpr long long Epoch = 1700000000;

pugi::xml_node LoadMonitor(pugi::xml_document& doc, const std::string& text)
{
    const pugi::xml_parse_result r = doc.load_buffer(text.data(), text.size());
    EXPECT_TRUE(r) << r.description();
    const pugi::xml_node root = doc.document_element();
    EXPECT_STREQ(root.name(), "MONITOR");
    EXPECT_FALSE(root.attribute("Date").empty());
    return root;
}

void ExpectAttributes(const pugi::xml_node& node, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        EXPECT_FALSE(node.attribute(name).empty()) << node.name() << " lacks " << name;
}

long Count(const pugi::xml_node& root, const char* element)
{
    const auto children = root.children(element);
    return std::distance(children.begin(), children.end());
}

long Number(const pugi::xml_node& node, const char* attribute)
{
    return std::atol(node.attribute(attribute).value());
}
} // namespace

// --- Tuxedo --------------------------------------------------------------

TEST(TuxDomainReport, CarriesEveryElementAndAttribute)
{
    TuxDomain::Config config;
    config.servers = 30;
    config.queues = 7;
    config.clients = 25;
    TuxDomain domain(config, Epoch - 3600);
    pugi::xml_document doc;
    const pugi::xml_node root = LoadMonitor(doc, domain.Report(Epoch));
    ExpectAttributes(root.child("INITBUF"), {"TuxVersion", "OSVersion", "TuxBootAt", "AgentVersion"});
    const pugi::xml_node system = root.child("SYSTEM");
    ExpectAttributes(system, {"FreeMem", "IdleCPU", "SvrCnt", "QueCnt", "CltCnt"});
    for (const char* present : {"CoreFind", "ErrorFind", "WarnFind", "LargeFile"})
        EXPECT_TRUE(system.attribute(present)) << present; // empty, but there
    EXPECT_EQ(Count(root, "QUEUE"), 7);
    EXPECT_EQ(Count(root, "SERVER"), 30);
    EXPECT_EQ(Count(root, "CLIENT"), 25);
    EXPECT_EQ(Number(system, "SvrCnt"), 30);
    EXPECT_EQ(Number(system, "QueCnt"), 7);
    EXPECT_EQ(Number(system, "CltCnt"), 25);
    for (auto q : root.children("QUEUE"))
        ExpectAttributes(q, {"Server", "Queueid", "SrvCnt", "Queued"});
    for (auto s : root.children("SERVER"))
        ExpectAttributes(s, {"Server", "Queueid", "ProcessID", "RqDone", "CurrSvc", "SvrMin",
                             "SvrMax", "UseMem"});
    for (auto c : root.children("CLIENT"))
        ExpectAttributes(c, {"Name", "ClientPID", "ClientAddr", "Status", "ConTime"});
    EXPECT_FALSE(root.child("ERROR"));

    // An error reason is escaped into its attribute.
    pugi::xml_document withError;
    EXPECT_STREQ(LoadMonitor(withError, domain.Report(Epoch, "BBL <down> & \"gone\""))
                     .child("ERROR")
                     .attribute("Reason")
                     .value(),
                 "BBL <down> & \"gone\"");
}

// Every condition of the Tuxedo alarm evaluation turns up: a server missing
// from one report to the next (died), one back with a new process id, one
// busy or idle with its requests-done count standing still, a queue over a
// threshold, a core file, clients coming and going.
TEST(TuxDomainMoves, EveryAlarmHappens)
{
    TuxDomain::Config config;
    config.servers = 24;
    config.queues = 12;
    config.clients = 40;
    config.seed = 7;
    TuxDomain domain(config, Epoch);
    std::map<std::string, std::pair<std::string, std::string>> previous; // pid -> rqDone, svc
    std::set<std::string> firstClients;
    std::map<std::string, bool> seen; // each alarm condition, once it turned up
    int previousServers = config.servers;
    for (int poll = 0; poll < 300; ++poll)
    {
        domain.Step(Epoch + poll * 30);
        pugi::xml_document doc;
        const std::string text = domain.Report(Epoch + poll * 30);
        const pugi::xml_node root = LoadMonitor(doc, text);
        std::map<std::string, std::pair<std::string, std::string>> current;
        int servers = 0;
        for (auto s : root.children("SERVER"))
        {
            ++servers;
            const std::string pid = s.attribute("ProcessID").value();
            const std::string rq = s.attribute("RqDone").value();
            const std::string svc = s.attribute("CurrSvc").value();
            current[pid] = {rq, svc};
            auto before = previous.find(pid);
            if (before == previous.end())
                seen["new pid"] |= poll > 0;
            else if (before->second.first == rq)
            {
                seen["busy still"] |= svc != "IDLE" && before->second.second == svc;
                seen["idle still"] |= svc == "IDLE";
            }
            else
                seen["requests grew"] |= std::atol(rq.c_str()) > std::atol(before->second.first.c_str());
        }
        seen["died"] |= servers < previousServers;
        previousServers = servers;
        previous = current;
        EXPECT_EQ(Number(root.child("SYSTEM"), "SvrCnt"), servers);
        for (auto q : root.children("QUEUE"))
            seen["queued"] |= Number(q, "Queued") > 10;
        seen["core"] |= *root.child("SYSTEM").attribute("CoreFind").value() != '\0';
        std::set<std::string> clients;
        for (auto c : root.children("CLIENT"))
            clients.insert(c.attribute("Name").value());
        if (poll == 0)
            firstClients = clients;
        for (const std::string& name : clients)
            seen["client joined"] |= !firstClients.count(name);
        for (const std::string& name : firstClients)
            seen["client left"] |= !clients.count(name);
    }
    for (const char* condition : {"new pid", "busy still", "idle still", "requests grew", "died",
                                  "queued", "core", "client joined", "client left"})
        EXPECT_TRUE(seen[condition]) << condition;
}

// --- WebLogic ------------------------------------------------------------

struct WlsLayoutCase
{
    const char* name;
    int version;
    bool v8Layout;
    const char* threadElement;
    const char* jdbcElement;
    const char* activation;
};

class WlsDomainLayout : public ::testing::TestWithParam<WlsLayoutCase>
{
};

TEST_P(WlsDomainLayout, CarriesTheElementsOfTheLayout)
{
    const WlsLayoutCase& c = GetParam();
    WlsDomain::Config config;
    config.servers = 3;
    config.pools = 2;
    config.version = c.version;
    WlsDomain domain(config, Epoch);
    pugi::xml_document doc;
    const pugi::xml_node root = LoadMonitor(doc, domain.Report(Epoch, c.v8Layout));
    ExpectAttributes(root.child("INITBUF"),
                     {"DomainVersion", c.activation, "ServerNum", "Name", "AdminServerName",
                      "JDKVendor", "JDKVersion", "OSName", "OSVersion", "ProductionModeEnabled",
                      "AgentVersion", "GuardianEnabled", "RootDirectory"});
    EXPECT_TRUE(root.child("SYSTEM").attribute("errMsg"));
    EXPECT_EQ(Count(root, "ServerRuntime"), 3);
    EXPECT_EQ(Count(root, "JVMRuntime"), 3);
    EXPECT_EQ(Count(root, c.jdbcElement), 6);
    for (auto s : root.children("ServerRuntime"))
        ExpectAttributes(s, {"serverName", "ListenPort", "State", "HealthState", "ListenAddress"});
    for (auto j : root.children("JVMRuntime"))
        ExpectAttributes(j, {"serverName", "JavaVendor", "JavaVersion", "HeapFreeCurrent",
                             "HeapSizeCurrent", "HeapSizeMax", "HeapFreePercent"});
    for (auto p : root.children(c.jdbcElement))
        ExpectAttributes(p, {"serverName", "ActiveConnectionsCurrentCount",
                             "ActiveConnectionsHighCount", "CurrCapacity",
                             "LeakedConnectionCount", "Name", "State"});
    if (c.v8Layout)
    {
        int kernelDefault = 0;
        for (auto q : root.children(c.threadElement))
        {
            ExpectAttributes(q, {"serverName", "ExecuteThreadCurrentIdleCount",
                                 "ExecuteThreadTotalCount", "ServicedRequestTotalCount",
                                 "PendingRequestCurrentCount", "Name"});
            kernelDefault += std::string(q.attribute("Name").value()) == "weblogic.kernel.Default";
        }
        EXPECT_EQ(kernelDefault, 3);
        EXPECT_FALSE(root.child("ThreadPoolRuntime"));
    }
    else
    {
        EXPECT_EQ(Count(root, c.threadElement), 3);
        for (auto t : root.children(c.threadElement))
            ExpectAttributes(t, {"serverName", "ExecuteThreadIdleCount", "ExecuteThreadTotalCount",
                                 "Throughput", "QueueLength"});
        EXPECT_FALSE(root.child("ExecuteQueueRuntime"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, WlsDomainLayout,
    ::testing::Values(
        WlsLayoutCase{"V8", 8, true, "ExecuteQueueRuntime", "JDBCConnectionPoolRuntime",
                      "ActivationTime"},
        WlsLayoutCase{"V10", 10, false, "ThreadPoolRuntime",
                      "JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans", "Activationtime"}),
    [](const ::testing::TestParamInfo<WlsLayoutCase>& info) { return info.param.name; });

// Low free heap, few idle threads, an exhausted pool and a failed server all
// turn up, and the failed server comes back.
TEST(WlsDomainMoves, EveryAlarmHappens)
{
    WlsDomain::Config config;
    config.servers = 4;
    config.pools = 2;
    config.seed = 3;
    WlsDomain domain(config, Epoch);
    std::map<std::string, bool> seen;
    std::set<std::string> down;
    for (int poll = 0; poll < 300; ++poll)
    {
        domain.Step();
        pugi::xml_document doc;
        const pugi::xml_node root = LoadMonitor(doc, domain.Report(Epoch + poll, false));
        for (auto j : root.children("JVMRuntime"))
            seen["low heap"] |= Number(j, "HeapFreePercent") < 20;
        for (auto t : root.children("ThreadPoolRuntime"))
            seen["few threads"] |= Number(t, "ExecuteThreadIdleCount") * 10 <
                                   Number(t, "ExecuteThreadTotalCount");
        for (auto p : root.children("JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans"))
            seen["pool full"] |= Number(p, "ActiveConnectionsCurrentCount") == Number(p, "CurrCapacity");
        for (auto s : root.children("ServerRuntime"))
        {
            const std::string name = s.attribute("serverName").value();
            if (std::string(s.attribute("State").value()) == "FAILED")
            {
                seen["failed"] = true;
                EXPECT_NE(std::string(s.attribute("HealthState").value()).find("HEALTH_FAILED"),
                          std::string::npos);
                down.insert(name);
            }
            else if (down.erase(name))
                seen["back"] = true;
        }
    }
    for (const char* condition : {"low heap", "few threads", "pool full", "failed", "back"})
        EXPECT_TRUE(seen[condition]) << condition;
}

TEST(WlsThreadDump, AnswerNamesTheServers)
{
    struct Case
    {
        const char* request;
        const char* expected;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent>"
         "<Server name=\"ms1\" url=\"10.0.0.1:7002\" dumpCount=\"3\"/>"
         "<Server name=\"ms2\" url=\"10.0.0.2:7003\" dumpCount=\"2\" /></wlsagent>",
         "Thread dumps taken: ms1 (10.0.0.1:7002) x3, ms2 (10.0.0.2:7003) x2"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent></wlsagent>",
         "No server named for a thread dump"},
        {"<wlsagent><Server name=", "Thread dump request is not well-formed XML"},
    };
    for (const Case& c : cases)
    {
        pugi::xml_document doc;
        const pugi::xml_node root = LoadMonitor(doc, ThreadDumpAnswer(Epoch, c.request));
        EXPECT_STREQ(root.child("SYSTEM").attribute("errMsg").value(), c.expected);
    }
}

TEST(WlsRequest, LayoutFollowsTheRequestedMBeans)
{
    const std::string v8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wlsagent>"
                           "<Domain name=\"localDomain\" adminAddress=\"h\" adminPort=\"7001\" />"
                           "<MBean mBeanType=\"runtime\" name=\"JVMRuntime\"></MBean>"
                           "<MBean mBeanType=\"runtime\" name=\"ExecuteQueueRuntime\"></MBean>"
                           "</wlsagent>";
    const std::string v10 = "<wlsagent><MBean mBeanType=\"runtime\" name=\"ThreadPoolRuntime\">"
                            "</MBean></wlsagent>";
    EXPECT_TRUE(RequestAsksV8(v8, 10));
    EXPECT_FALSE(RequestAsksV8(v10, 8));
    EXPECT_TRUE(RequestAsksV8("not xml", 8));
    EXPECT_FALSE(RequestAsksV8("", 10));
}

// --- command line ----------------------------------------------------------

TEST(SimOptionsParse, AcceptsAndRefuses)
{
    struct Case
    {
        std::vector<std::string> args;
        bool ok;
    } cases[] = {
        {{}, true},
        {{"--weblogic", "--version", "8", "--servers", "6", "--pools=3"}, true},
        {{"--tuxedo", "--servers", "2000", "--queues", "500", "--clients", "10000"}, true},
        {{"--script", "/tmp", "--script-loop"}, true},
        {{"--bad-length", "huge", "--fault-after", "2", "--slow", "100"}, true},
        {{"--tuxedo", "--weblogic"}, false},
        {{"--version", "7"}, false},
        {{"--port", "70000"}, false},
        {{"--servers", "many"}, false},
        {{"--bad-length", "odd"}, false},
        {{"--slow"}, false},
        {{"--bad-handshake", "--no-handshake"}, false},
        {{"--frobnicate"}, false},
    };
    for (const Case& c : cases)
    {
        SimOptions o;
        std::string error;
        EXPECT_EQ(ParseSimOptions(c.args, o, error), c.ok)
            << (c.args.empty() ? std::string("(none)") : c.args[0]) << ": " << error;
        EXPECT_EQ(error.empty(), c.ok);
    }
    SimOptions o;
    std::string error;
    ASSERT_TRUE(ParseSimOptions({"--weblogic", "--pools=3", "--error", "x & y"}, o, error));
    EXPECT_EQ(o.mode, SimOptions::Mode::WebLogic);
    EXPECT_EQ(o.pools, 3);
    EXPECT_EQ(o.Servers(), 4);
    EXPECT_EQ(o.errorText, "x & y");
}
