// corvane-agent's WebLogic reader against the tests' fake admin server
// (tests/agentd/fake_wls.py, Python) over loopback:
//   agent_wls_poll_ms   one poll of a 20-server domain with 2 data sources
//                       each: 63 REST queries in two parallel waves and the
//                       report built; median of 20 polls
#include "bench.h"

#include "sim_agents.h"
#include "wls_poller.h"

#include <curl/curl.h>

#include <cstdlib>

CORVANE_BENCH_SECTION(agent_wls_poll, false)
{
    const char* const password = "bench-password";
    ::setenv("FAKE_WLS_PASSWORD", password, 1); // for the fake alone
    AgentProcess fake("/usr/bin/python3",
                      {CORVANE_SOURCE_DIR "/tests/agentd/fake_wls.py", "--servers", "20"});
    ::unsetenv("FAKE_WLS_PASSWORD");
    curl_global_init(CURL_GLOBAL_DEFAULT);
    AgentOptions options;
    options.insecureHttp = true;
    WlsPoller poller(options);
    DomainRequest request;
    request.adminAddress = "127.0.0.1";
    request.adminPort = std::to_string(fake.Port());
    request.principal = "weblogic";
    request.password = password;
    std::string error;
    if (fake.Port() == 0 || !poller.Configure(request, error))
    {
        BenchFailed("agent_wls_poll_ms", "ms", "the fake admin server did not start");
        return;
    }
    std::vector<double> ms;
    for (int i = 0; i <= 20; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        const DomainSnapshot snapshot = poller.Poll();
        const std::string report = BuildMonitorReport(snapshot, BenchEpoch);
        if (!snapshot.ErrMsg().empty() || snapshot.elements.size() != 20 * 5)
        {
            BenchFailed("agent_wls_poll_ms", "ms", "a poll was not whole: " + snapshot.ErrMsg());
            return;
        }
        if (i > 0) // the first one opens the connections
            ms.push_back(MsSince(start));
    }
    PrintFigure("agent_wls_poll_ms", Median(ms), "ms");
}
