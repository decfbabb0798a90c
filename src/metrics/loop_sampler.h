#pragma once

#include "metrics/metrics_endpoint.h"

#include <wx/event.h>

#include <functional>
#include <memory>
#include <vector>

// Gathers the samples on the thread of an event loop for an endpoint whose
// scrapes come from threads of their own: for owners whose monitors may only
// be looked at from that thread (the console's panels come and go there).
// A scrape waits for the loop up to a few seconds, and not at all once the
// sampler is gone; then it gets no samples.
class LoopSampler
{
public:
    // gather runs on owner's thread.
    LoopSampler(wxEvtHandler& owner, std::function<std::vector<SiteSample>()> gather);
    ~LoopSampler();
    LoopSampler(const LoopSampler&) = delete;
    LoopSampler& operator=(const LoopSampler&) = delete;

    MetricsEndpoint::Source Source() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};
