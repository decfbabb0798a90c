// AgentLink against a scripted peer on a loopback socket: framing, handshake,
// failure paths, the size cap, serialisation and the lost-connection notice.
#include "agent/agent_link.h"
#include "agent/agent_peers.h"
#include "common/ids.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
using Recorder = SocketEventRecorder;

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

wxSocketEvent HandMade(wxSocketNotify kind)
{
    wxSocketEvent event(CorvaneId::TuxedoSocket);
    event.m_event = kind;
    event.m_clientData = nullptr;
    return event;
}
} // namespace

// --- what goes out on the wire -------------------------------------------

struct RequestCase
{
    const char* name;
    char command;
    std::string payload;
    std::string wire;
};

class RequestFraming : public ::testing::TestWithParam<RequestCase>
{
};

TEST_P(RequestFraming, SendsExactBytes)
{
    const RequestCase& c = GetParam();
    std::promise<std::string> seen;
    LoopbackServer server = ScriptedAgent(
        [&](PeerConnection& peer)
        {
            // Whatever the link sends within a moment is the whole request.
            seen.set_value(peer.ReadFor(300));
            peer.Write("        2ok");
            peer.WaitForClose();
        });
    AgentLink link(ShortTimeouts());
    ASSERT_TRUE(OpenLink(link, server.Port()));
    EXPECT_EQ(link.RequestBytes(c.command, c.payload), "ok");
    const std::string wire = seen.get_future().get();
    EXPECT_TRUE(wire == c.wire) << "sent " << wire.size() << " bytes: " << wire.substr(0, 20);
    link.Close();
}

INSTANTIATE_TEST_SUITE_P(
    Wire, RequestFraming,
    ::testing::Values(
        // 5 bytes: seven blanks and the digit, 14 bytes in all
        RequestCase{"FivePayloadBytes", '^', "hello", "^       5hello"},
        // no payload, no length field
        RequestCase{"EmptyPayloadIsCommandAlone", ']', "", "]"},
        RequestCase{"ThreadDumpCommand", 'a', "<x/>", "a       4<x/>"},
        // seven digits still leave the blank sign position
        RequestCase{"SevenDigitLength", '^', std::string(1234567, 'x'),
                    "^ 1234567" + std::string(1234567, 'x')}),
    [](const ::testing::TestParamInfo<RequestCase>& info) { return info.param.name; });

// Byte counts in the length fields are counts of UTF-8 bytes.
TEST(AgentLinkText, PayloadAndReplyTravelAsUtf8)
{
    std::promise<std::string> seen;
    LoopbackServer server = ScriptedAgent(
        [&](PeerConnection& peer)
        {
            seen.set_value(peer.ReadExactly(1 + 8 + 2));
            peer.Write("        3\xc3\xa9!");
            peer.WaitForClose();
        });
    AgentLink link(ShortTimeouts());
    ASSERT_TRUE(OpenLink(link, server.Port()));
    EXPECT_EQ(link.Request('^', wxString::FromUTF8("\xc3\xa9")), wxString::FromUTF8("\xc3\xa9!"));
    EXPECT_EQ(seen.get_future().get(), "^       2\xc3\xa9");
}

// --- how replies are read ------------------------------------------------

struct ReplyCase
{
    const char* name;
    std::vector<std::string> pieces; // written with a pause between them
    bool closeAfter;
    std::string expected;
    bool staysInStep; // false: the link drops the connection and reports it lost
};

class ReplyReading : public ::testing::TestWithParam<ReplyCase>
{
};

