#pragma once

#include "agent_options.h"
#include "agent_wire.h"
#include "wls_poller.h"

#include <string>

// Writes one line to standard error, whole, whichever thread calls.
void AgentLog(const std::string& line);

// One console's connection: the agent's side of the protocol, answering
// '^' (request document), ']' (poll) and 'a' (thread dumps) with reports
// read from the admin server. Every failure ends in a report whose SYSTEM
// element says why, and a log line; the connection stays.
class AgentSession
{
public:
    AgentSession(const AgentOptions& options, int fd, std::string peer);

    // Serves the console until it says goodbye or leaves. Does not close the descriptor.
    void Run();

    // The reply to one command (tests and the benchmark call it directly).
    std::string Answer(char command, const std::string& payload);

private:
    std::string Poll();
    void Log(const std::string& text) const;

    AgentWire m_wire;
    std::string m_peer;
    WlsPoller m_poller;
    bool m_ready = false;
    std::string m_notReady = "no request document yet (a WebLogic console sends one at Start)";
};
