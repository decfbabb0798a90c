// The stand-in agent program against the real AgentLink: its conversations,
// the scenario mode and every fault flag.
#include "agent/agent_link.h"
#include "agent/agent_peers.h"
#include "agent/sim_process.h"
#include "common/ids.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <wx/app.h>
#include <wx/utils.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace
{
const std::vector<std::string> SmallTuxedo = {"--tuxedo",  "--servers", "6",       "--queues",
                                              "3",         "--clients", "5",       "--epoch",
                                              "1700000000"};

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

// Records the link's notifications (delivered on this thread).
class LostRecorder : public wxEvtHandler
{
public:
    LostRecorder() { Bind(wxEVT_SOCKET, [this](wxSocketEvent&) { ++lost; }); }
    bool Wait(int timeoutMs = 3000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (lost == 0 && std::chrono::steady_clock::now() < end)
        {
            wxAppConsole::GetInstance()->ProcessPendingEvents();
            wxMilliSleep(5);
        }
        return lost > 0;
    }
    int lost = 0;
};

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

TEST(AgentSim, TuxedoConversation)
{
    SimLink s(SmallTuxedo);
    ASSERT_NE(s.sim.Port(), 0) << "first line: " << s.sim.FirstLine();
    ASSERT_TRUE(s.Open());
    pugi::xml_document first, second;
    ASSERT_TRUE(IsMonitor(s.link.RequestBytes('^', ""), first));
    ASSERT_TRUE(IsMonitor(s.link.RequestBytes(']', ""), second));
    EXPECT_STRNE(first.document_element().attribute("Date").value(),
                 second.document_element().attribute("Date").value());
    EXPECT_TRUE(first.document_element().child("SERVER"));
    EXPECT_EQ(s.link.Close(), 1);
}

// Each connection is a conversation of its own: its own domain from the seed,
// so a second console sees the sequence from the start, whatever the first
// one did meanwhile.
TEST(AgentSim, ConversationsAreKeptApart)
{
    SimLink a(SmallTuxedo);
    ASSERT_TRUE(a.Open());
    AgentLink b(ShortTimeouts());
    ASSERT_EQ(b.Connect("127.0.0.1", a.sim.Port()), 1);
    ASSERT_EQ(b.Handshake(), 1);

    std::vector<std::string> seenByA;
    seenByA.push_back(a.link.RequestBytes('^', ""));
    for (int i = 0; i < 3; ++i)
        seenByA.push_back(a.link.RequestBytes(']', ""));
    EXPECT_EQ(b.RequestBytes('^', ""), seenByA[0]);
    EXPECT_EQ(b.RequestBytes(']', ""), seenByA[1]);
    EXPECT_NE(seenByA[1], seenByA[2]);
    b.Close();
}

TEST(AgentSim, SeedGivesTheSameSequence)
{
    auto sequence = [](const std::vector<std::string>& args)
    {
        SimLink s(args);
        std::vector<std::string> replies;
        if (!s.Open())
            return replies;
        replies.push_back(s.link.RequestBytes('^', ""));
        for (int i = 0; i < 5; ++i)
            replies.push_back(s.link.RequestBytes(']', ""));
        return replies;
    };
    const auto once = sequence(With(SmallTuxedo, {"--seed", "11"}));
    ASSERT_EQ(once.size(), 6u);
    EXPECT_EQ(sequence(With(SmallTuxedo, {"--seed", "11"})), once);
    EXPECT_NE(sequence(With(SmallTuxedo, {"--seed", "12"})), once);
}

TEST(AgentSim, WebLogicRequestAndThreadDump)
{
    SimLink s({"--weblogic", "--version", "8", "--servers", "3", "--pools", "1"});
    ASSERT_TRUE(s.Open());
    pugi::xml_document report;
    ASSERT_TRUE(IsMonitor(s.link.RequestBytes('^', WlsRequestV8), report));
    EXPECT_TRUE(report.document_element().child("ExecuteQueueRuntime"));
    EXPECT_TRUE(report.document_element().child("JDBCConnectionPoolRuntime"));
    EXPECT_TRUE(report.document_element().child("INITBUF").attribute("ActivationTime"));

    pugi::xml_document dump;
    ASSERT_TRUE(IsMonitor(
        s.link.RequestBytes('a', "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent>"
                                 "<Server name=\"ManagedServer_1\" url=\"10.0.1.11:7002\" "
                                 "dumpCount=\"2\" /></wlsagent>"),
        dump));
    EXPECT_STREQ(dump.document_element().child("SYSTEM").attribute("errMsg").value(),
                 "Thread dumps taken: ManagedServer_1 (10.0.1.11:7002) x2");
    // The conversation is still in step after both payloads.
    EXPECT_TRUE(IsMonitor(s.link.RequestBytes(']', "")));
}

// A WebLogic console pointed at a Tuxedo agent: the request document is read
// as a payload, not taken for commands, and the conversation stays in step.
TEST(AgentSim, TuxedoAgentReadsAStrayRequestDocument)
{
    SimLink s(SmallTuxedo);
    ASSERT_TRUE(s.Open());
    pugi::xml_document doc;
    ASSERT_TRUE(IsMonitor(s.link.RequestBytes('^', WlsRequestV8), doc));
    EXPECT_TRUE(doc.document_element().child("SERVER"));
    EXPECT_TRUE(IsMonitor(s.link.RequestBytes(']', "")));
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
        Write("20-second.xml", "<MONITOR Date=\"2\"/>");
        Write("10-first.xml", "<MONITOR Date=\"1\"/>");
        Write("30-third.txt", "not even XML");
    }
    void TearDown() override
    {
        for (const char* name : {"10-first.xml", "20-second.xml", "30-third.txt"})
            std::remove((m_dir + "/" + name).c_str());
        ::rmdir(m_dir.c_str());
    }
    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(m_dir + "/" + name, std::ios::binary) << text;
    }
    std::string m_dir;
};

