#pragma once

#include "agent_wire.h"
#include "sim_options.h"
#include "tux_domain.h"
#include "wls_domain.h"

#include <memory>
#include <string>
#include <vector>

// The files of a scenario directory, read once, in name order.
struct SimScript
{
    std::vector<std::string> names;
    std::vector<std::string> contents;
};

// Loads every regular file of dir; false with a message when there is none.
bool LoadSimScript(const std::string& dir, SimScript& script, std::string& error);

// One agent connection: the agent's side of the protocol, with the domain (or
// the scenario) of this conversation and the faults the options ask for.
// Every connection starts its own domain from the same seed.
class Conversation
{
public:
    Conversation(const SimOptions& options, const SimScript* script, int fd);

    // Serves the peer until it says goodbye, leaves, or a fault ends the
    // conversation. Does not close the descriptor.
    void Run();

private:
    bool PayloadFollows(char command);
    std::string Answer(char command, const std::string& payload);
    // false when the conversation ends with this reply
    bool Reply(const std::string& body);
    long long Now() const;
    void Log(const std::string& text) const;

    const SimOptions& m_options;
    const SimScript* m_script;
    int m_fd;
    AgentWire m_wire;
    std::unique_ptr<TuxDomain> m_tux;
    std::unique_ptr<WlsDomain> m_wls;
    bool m_v8Layout = false;
    bool m_started = false;
    size_t m_nextFile = 0;
    int m_replies = 0;
    int m_polls = 0;
    long long m_clock = 0;
};
