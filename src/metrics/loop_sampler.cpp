#include "metrics/loop_sampler.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace
{
constexpr auto kLoopWait = std::chrono::seconds(5);
}

struct LoopSampler::State
{
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    wxEvtHandler* owner = nullptr;
    std::function<std::vector<SiteSample>()> gather;
};

LoopSampler::LoopSampler(wxEvtHandler& owner, std::function<std::vector<SiteSample>()> gather)
    : m_state(std::make_shared<State>())
{
    m_state->owner = &owner;
    m_state->gather = std::move(gather);
}

LoopSampler::~LoopSampler()
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->closed = true;
    m_state->changed.notify_all();
}

MetricsEndpoint::Source LoopSampler::Source() const
{
    return [state = m_state]() -> std::vector<SiteSample>
    {
        struct Answer
        {
            bool ready = false;
            std::vector<SiteSample> samples;
        };
        auto answer = std::make_shared<Answer>();
        std::unique_lock<std::mutex> lock(state->mutex);
        if (state->closed)
            return {};
        state->owner->CallAfter(
            [state, answer]
            {
                std::function<std::vector<SiteSample>()> gather;
                {
                    std::lock_guard<std::mutex> guard(state->mutex);
                    if (state->closed)
                        return;
                    gather = state->gather;
                }
                std::vector<SiteSample> samples = gather();
                std::lock_guard<std::mutex> guard(state->mutex);
                answer->samples = std::move(samples);
                answer->ready = true;
                state->changed.notify_all();
            });
        state->changed.wait_for(lock, kLoopWait, [&] { return answer->ready || state->closed; });
        return answer->ready ? std::move(answer->samples) : std::vector<SiteSample>();
    };
}
