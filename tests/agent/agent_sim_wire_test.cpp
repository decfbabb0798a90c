// The stand-in agent program against the real AgentLink: its conversations,
// the scenario mode and every fault flag.
#include "agent/agent_link.h"
#include "agent/agent_peers.h"
#include "agent/sim_process.h"
#include "common/ids.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <fstream>

namespace
{
const std::vector<std::string> SmallTuxedo = {"--tuxedo", "--servers", "6", "--queues", "3",
                                              "--clients", "5", "--epoch", "1700000000"};

std::vector<std::string> With(std::vector<std::string> args, std::initializer_list<const char*> more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// A link connected to a fresh stand-in agent.
struct SimLink
{
    explicit SimLink(const std::vector<std::string>& args, int ioMs = 3000)
        : sim(args), link(ShortTimeouts(ioMs))
    {
    }
    bool Connect() { return sim.Port() && link.Connect("127.0.0.1", sim.Port()) == 1; }
    bool Open() { return Connect() && link.Handshake() == 1; }
    std::string Poll(char command = ']', const std::string& payload = "")
    {
        return link.RequestBytes(command, payload);
    }

    SimProcess sim;
    AgentLink link;
};

bool IsMonitor(const std::string& text, pugi::xml_document& doc)
{
    return doc.load_buffer(text.data(), text.size()) &&
           std::string(doc.document_element().name()) == "MONITOR";
}

bool IsMonitor(const std::string& text)
{
    pugi::xml_document doc;
    return IsMonitor(text, doc);
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

TEST(AgentSim, HelpAndBadCommandLine)
{
    std::string output;
    EXPECT_EQ(SimProcess::RunToEnd({"--help"}, output), 0);
    EXPECT_NE(output.find("--bad-length"), std::string::npos);
    EXPECT_EQ(SimProcess::RunToEnd({"--servers", "lots"}, output), 2);
    EXPECT_EQ(SimProcess::RunToEnd({"--script", "/nonexistent-corvane-dir"}, output), 2);
}

// Each connection is a conversation of its own: its own domain from the seed,
// so a second console sees the sequence from the start, whatever the first
// one did meanwhile; another seed gives another sequence.
TEST(AgentSim, ConversationsAreKeptApartAndFollowTheSeed)
{
    SimLink a(With(SmallTuxedo, {"--seed", "11"}));
    ASSERT_NE(a.sim.Port(), 0) << "first line: " << a.sim.FirstLine();
    ASSERT_TRUE(a.Open());
    AgentLink b(ShortTimeouts());
    ASSERT_EQ(b.Connect("127.0.0.1", a.sim.Port()), 1);
    ASSERT_EQ(b.Handshake(), 1);

    std::vector<std::string> seenByA = {a.Poll('^')};
    for (int i = 0; i < 3; ++i)
        seenByA.push_back(a.Poll());
    pugi::xml_document first, second;
    ASSERT_TRUE(IsMonitor(seenByA[0], first));
    ASSERT_TRUE(IsMonitor(seenByA[1], second));
    EXPECT_TRUE(first.document_element().child("SERVER"));
    EXPECT_STRNE(first.document_element().attribute("Date").value(),
                 second.document_element().attribute("Date").value());
    EXPECT_NE(seenByA[1], seenByA[2]);
    EXPECT_EQ(b.RequestBytes('^', ""), seenByA[0]);
    EXPECT_EQ(b.RequestBytes(']', ""), seenByA[1]);
    EXPECT_EQ(b.Close(), 1);

    SimLink other(With(SmallTuxedo, {"--seed", "12"}));
    ASSERT_TRUE(other.Open());
    const std::vector<std::string> seenByOther = {other.Poll('^'), other.Poll(), other.Poll(), other.Poll()};
    EXPECT_NE(seenByOther, seenByA);
}

TEST(AgentSim, WebLogicRequestAndThreadDump)
{
    SimLink s({"--weblogic", "--version", "8", "--servers", "3", "--pools", "1"});
    ASSERT_TRUE(s.Open());
    pugi::xml_document report;
    ASSERT_TRUE(IsMonitor(s.Poll('^', WlsRequestV8), report));
    EXPECT_TRUE(report.document_element().child("ExecuteQueueRuntime"));
    EXPECT_TRUE(report.document_element().child("JDBCConnectionPoolRuntime"));
    EXPECT_TRUE(report.document_element().child("INITBUF").attribute("ActivationTime"));

    pugi::xml_document dump;
    ASSERT_TRUE(IsMonitor(s.Poll('a', "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent>"
                                      "<Server name=\"ManagedServer_1\" url=\"10.0.1.11:7002\" "
                                      "dumpCount=\"2\" /></wlsagent>"),
                          dump));
    EXPECT_STREQ(dump.document_element().child("SYSTEM").attribute("errMsg").value(),
                 "Thread dumps taken: ManagedServer_1 (10.0.1.11:7002) x2");
    // The conversation is still in step after both payloads.
    EXPECT_TRUE(IsMonitor(s.Poll()));
}

// Regression: a WebLogic console pointed at a Tuxedo agent: the request
// document is read as a payload, not taken for commands, and the
// conversation stays in step.
TEST(AgentSim, TuxedoAgentReadsAStrayRequestDocument)
{
    SimLink s(SmallTuxedo);
    ASSERT_TRUE(s.Open());
    pugi::xml_document doc;
    ASSERT_TRUE(IsMonitor(s.Poll('^', WlsRequestV8), doc));
    EXPECT_TRUE(doc.document_element().child("SERVER"));
    EXPECT_TRUE(IsMonitor(s.Poll()));
    EXPECT_EQ(s.link.IsAlive(), 1);
}

class AgentSimScript : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/corvane-sim-script-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        // Written out of order: they are served in name order.
        for (const auto& [name, text] : m_files)
            std::ofstream(m_dir + "/" + name, std::ios::binary) << text;
    }
    void TearDown() override
    {
        for (const auto& file : m_files)
            std::remove((m_dir + "/" + file.first).c_str());
        ::rmdir(m_dir.c_str());
    }
    const std::vector<std::pair<std::string, std::string>> m_files = {
        {"20-second.xml", "<MONITOR Date=\"2\"/>"},
        {"10-first.xml", "<MONITOR Date=\"1\"/>"},
        {"30-third.txt", "not even XML"}};
    std::string m_dir;
};

TEST_F(AgentSimScript, ServesFilesInNameOrderThenRepeatsTheLast)
{
    SimLink s({"--script", m_dir});
    ASSERT_TRUE(s.Open());
    EXPECT_EQ(s.Poll('^'), "<MONITOR Date=\"1\"/>");
    EXPECT_EQ(s.Poll(), "<MONITOR Date=\"2\"/>");
    EXPECT_EQ(s.Poll('a', "<wlsagent/>"), "not even XML");
    EXPECT_EQ(s.Poll(), "not even XML");
}

TEST_F(AgentSimScript, LoopsAndTellsAWebLogicStartFromATuxedoOne)
{
    SimLink s({"--script", m_dir, "--script-loop"});
    ASSERT_TRUE(s.Open());
    // A '^' with a request document: the payload is read, not taken for commands.
    EXPECT_EQ(s.Poll('^', WlsRequestV8), "<MONITOR Date=\"1\"/>");
    EXPECT_EQ(s.Poll(), "<MONITOR Date=\"2\"/>");
    EXPECT_EQ(s.Poll(), "not even XML");
    EXPECT_EQ(s.Poll('^'), "<MONITOR Date=\"1\"/>");
}

// --- fault flags against the real link -------------------------------------

TEST(AgentSimFaults, BadOrNoHandshakeAnswer)
{
    for (const char* flag : {"--bad-handshake", "--no-handshake"})
    {
        SimLink s(With(SmallTuxedo, {flag}), 300);
        ASSERT_TRUE(s.Connect()) << flag;
        EXPECT_EQ(s.link.Handshake(), -1) << flag;
        EXPECT_EQ(s.link.IsAlive(), -1) << flag;
    }
}

TEST(AgentSimFaults, CloseInTheMiddleOfAReply)
{
    SimLink s(With(SmallTuxedo, {"--close-mid-reply", "--fault-after", "1"}));
    SocketEventRecorder recorder;
    s.link.SetEventTarget(&recorder, CorvaneId::TuxedoSocket);
    ASSERT_TRUE(s.Open());
    const std::string whole = s.Poll('^');
    ASSERT_TRUE(IsMonitor(whole));
    const std::string part = s.Poll();
    EXPECT_FALSE(part.empty());
    EXPECT_FALSE(IsMonitor(part));
    EXPECT_EQ(part.compare(0, 38, whole, 0, 38), 0); // the same document, cut short
    EXPECT_TRUE(recorder.WaitForEvent());
    EXPECT_EQ(s.link.IsAlive(), -1);
}

TEST(AgentSimFaults, ReplyInSmallPiecesArrivesWhole)
{
    SimLink s(With(SmallTuxedo, {"--trickle", "15"}));
    ASSERT_TRUE(s.Open());
    EXPECT_TRUE(IsMonitor(s.Poll('^')));
    EXPECT_TRUE(IsMonitor(s.Poll()));
}

TEST(AgentSimFaults, BrokenLengthFields)
{
    for (const char* kind : {"nonnumeric", "negative", "huge"})
    {
        SCOPED_TRACE(kind);
        SimLink s(With(SmallTuxedo, {"--bad-length", kind}), 500);
        ASSERT_TRUE(s.Open());
        EXPECT_EQ(s.Poll('^'), "");
        EXPECT_EQ(s.link.IsAlive(), -1); // the reply's end is unknown: dropped
    }
}

TEST(AgentSimFaults, SlowReply)
{
    SimLink late(With(SmallTuxedo, {"--slow", "800"}), 200);
    ASSERT_TRUE(late.Open());
    EXPECT_EQ(late.Poll('^'), ""); // the read time-out ends it
    EXPECT_EQ(late.link.IsAlive(), -1);

    SimLink patient(With(SmallTuxedo, {"--slow", "100"}), 3000);
    ASSERT_TRUE(patient.Open());
    EXPECT_TRUE(IsMonitor(patient.Poll('^')));
}

TEST(AgentSimFaults, ErrorElement)
{
    SimLink tux(With(SmallTuxedo, {"--error", "TUXCONFIG <not> found & gone"}));
    ASSERT_TRUE(tux.Open());
    pugi::xml_document doc;
    ASSERT_TRUE(IsMonitor(tux.Poll('^'), doc));
    EXPECT_STREQ(doc.document_element().child("ERROR").attribute("Reason").value(),
                 "TUXCONFIG <not> found & gone");

    SimLink wls({"--weblogic", "--error", "admin server unreachable"});
    ASSERT_TRUE(wls.Open());
    ASSERT_TRUE(IsMonitor(wls.Poll('^', WlsRequestV8), doc));
    EXPECT_STREQ(doc.document_element().child("SYSTEM").attribute("errMsg").value(),
                 "admin server unreachable");
}

TEST(AgentSimFaults, CloseAfterPolls)
{
    SimLink s(With(SmallTuxedo, {"--close-after", "2"}));
    SocketEventRecorder recorder;
    s.link.SetEventTarget(&recorder, CorvaneId::TuxedoSocket);
    ASSERT_TRUE(s.Open());
    EXPECT_TRUE(IsMonitor(s.Poll('^')));
    EXPECT_TRUE(IsMonitor(s.Poll()));
    EXPECT_TRUE(IsMonitor(s.Poll()));
    EXPECT_TRUE(recorder.WaitForEvent());
    EXPECT_EQ(s.Poll(), "");
}
