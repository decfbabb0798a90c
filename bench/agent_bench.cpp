// Agent link and stand-in agent figures for a Tuxedo domain of 2,000 servers,
// 500 queues and 10,000 clients:
//   sim_tux_poll_ms        one poll's moves and report document, built by the stand-in agent
//   sim_tux_report_mb      the size of that document
//   sim_wls_poll_ms        the same for a WebLogic domain of 200 servers with 4 pools each
//   link_tux_exchange_ms   one ']' exchange through AgentLink over loopback, the agent's
//                          document building included
//   link_throughput_mb_s   reply bytes per second through AgentLink
#include "bench.h"

#include "agent/agent_link.h"
#include "sim_agents.h"
#include "tux_domain.h"
#include "wls_domain.h"

CORVANE_BENCH_SECTION(sim_tux_poll, false)
{
    TuxDomain::Config config;
    config.servers = 2000;
    config.queues = 500;
    config.clients = 10000;
    TuxDomain domain(config, BenchEpoch);
    long long now = BenchEpoch;
    size_t bytes = 0;
    const double ms = BestMs(20,
                             [&]
                             {
                                 domain.Step(now += 30);
                                 bytes = domain.Report(now).size();
                             });
    PrintFigure("sim_tux_poll_ms", ms, "ms");
    PrintFigure("sim_tux_report_mb", bytes / 1048576.0, "MiB");
}

CORVANE_BENCH_SECTION(sim_wls_poll, false)
{
    WlsDomain::Config config;
    config.servers = 200;
    config.pools = 4;
    WlsDomain domain(config, BenchEpoch);
    long long now = BenchEpoch;
    const double ms = BestMs(20,
                             [&]
                             {
                                 domain.Step();
                                 domain.Report(now += 30, false);
                             });
    PrintFigure("sim_wls_poll_ms", ms, "ms");
}

CORVANE_BENCH_SECTION(link_tux_exchange, false)
{
    InProcessAgent agent(LargeTuxedoDomain());
    AgentLink link;
    if (link.Connect("127.0.0.1", agent.Port()) != 1 || link.Handshake() != 1)
    {
        BenchFailed("link_tux_exchange_ms", "ms", "the in-process agent did not answer");
        return;
    }
    size_t bytes = link.RequestBytes('^', "").size();
    const double ms = BestMs(20, [&] { bytes = link.RequestBytes(']', "").size(); });
    link.Close();
    PrintFigure("link_tux_exchange_ms", ms, "ms");
    PrintFigure("link_throughput_mb_s", bytes / 1048576.0 / (ms / 1000.0), "MiB/s");
}
