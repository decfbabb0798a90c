// The lost-connection notice reaches a window's handler through the real GUI
// event loop, on the GUI thread, within about a second.
#include "agent/agent_link.h"
#include "common/ids.h"
#include "sim_listen.h"
#include "agent/agent_peers.h"
#include "support/loopback_server.h"
#include "support/pump.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/thread.h>
#include <wx/utils.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

namespace
{
AgentLink::Timeouts Short()
{
    return ShortTimeouts();
}

// Stands in for a monitor panel: reacts to connection lost as the panels do.
class PanelStandIn : public wxFrame
{
public:
    PanelStandIn(AgentLink& link, int id) : wxFrame(nullptr, wxID_ANY, "panel"), m_link(link)
    {
        Bind(wxEVT_SOCKET, &PanelStandIn::OnSocket, this, id);
    }
    int lostSeen = 0;
    int staleSeen = 0;
    bool onGuiThread = true;

private:
    void OnSocket(wxSocketEvent& event)
    {
        onGuiThread = onGuiThread && wxIsMainThread();
        const int kind = m_link.FilterEvent(event);
        if (kind == wxSOCKET_LOST)
            ++lostSeen;
        else if (kind == -1)
            ++staleSeen;
    }
    AgentLink& m_link;
};

} // namespace

TEST(AgentLinkGui, IdlePeerCloseHeardWithinASecond)
{
    HeldAgent server;
    AgentLink link(Short());
    auto* panel = new PanelStandIn(link, CorvaneId::TuxedoSocket);
    link.SetEventTarget(panel, CorvaneId::TuxedoSocket);
    ASSERT_EQ(link.Connect("127.0.0.1", server.Port()), 1);
    ASSERT_EQ(link.Handshake(), 1);
    PumpFor(100);
    EXPECT_EQ(panel->lostSeen, 0);

    server.Release(); // the agent goes away between polls
    EXPECT_TRUE(PumpUntil([&] { return panel->lostSeen == 1; }, 1200));
    EXPECT_TRUE(panel->onGuiThread);
    EXPECT_EQ(link.IsAlive(), -1);
    PumpFor(100);
    EXPECT_EQ(panel->lostSeen, 1); // once
    link.SetEventTarget(nullptr, 0);
    panel->Destroy();
    PumpFor(10);
}

// An agent that answers half a reply and then resets the connection (the
// loopback server only ever shuts down, never resets).
void AnswerHalfThenReset(int fd)
{
    PeerConnection peer(fd);
    AnswerHandshake(peer);
    peer.ReadExactly(1);
    peer.Write("       50half a rep");
    struct linger hard{1, 0}; // close sends a reset
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

TEST(AgentLinkGui, ScanThreadMeetingResetIsHeard)
{
    OneConnectionServer server(AnswerHalfThenReset);
    AgentLink link(Short());
    auto* panel = new PanelStandIn(link, CorvaneId::WebLogicSocket);
    link.SetEventTarget(panel, CorvaneId::WebLogicSocket);
    ASSERT_EQ(link.Connect("127.0.0.1", server.Port()), 1);
    ASSERT_EQ(link.Handshake(), 1);
    std::string reply = "unset";
    std::thread scan([&] { reply = link.RequestBytes(']', ""); });
    EXPECT_TRUE(PumpUntil([&] { return panel->lostSeen == 1; }, 1200));
    scan.join();
    EXPECT_LT(reply.size(), 50u);
    EXPECT_TRUE(panel->onGuiThread);
    link.SetEventTarget(nullptr, 0);
    panel->Destroy();
    PumpFor(10);
}

TEST(AgentLinkGui, StopWhileScanRunsDoesNotHang)
{
    LoopbackServer server(
        [](PeerConnection& peer)
        {
            AnswerHandshake(peer);
            peer.WaitForClose(10000);
        });
    AgentLink::Timeouts slow = Short();
    slow.ioMs = 30000;
    AgentLink link(slow);
    auto* panel = new PanelStandIn(link, CorvaneId::TuxedoSocket);
    link.SetEventTarget(panel, CorvaneId::TuxedoSocket);
    ASSERT_EQ(link.Connect("127.0.0.1", server.Port()), 1);
    ASSERT_EQ(link.Handshake(), 1);
    std::thread scan([&] { link.RequestBytes(']', ""); });
    PumpFor(100);
    // What a panel's Stop does on the GUI thread while its scan runs.
    const auto start = std::chrono::steady_clock::now();
    link.Abort();
    EXPECT_EQ(link.Close(), 1);
    scan.join();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    PumpFor(200);
    EXPECT_EQ(panel->lostSeen, 0); // a deliberate stop is no lost connection
    link.SetEventTarget(nullptr, 0);
    panel->Destroy();
    PumpFor(10);
}
