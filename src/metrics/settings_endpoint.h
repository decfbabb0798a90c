#pragma once

#include "metrics/loop_sampler.h"
#include "metrics/metrics_endpoint.h"
#include "store/metrics_settings.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The endpoint a console serves as its stored settings say, its samples
// gathered on the console's own thread.
class SettingsEndpoint
{
public:
    SettingsEndpoint(wxEvtHandler& owner, std::function<std::vector<SiteSample>()> gather);
    ~SettingsEndpoint();
    SettingsEndpoint(const SettingsEndpoint&) = delete;
    SettingsEndpoint& operator=(const SettingsEndpoint&) = delete;

    // The address "ADDR:PORT" of the settings; false, with the reason in
    // error, when it is none (ParseListenAddress).
    static bool AddressOf(const MetricsSettings& settings, ListenAddress& address, std::string& error);

    // Serves as settings say: nothing when off, else at their address
    // (opened anew). False, with the reason in error, when it is on and
    // cannot be served; then nothing is served.
    bool Apply(const MetricsSettings& settings, std::string& error);

    const MetricsEndpoint* Endpoint() const { return m_endpoint.get(); }

private:
    wxEvtHandler& m_owner;
    std::function<std::vector<SiteSample>()> m_gather;
    std::unique_ptr<LoopSampler> m_sampler;
    std::unique_ptr<MetricsEndpoint> m_endpoint;
    void Close();
};