TEST_F(AgentSimScript, ServesFilesInNameOrderThenRepeatsTheLast)
{
    SimLink s({"--script", m_dir});
    ASSERT_TRUE(s.Open());
    EXPECT_EQ(s.link.RequestBytes('^', ""), "<MONITOR Date=\"1\"/>");
    EXPECT_EQ(s.link.RequestBytes(']', ""), "<MONITOR Date=\"2\"/>");
    EXPECT_EQ(s.link.RequestBytes('a', "<wlsagent/>"), "not even XML");
    EXPECT_EQ(s.link.RequestBytes(']', ""), "not even XML");
}

TEST_F(AgentSimScript, LoopsAndTellsAWebLogicStartFromATuxedoOne)
{
    SimLink s({"--script", m_dir, "--script-loop"});
    ASSERT_TRUE(s.Open());
    // A '^' with a request document: the payload is read, not taken for commands.
    EXPECT_EQ(s.link.RequestBytes('^', WlsRequestV8), "<MONITOR Date=\"1\"/>");
    EXPECT_EQ(s.link.RequestBytes(']', ""), "<MONITOR Date=\"2\"/>");
    EXPECT_EQ(s.link.RequestBytes(']', ""), "not even XML");
    EXPECT_EQ(s.link.RequestBytes('^', ""), "<MONITOR Date=\"1\"/>");
}

// --- fault flags against the real link -------------------------------------

TEST(AgentSimFaults, BadHandshakeByte)
{
    SimLink s(With(SmallTuxedo, {"--bad-handshake"}));
    ASSERT_TRUE(s.Connect());
    EXPECT_EQ(s.link.Handshake(), -1);
    EXPECT_EQ(s.link.IsAlive(), -1);
}

TEST(AgentSimFaults, NoHandshakeAnswer)
{
    SimLink s(With(SmallTuxedo, {"--no-handshake"}), 300);
    ASSERT_TRUE(s.Connect());
    EXPECT_EQ(s.link.Handshake(), -1);
}

