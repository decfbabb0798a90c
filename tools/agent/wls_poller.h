#pragma once

#include "agent_options.h"
#include "request_doc.h"
#include "rest_client.h"
#include "wls_snapshot.h"

#include <string>
#include <vector>

// Reads one WebLogic domain through its admin server's RESTful management
// services, for one console: a poll queries the domain configuration and the
// running servers, then each running server's JVM, thread pool and data
// sources, all in parallel, and turns the answers into the console's report.
// A failing query costs only the rows it feeds. Used by one thread at a time.
class WlsPoller
{
public:
    explicit WlsPoller(const AgentOptions& options);

    // Takes the console's request document; false with the reason when it
    // cannot be served.
    bool Configure(const DomainRequest& request, std::string& error);
    const std::string& BaseUrl() const { return m_rest.Target().baseUrl; }

    DomainSnapshot Poll();

    // Takes each target's dumps (JVMRuntime's threadStackDump), writes them
    // under the dump directory and says what was done, for errMsg.
    std::string TakeThreadDumps(const std::vector<DumpTarget>& targets);

private:
    std::string RuntimePath(const std::string& server) const;

    AgentOptions m_options;
    DomainRequest m_request;
    RestClient m_rest;
};
