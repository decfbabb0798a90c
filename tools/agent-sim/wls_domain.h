#pragma once

#include "sim_random.h"

#include <cstdint>
#include <string>
#include <vector>

// A synthetic WebLogic domain that moves on with every poll: heaps fill and are
// collected, idle execute threads and free JDBC connections wander and now
// and then run out, and a managed server fails now and then and restarts. The
// report follows the request document's layout: WebLogic 8 MBeans
// (ExecuteQueueRuntime, JDBCConnectionPoolRuntime) or 9/10 ones.
class WlsDomain
{
public:
    struct Config
    {
        int servers = 4;
        int pools = 2; // per server
        int version = 10;
        std::uint64_t seed = 1;
    };

    WlsDomain(const Config& config, long long bootTime);

    void Step();

    // v8Layout: the element names and INITBUF spelling of WebLogic 8.
    std::string Report(long long now, bool v8Layout, const std::string& errMsg = std::string()) const;

    int RunningServers() const;

private:
    struct Pool
    {
        std::string name;
        int capacity = 10;
        int active = 0;
        int high = 0;
        int leaked = 0;
    };
    struct Server
    {
        std::string name;
        std::string address;
        int port = 7001;
        int downPolls = 0; // > 0: failed, restarting
        long long heapMax = 0;
        long long heapSize = 0;
        long long heapFree = 0;
        int threadsTotal = 25;
        int threadsIdle = 20;
        int queueLength = 0;
        long long completed = 0;
        double throughput = 0;
        std::vector<Pool> pools;
    };

    void FreshHeap(Server& s);

    Config m_config;
    SimRandom m_random;
    std::vector<Server> m_servers;
    std::string m_activation;
};

// The agent's answer to a thread-dump document: a MONITOR document whose
// SYSTEM element says in errMsg which dumps were taken, or what was wrong.
std::string ThreadDumpAnswer(long long now, const std::string& request);

// Whether a WebLogic request document asks for the WebLogic 8 MBeans; a
// document that does not say (or does not parse) takes the version's layout.
bool RequestAsksV8(const std::string& request, int version);
