// The stand-in agent program on the wire against the real AgentLink.
#include "agent/agent_link.h"
#include "agent/agent_peers.h"
#include "e2e/child_process.h"

#include <gtest/gtest.h>

// Regression: a WebLogic console pointed at a Tuxedo agent: the request
// document is read as a payload, not taken for commands, and the
// conversation stays in step.
TEST(AgentSim, TuxedoAgentReadsAStrayRequestDocument)
{
    SimAgent sim({"--tuxedo", "--servers", "6", "--queues", "3", "--clients", "5"});
    AgentLink link(ShortTimeouts());
    ASSERT_TRUE(OpenLink(link, sim.Port()));
    const std::string request =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wlsagent><Domain name=\"localDomain\" "
        "adminAddress=\"127.0.0.1\" adminPort=\"7001\"  principal=\"weblogic\" "
        "password=\"w&amp;1\"/>"
        "<MBean mBeanType=\"runtime\" "
        "name=\"ExecuteQueueRuntime\"><attribute>Name</attribute></MBean>"
        "<MBean mBeanType=\"runtime\" "
        "name=\"JDBCConnectionPoolRuntime\"><attribute>Name</attribute>"
        "</MBean></wlsagent>";
    EXPECT_NE(link.RequestBytes('^', request).find("<SERVER "), std::string::npos);
    EXPECT_NE(link.RequestBytes(']', "").find("<MONITOR"), std::string::npos);
    EXPECT_EQ(link.IsAlive(), 1);
}
