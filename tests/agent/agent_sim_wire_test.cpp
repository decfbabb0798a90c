// The stand-in agent program on the wire against the real AgentLink: what the
// panels, the end-to-end tests and the benchmarks rely on when they poll it.
#include "agent/agent_link.h"
#include "agent/agent_peers.h"
#include "agent/sim_process.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace
{
const std::vector<std::string> SmallTuxedo = {"--tuxedo", "--servers", "6", "--queues", "3",
                                              "--clients", "5", "--epoch", "1700000000"};

// A link open on a fresh stand-in agent.
struct SimLink
{
    explicit SimLink(const std::vector<std::string>& args) : sim(args), link(ShortTimeouts())
    {
        opened = sim.Port() && link.Connect("127.0.0.1", sim.Port()) == 1 && link.Handshake() == 1;
    }
    std::string Poll(char command = ']', const std::string& payload = "")
    {
        return link.RequestBytes(command, payload);
    }

    SimProcess sim;
    AgentLink link;
    bool opened = false;
};

// The document's root when it is a MONITOR report, else an empty node.
pugi::xml_node Monitor(pugi::xml_document& doc, const std::string& text)
{
    if (!doc.load_buffer(text.data(), text.size()) ||
        std::string(doc.document_element().name()) != "MONITOR")
        return pugi::xml_node();
    return doc.document_element();
}

const std::string WlsRequestV8 =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wlsagent><Domain name=\"localDomain\" "
    "adminAddress=\"127.0.0.1\" adminPort=\"7001\"  principal=\"weblogic\" password=\"w&amp;1\"/>"
    "<MBean mBeanType=\"runtime\" name=\"JVMRuntime\"><attribute>HeapFreeCurrent</attribute></MBean>"
    "<MBean mBeanType=\"runtime\" name=\"ServerRuntime\"><attribute>State</attribute></MBean>"
    "<MBean mBeanType=\"runtime\" name=\"ExecuteQueueRuntime\"><attribute>Name</attribute></MBean>"
    "<MBean mBeanType=\"runtime\" name=\"JDBCConnectionPoolRuntime\"><attribute>Name</attribute>"
    "</MBean></wlsagent>";
} // namespace

// '^' and ']' answer reports that move on; each connection is a conversation
// of its own from the seed, so a console that reconnects starts afresh.
TEST(AgentSim, TuxedoConversationsFollowTheSeed)
{
    SimLink a(SmallTuxedo);
    ASSERT_TRUE(a.opened) << "first line: " << a.sim.FirstLine();
    const std::vector<std::string> seen = {a.Poll('^'), a.Poll(), a.Poll()};
    pugi::xml_document first, second;
    ASSERT_TRUE(Monitor(first, seen[0]).child("SERVER"));
    ASSERT_TRUE(Monitor(second, seen[1]).child("SERVER"));
    EXPECT_STRNE(first.document_element().attribute("Date").value(),
                 second.document_element().attribute("Date").value());
    EXPECT_NE(seen[1], seen[2]);

    AgentLink b(ShortTimeouts());
    ASSERT_EQ(b.Connect("127.0.0.1", a.sim.Port()), 1);
    ASSERT_EQ(b.Handshake(), 1);
    EXPECT_EQ(b.RequestBytes('^', ""), seen[0]);
    EXPECT_EQ(b.RequestBytes(']', ""), seen[1]);
    EXPECT_EQ(b.Close(), 1);
}

// The request document and a thread-dump request travel as payloads, and the
// conversation stays in step after both.
TEST(AgentSim, WebLogicRequestAndThreadDump)
{
    SimLink s({"--weblogic", "--version", "8", "--servers", "3", "--pools", "1"});
    ASSERT_TRUE(s.opened);
    pugi::xml_document report, dump, next;
    const pugi::xml_node root = Monitor(report, s.Poll('^', WlsRequestV8));
    EXPECT_TRUE(root.child("ExecuteQueueRuntime"));
    EXPECT_TRUE(root.child("JDBCConnectionPoolRuntime"));
    EXPECT_STREQ(Monitor(dump, s.Poll('a', "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent>"
                                           "<Server name=\"ManagedServer_1\" url=\"10.0.1.11:7002\" "
                                           "dumpCount=\"2\" /></wlsagent>"))
                     .child("SYSTEM")
                     .attribute("errMsg")
                     .value(),
                 "Thread dumps taken: ManagedServer_1 (10.0.1.11:7002) x2");
    EXPECT_TRUE(Monitor(next, s.Poll()));
}

// Regression: a WebLogic console pointed at a Tuxedo agent: the request
// document is read as a payload, not taken for commands, and the
// conversation stays in step.
TEST(AgentSim, TuxedoAgentReadsAStrayRequestDocument)
{
    SimLink s(SmallTuxedo);
    ASSERT_TRUE(s.opened);
    pugi::xml_document doc, next;
    EXPECT_TRUE(Monitor(doc, s.Poll('^', WlsRequestV8)).child("SERVER"));
    EXPECT_TRUE(Monitor(next, s.Poll()));
    EXPECT_EQ(s.link.IsAlive(), 1);
}
