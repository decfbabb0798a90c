#pragma once

#include "agent/agent_link.h"
#include "support/loopback_server.h"

#include <future>

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

// An agent that shakes hands and then keeps every connection open, silent,
// until Release() (or its destruction) makes it go away.
class HeldAgent
{
public:
    HeldAgent()
        : m_released(m_release.get_future().share()),
          m_server(
              [this](PeerConnection& peer)
              {
                  AnswerHandshake(peer);
                  m_released.wait();
              })
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
