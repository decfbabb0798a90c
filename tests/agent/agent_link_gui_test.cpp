// The lost-connection notice reaches a window's handler through the real GUI
// event loop, on the GUI thread, within about a second.
#include "agent/agent_link.h"
#include "agent/agent_peers.h"
#include "common/ids.h"
#include "support/pump.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/thread.h>

namespace
{
// Stands in for a monitor panel: reacts to connection lost as the panels do.
class PanelStandIn : public wxFrame
{
public:
    PanelStandIn(AgentLink& link, int id) : wxFrame(nullptr, wxID_ANY, "panel"), m_link(link)
    {
        Bind(wxEVT_SOCKET, &PanelStandIn::OnSocket, this, id);
        link.SetEventTarget(this, id);
    }
    int lostSeen = 0;
    bool onGuiThread = true;

private:
    void OnSocket(wxSocketEvent& event)
    {
        onGuiThread = onGuiThread && wxIsMainThread();
        if (m_link.FilterEvent(event) == wxSOCKET_LOST)
            ++lostSeen;
    }
    AgentLink& m_link;
};

class AgentLinkGui : public ::testing::Test
{
protected:
    void TearDown() override
    {
        m_link.SetEventTarget(nullptr, 0);
        if (m_panel)
            m_panel->Destroy();
        PumpFor(10);
    }
    AgentLink m_link{ShortTimeouts()};
    PanelStandIn* m_panel = nullptr;
};

} // namespace

TEST_F(AgentLinkGui, IdlePeerCloseHeardWithinASecond)
{
    HeldAgent server;
    m_panel = new PanelStandIn(m_link, CorvaneId::TuxedoSocket);
    ASSERT_TRUE(OpenLink(m_link, server.Port()));
    PumpFor(100);
    EXPECT_EQ(m_panel->lostSeen, 0);

    server.Release(); // the agent goes away between polls
    EXPECT_TRUE(PumpUntil([&] { return m_panel->lostSeen == 1; }, 1200));
    EXPECT_TRUE(m_panel->onGuiThread);
    EXPECT_EQ(m_link.IsAlive(), -1);
    PumpFor(100);
    EXPECT_EQ(m_panel->lostSeen, 1); // once
}

