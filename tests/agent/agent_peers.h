#pragma once

#include "agent/agent_link.h"
#include "support/loopback_server.h"

#include <wx/app.h>
#include <wx/event.h>
#include <wx/utils.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <vector>

// Shared pieces of the agent link tests.

inline AgentLink::Timeouts ShortTimeouts(int ioMs = 3000)
{
    AgentLink::Timeouts t;
    t.connectMs = 2000;
    t.ioMs = ioMs;
    return t;
}

// Answers the handshake like an agent.
inline bool AnswerHandshake(PeerConnection& peer)
{
    return peer.ReadExactly(1) == "[" && peer.Write("\\");
}

// An agent that shakes hands, then follows script.
inline LoopbackServer ScriptedAgent(std::function<void(PeerConnection&)> script)
{
    return LoopbackServer(
        [script](PeerConnection& peer)
        {
            if (AnswerHandshake(peer))
                script(peer);
        });
}

// Connects link to the loopback port and shakes hands.
inline bool OpenLink(AgentLink& link, unsigned short port, const char* host = "127.0.0.1")
{
    return link.Connect(host, port) == 1 && link.Handshake() == 1;
}

// An agent that shakes hands and then keeps every connection open, silent,
// until Release() (or its destruction) makes it go away.
class HeldAgent
{
public:
    HeldAgent()
        : m_released(m_release.get_future().share()),
          m_server(ScriptedAgent([this](PeerConnection&) { m_released.wait(); }))
    {
    }
    ~HeldAgent() { Release(); }
    void Release()
    {
        if (!m_done)
        {
            m_done = true;
            m_release.set_value();
        }
    }
    unsigned short Port() const { return m_server.Port(); }

private:
    std::promise<void> m_release;
    std::shared_future<void> m_released;
    bool m_done = false;
    LoopbackServer m_server;
};

// Receives the notifications a panel would get, in a test without a GUI.
class SocketEventRecorder : public wxEvtHandler
{
public:
    SocketEventRecorder()
    {
        Bind(wxEVT_SOCKET,
             [this](wxSocketEvent& e) { events.emplace_back(static_cast<wxSocketEvent*>(e.Clone())); });
    }
    // Delivers what the link queued; true once an event is in.
    bool WaitForEvent(int timeoutMs = 3000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (events.empty() && std::chrono::steady_clock::now() < end)
        {
            wxAppConsole::GetInstance()->ProcessPendingEvents();
            wxMilliSleep(5);
        }
        return !events.empty();
    }
    std::vector<std::unique_ptr<wxSocketEvent>> events;
};
