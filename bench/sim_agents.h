#pragma once

#include "sim_conversation.h"
#include "sim_listen.h"

#include <sys/types.h>

#include <string>
#include <vector>

// The stand-in agents the benchmark polls.

// The synthetic clock every benchmark domain starts from.
constexpr long long BenchEpoch = 1700000000;

// A stand-in agent in this process, serving one connection.
class InProcessAgent
{
public:
    explicit InProcessAgent(const SimOptions& options);
    unsigned short Port() const { return m_server.Port(); }

private:
    SimOptions m_options;
    OneConnectionServer m_server;
};

// The large Tuxedo domain of the figures: 2,000 servers, 500 queues and
// 10,000 clients.
SimOptions LargeTuxedoDomain();

// corvane-agent-sim, from the folder of this executable, as a process of its
// own (its memory is not ours) on a free port. The destructor stops it.
class AgentProcess
{
public:
    explicit AgentProcess(const std::vector<std::string>& args);
    // Another program that prints its port first (args without the program).
    AgentProcess(const std::string& program, std::vector<std::string> args);
    ~AgentProcess();
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    // 0 when the agent did not start.
    unsigned short Port() const { return m_port; }

    // The agent program beside this executable.
    static std::string ProgramPath();

private:
    void Start(const std::string& program, std::vector<std::string> all);
    pid_t m_pid = -1;
    unsigned short m_port = 0;
};