TEST(AgentSimFaults, CloseInTheMiddleOfAReply)
{
    SimLink s(With(SmallTuxedo, {"--close-mid-reply", "--fault-after", "1"}));
    LostRecorder recorder;
    s.link.SetEventTarget(&recorder, CorvaneId::TuxedoSocket);
    ASSERT_TRUE(s.Open());
    const std::string whole = s.link.RequestBytes('^', "");
    ASSERT_TRUE(IsMonitor(whole));
    const std::string part = s.link.RequestBytes(']', "");
    EXPECT_FALSE(part.empty());
    EXPECT_FALSE(IsMonitor(part));
    EXPECT_EQ(part.compare(0, 38, whole, 0, 38), 0); // the same document, cut short
    EXPECT_TRUE(recorder.Wait());
    EXPECT_EQ(s.link.IsAlive(), -1);
}

TEST(AgentSimFaults, ReplyInSmallPiecesArrivesWhole)
{
    SimLink s(With(SmallTuxedo, {"--trickle", "15"}));
    ASSERT_TRUE(s.Open());
    EXPECT_TRUE(IsMonitor(s.link.RequestBytes('^', "")));
    EXPECT_TRUE(IsMonitor(s.link.RequestBytes(']', "")));
}

TEST(AgentSimFaults, BrokenLengthFields)
{
    for (const char* kind : {"nonnumeric", "negative", "huge"})
    {
        SCOPED_TRACE(kind);
        SimLink s(With(SmallTuxedo, {"--bad-length", kind}), 500);
        ASSERT_TRUE(s.Open());
        EXPECT_EQ(s.link.RequestBytes('^', ""), "");
        EXPECT_EQ(s.link.IsAlive(), -1); // the reply's end is unknown: dropped
    }
}

TEST(AgentSimFaults, SlowReply)
{
    SimLink late(With(SmallTuxedo, {"--slow", "800"}), 200);
    ASSERT_TRUE(late.Open());
    EXPECT_EQ(late.link.RequestBytes('^', ""), ""); // the read time-out ends it
    EXPECT_EQ(late.link.IsAlive(), -1);

    SimLink patient(With(SmallTuxedo, {"--slow", "100"}), 3000);
    ASSERT_TRUE(patient.Open());
    EXPECT_TRUE(IsMonitor(patient.link.RequestBytes('^', "")));
}

TEST(AgentSimFaults, ErrorElement)
{
    SimLink tux(With(SmallTuxedo, {"--error", "TUXCONFIG <not> found & gone"}));
    ASSERT_TRUE(tux.Open());
    pugi::xml_document doc;
    ASSERT_TRUE(IsMonitor(tux.link.RequestBytes('^', ""), doc));
    EXPECT_STREQ(doc.document_element().child("ERROR").attribute("Reason").value(),
                 "TUXCONFIG <not> found & gone");

    SimLink wls({"--weblogic", "--error", "admin server unreachable"});
    ASSERT_TRUE(wls.Open());
    ASSERT_TRUE(IsMonitor(wls.link.RequestBytes('^', WlsRequestV8), doc));
    EXPECT_STREQ(doc.document_element().child("SYSTEM").attribute("errMsg").value(),
                 "admin server unreachable");
}

TEST(AgentSimFaults, CloseAfterPolls)
{
    SimLink s(With(SmallTuxedo, {"--close-after", "2"}));
    LostRecorder recorder;
    s.link.SetEventTarget(&recorder, CorvaneId::TuxedoSocket);
    ASSERT_TRUE(s.Open());
    EXPECT_TRUE(IsMonitor(s.link.RequestBytes('^', "")));
    EXPECT_TRUE(IsMonitor(s.link.RequestBytes(']', "")));
    EXPECT_TRUE(IsMonitor(s.link.RequestBytes(']', "")));
    EXPECT_TRUE(recorder.Wait());
    EXPECT_EQ(s.link.RequestBytes(']', ""), "");
}