TEST_P(ReplyReading, AssemblesReply)
{
    const ReplyCase& c = GetParam();
    LoopbackServer server = ScriptedAgent(
        [&](PeerConnection& peer)
        {
            peer.ReadExactly(1);
            for (const auto& piece : c.pieces)
            {
                peer.Write(piece);
                wxMilliSleep(30);
            }
            if (!c.closeAfter)
                peer.WaitForClose();
        });
    Recorder recorder;
    AgentLink link(ShortTimeouts(500));
    link.SetEventTarget(&recorder, CorvaneId::WebLogicSocket);
    ASSERT_TRUE(OpenLink(link, server.Port()));
    EXPECT_EQ(link.RequestBytes(']', ""), c.expected);
    EXPECT_EQ(link.IsAlive(), c.staysInStep ? 1 : -1);
    if (!c.staysInStep)
    {
        ASSERT_TRUE(recorder.WaitForEvent());
        EXPECT_EQ(recorder.events[0]->GetId(), CorvaneId::WebLogicSocket);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Wire, ReplyReading,
    ::testing::Values(
        // eight blanks and 0: empty text, nothing more is read
        ReplyCase{"ZeroLength", {"        0"}, false, "", true},
        // leading zeros parse like blanks
        ReplyCase{"ZeroPaddedLength", {"000000012", "abcdefghijkl"}, false, "abcdefghijkl", true},
        ReplyCase{"LengthInTwoPieces", {"    ", "    5", "hello"}, false, "hello", true},
        ReplyCase{"BodyInPieces", {"       10", "abc", "def", "g", "hij"}, false, "abcdefghij", true},
        ReplyCase{"WholeReplyInOnePiece", {"        3abc"}, false, "abc", true},
        // atoi stops at the first non-digit
        ReplyCase{"DigitsThenJunk", {"4xxxxxxxx", "body"}, false, "body", true},
        // no length to follow: where the reply ends is unknown
        ReplyCase{"NegativeLength", {"       -5", "hello"}, false, "", false},
        ReplyCase{"NonNumericLength", {"abcdefghi", "hello"}, false, "", false},
        ReplyCase{"BlankLength", {"         "}, false, "", false},
        // the peer leaves in the middle (EOF): the part that arrived
        ReplyCase{"PeerClosesMidBody", {"       12", "abc"}, true, "abc", false},
        ReplyCase{"PeerClosesInLengthField", {"    "}, true, "", false},
        ReplyCase{"PeerClosesBeforeReply", {}, true, "", false},
        // the peer says nothing: the shortened time-out ends it
        ReplyCase{"SilentPeer", {}, false, "", false},
        ReplyCase{"BodyStops", {"       10", "abcd"}, false, "abcd", false}),
    [](const ::testing::TestParamInfo<ReplyCase>& info) { return info.param.name; });

// Regression (late replies): a reply that comes after the time-out is never
// taken for the answer to the next request; the connection is dropped instead.
TEST(AgentLinkReply, LateReplyNeverAnswersTheNextRequest)
{
    LoopbackServer server = ScriptedAgent(
        [](PeerConnection& peer)
        {
            peer.ReadExactly(1);
            wxMilliSleep(400);
            peer.Write("        5stale");
            if (peer.ReadExactly(1, 1000) == "]")
                peer.Write("        5fresh");
            peer.WaitForClose();
        });
    Recorder recorder;
    AgentLink link(ShortTimeouts(200));
    link.SetEventTarget(&recorder, CorvaneId::WebLogicSocket);
    ASSERT_TRUE(OpenLink(link, server.Port()));
    EXPECT_EQ(link.RequestBytes(']', ""), "");
    EXPECT_EQ(link.IsAlive(), -1);
    wxMilliSleep(300);
    EXPECT_EQ(link.RequestBytes(']', ""), "");
    EXPECT_TRUE(recorder.WaitForEvent());
}

// Regression (reply size): a length field asking for more than 64 MiB is
// refused at once, without waiting for or reserving the body, and the
// connection whose framing is now lost is dropped and reported. Exactly
// 64 MiB is still read.
TEST(AgentLinkReply, OversizedLengthRefusedAndConnectionDropped)
{
    for (const char* field : {"999999999", " 67108865", "2147483647999"})
    {
        SCOPED_TRACE(field);
        LoopbackServer server = ScriptedAgent(
            [&](PeerConnection& peer)
            {
                peer.ReadExactly(1);
                peer.Write(std::string(field).substr(0, 9) + "some of the body");
                peer.WaitForClose();
            });
        Recorder recorder;
        AgentLink link(ShortTimeouts(20000));
        link.SetEventTarget(&recorder, CorvaneId::TuxedoSocket);
        ASSERT_TRUE(OpenLink(link, server.Port()));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(link.RequestBytes(']', ""), "");
        EXPECT_LT(SecondsSince(start), 10.0); // not the 20 s read time-out
        EXPECT_EQ(link.IsAlive(), -1);
        ASSERT_TRUE(recorder.WaitForEvent());
        EXPECT_EQ(link.FilterEvent(*recorder.events[0]), wxSOCKET_LOST);
        EXPECT_EQ(link.RequestBytes(']', ""), "");
    }

    LoopbackServer atCap = ScriptedAgent(
        [&](PeerConnection& peer)
        {
            peer.ReadExactly(1);
            peer.Write(" 67108864" + std::string(AgentLink::MaxReplyBytes, 'q'));
            peer.WaitForClose();
        });
    AgentLink link(ShortTimeouts());
    ASSERT_TRUE(OpenLink(link, atCap.Port()));
    EXPECT_EQ(link.RequestBytes(']', "").size(), static_cast<size_t>(AgentLink::MaxReplyBytes));
    EXPECT_EQ(link.IsAlive(), 1);
}

// --- connect, handshake, close, liveness --------------------------------

// A wrong answer, or none within the time-out: -1 and the connection closed.
TEST(AgentLinkHandshake, WrongByteOrSilenceFailsAndCloses)
{
    for (const std::string answer : {"]", ""})
    {
        std::promise<bool> closed;
        LoopbackServer server(
            [&](PeerConnection& peer)
            {
                peer.ReadExactly(1);
                peer.Write(answer);
                closed.set_value(peer.WaitForClose(3000));
            });
        AgentLink link(ShortTimeouts(300));
        ASSERT_EQ(link.Connect("127.0.0.1", server.Port()), 1);
        EXPECT_EQ(link.Handshake(), -1);
        EXPECT_TRUE(closed.get_future().get()) << answer;
        EXPECT_EQ(link.IsAlive(), -1);
        EXPECT_EQ(link.RequestBytes(']', ""), "");
    }
}

// A link that never connected fails everything at once.
TEST(AgentLinkConnect, RefusedOrUnresolvableFails)
{
    AgentLink link(ShortTimeouts());
    EXPECT_EQ(link.Connect("127.0.0.1", UnusedLoopbackPort()), -1);
    EXPECT_EQ(link.Connect("no-such-host.invalid", 80), -1);
    EXPECT_EQ(link.Connect("", 80), -1);
    EXPECT_EQ(link.Handshake(), -1);
    EXPECT_EQ(link.IsAlive(), -1);
    EXPECT_EQ(link.RequestBytes(']', ""), "");
}

// Regression (Stop during a scan sent no goodbye): Abort between exchanges
// refuses the next one but leaves the connection usable, so Close still
// writes '_'.
TEST(AgentLinkClose, SendsGoodbyeEvenAfterAbortAndIsIdempotent)
{
    std::promise<std::string> seen;
    LoopbackServer server = ScriptedAgent([&](PeerConnection& peer) { seen.set_value(peer.ReadFor(500)); });
    AgentLink link(ShortTimeouts());
    ASSERT_TRUE(OpenLink(link, server.Port()));
    link.Abort();
    EXPECT_EQ(link.RequestBytes(']', ""), "");
    EXPECT_EQ(link.IsAlive(), 1);
    EXPECT_EQ(link.Close(), 1);
    EXPECT_EQ(link.Close(), 1); // already closed
    EXPECT_EQ(seen.get_future().get(), "_");
    EXPECT_EQ(link.IsAlive(), -1);

    AgentLink never(ShortTimeouts());
    EXPECT_EQ(never.Close(), 1);
}

// --- one exchange at a time ----------------------------------------------

// Regression (overlapping scans): two threads sharing a link never mix their
// frames on the wire, and each gets the reply to its own request.
TEST(AgentLinkConcurrency, ExchangesNeverInterleave)
{
    std::atomic<int> badFrames{0};
    LoopbackServer server = ScriptedAgent(
        [&](PeerConnection& peer)
        {
            while (peer.ReadExactly(1, 3000) == "^")
            {
                const std::string field = peer.ReadExactly(8);
                const int length = std::atoi(field.c_str());
                const std::string payload = peer.ReadExactly(static_cast<size_t>(length));
                if (field.size() != 8 || length <= 0 || payload.size() != static_cast<size_t>(length) ||
                    payload.find_first_not_of(payload[0]) != std::string::npos)
                    ++badFrames;
                // Answer slowly in pieces so that a second writer would have
                // time to cut in.
                char reply[16];
                std::snprintf(reply, sizeof reply, "%9d", length);
                peer.Write(std::string(reply).substr(0, 4));
                wxMilliSleep(1);
                peer.Write(std::string(reply).substr(4) + payload);
            }
        });
    AgentLink link(ShortTimeouts());
    ASSERT_TRUE(OpenLink(link, server.Port()));
    std::atomic<int> wrongReplies{0};
    auto worker = [&](char fill, size_t size)
    {
        const std::string payload(size, fill);
        for (int i = 0; i < 15; ++i)
            if (link.RequestBytes('^', payload) != payload)
                ++wrongReplies;
    };
    std::thread a(worker, 'A', 5000);
    std::thread b(worker, 'B', 70000);
    worker('C', 3);
    a.join();
    b.join();
    EXPECT_EQ(wrongReplies, 0);
    EXPECT_EQ(badFrames, 0);
    link.Close();
}

// Abort ends an exchange that would otherwise wait out a long time-out, so the
// GUI thread's Close that follows does not hang.
TEST(AgentLinkConcurrency, AbortEndsExchangeInFlight)
{
    HeldAgent server;
    Recorder recorder;
    AgentLink link(ShortTimeouts(30000));
    link.SetEventTarget(&recorder, CorvaneId::WebLogicSocket);
    ASSERT_TRUE(OpenLink(link, server.Port()));
    std::promise<void> started;
    auto scan = std::async(std::launch::async,
                           [&]
                           {
                               started.set_value();
                               return link.RequestBytes(']', "");
                           });
    started.get_future().wait();
    wxMilliSleep(100);
    const auto start = std::chrono::steady_clock::now();
    link.Abort();
    EXPECT_EQ(scan.get(), "");
    EXPECT_EQ(link.IsAlive(), -1);
    EXPECT_EQ(link.Close(), 1);
    EXPECT_LT(SecondsSince(start), 5.0); // far below the 30 s time-out
    // A deliberate stop is not reported as a lost connection.
    recorder.WaitForEvent(300);
    EXPECT_TRUE(recorder.events.empty());
}

// --- connection-lost notifications ---------------------------------------

TEST(AgentLinkLost, IdlePeerCloseIsReportedOnceWithTargetId)
{
    HeldAgent server;
    Recorder recorder;
    AgentLink link(ShortTimeouts());
    link.SetEventTarget(&recorder, CorvaneId::TuxedoSocket);
    ASSERT_TRUE(OpenLink(link, server.Port()));
    server.Release();
    ASSERT_TRUE(recorder.WaitForEvent());
    ASSERT_EQ(recorder.events.size(), 1u);
    const wxSocketEvent& event = *recorder.events[0];
    EXPECT_EQ(event.GetId(), CorvaneId::TuxedoSocket);
    EXPECT_EQ(event.GetSocketEvent(), wxSOCKET_LOST);
    EXPECT_EQ(link.FilterEvent(event), wxSOCKET_LOST);
    EXPECT_EQ(link.IsAlive(), -1);
    // Seen once: the closed link reports nothing more.
    recorder.WaitForEvent(200);
    EXPECT_EQ(recorder.events.size(), 1u);
}

TEST(AgentLinkLost, StaleNotificationOfEarlierConnectionIgnored)
{
    std::atomic<int> sessions{0};
    LoopbackServer server = ScriptedAgent(
        [&](PeerConnection& peer)
        {
            if (++sessions > 1) // the first connection is dropped by the agent
                peer.WaitForClose(5000);
        });
    Recorder recorder;
    AgentLink link(ShortTimeouts());
    link.SetEventTarget(&recorder, CorvaneId::TuxedoSocket);
    ASSERT_TRUE(OpenLink(link, server.Port()));
    ASSERT_TRUE(recorder.WaitForEvent());

    // The operator already stopped and started again before it was handled.
    link.Close();
    ASSERT_TRUE(OpenLink(link, server.Port()));
    EXPECT_EQ(link.FilterEvent(*recorder.events[0]), -1);
    EXPECT_EQ(link.IsAlive(), 1); // the new connection is untouched

    // A notification after a deliberate Close is stale as well.
    link.Close();
    EXPECT_EQ(link.FilterEvent(*recorder.events[0]), -1);

    // Events built by hand (tests) are taken as current.
    ASSERT_TRUE(OpenLink(link, server.Port()));
    EXPECT_EQ(link.FilterEvent(HandMade(wxSOCKET_INPUT)), wxSOCKET_INPUT);
    EXPECT_EQ(link.IsAlive(), 1);
    EXPECT_EQ(link.FilterEvent(HandMade(wxSOCKET_LOST)), wxSOCKET_LOST);
    EXPECT_EQ(link.IsAlive(), -1);
}

TEST(AgentLinkLost, DetachedTargetGetsNothing)
{
    LoopbackServer server = ScriptedAgent([](PeerConnection&) {});
    Recorder recorder;
    AgentLink link(ShortTimeouts());
    link.SetEventTarget(&recorder, CorvaneId::TuxedoSocket);
    link.SetEventTarget(nullptr, 0);
    ASSERT_TRUE(OpenLink(link, server.Port()));
    EXPECT_FALSE(recorder.WaitForEvent(300));
}
