#pragma once

#include "sim_random.h"

#include <cstdint>
#include <string>
#include <vector>

// A synthetic Tuxedo domain that moves on with every poll: requests done grow
// on busy servers and stand still on idle ones, services go busy and idle,
// queues fill and drain, clients come and go, and now and then a server dies
// (it is missing from the report until it restarts with a new process id),
// sticks in one service, or the host finds a core file. Everything follows
// from the seed.
class TuxDomain
{
public:
    struct Config
    {
        int servers = 24;
        int queues = 12;
        int clients = 40;
        std::uint64_t seed = 1;
    };

    TuxDomain(const Config& config, long long bootTime);

    // One poll's moves; now stamps the clients that connect.
    void Step(long long now);

    // The report document; a non-empty errorReason adds an ERROR element.
    std::string Report(long long now, const std::string& errorReason = std::string()) const;

    // What tests look at.
    int AliveServers() const;
    int Clients() const { return static_cast<int>(m_clients.size()); }
    static std::string ProgramName(int queue);

private:
    struct Queue
    {
        std::string program;
        std::string name;
        int ipcId = 0;
        int queued = 0;
        int svrMin = 1;
        int svrMax = 1;
    };
    struct Server
    {
        int queue = 0;
        int pid = 0;
        std::uint64_t rqDone = 0;
        int service = -1; // -1: IDLE
        int heat = 0;     // 0 cold, 1 warm, 2 hot
        int stuckPolls = 0;
        int downPolls = 0;
        int memoryKb = 0;
    };
    struct Client
    {
        std::string name;
        std::string address;
        std::string connected;
        int pid = 0;
        bool busy = false;
    };

    void AddClient(long long connectedAt);

    Config m_config;
    SimRandom m_random;
    std::vector<Queue> m_queues;
    std::vector<Server> m_servers;
    std::vector<Client> m_clients;
    std::string m_bootStamp;
    int m_nextPid = 20000;
    int m_nextClient = 0;
    int m_freeMemKb = 4 * 1024 * 1024;
    int m_idleCpu = 70;
    std::string m_coreFind;
};
