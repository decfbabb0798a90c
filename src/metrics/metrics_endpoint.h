#pragma once

#include "metrics/site_sample.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace prometheus
{
class Exposer;
class Collectable;
} // namespace prometheus

// Where the endpoint listens: a numeric IPv4 address and a port (0: any free one).
struct ListenAddress
{
    std::string host = "127.0.0.1";
    unsigned short port = 9464;
};

// "ADDR:PORT" or a bare "PORT" (then on 127.0.0.1). False, with the reason
// in error, for anything else: a host name, an IPv6 address (not served), a
// port out of range, an empty part.
bool ParseListenAddress(const std::string& text, ListenAddress& address, std::string& error);

// GET /metrics, served by prometheus-cpp on threads of its own; every scrape
// asks source for the sites' samples (so source is called from those threads).
class MetricsEndpoint
{
public:
    using Source = std::function<std::vector<SiteSample>()>;

    // Null, with the reason in error, when the address cannot be bound.
    static std::unique_ptr<MetricsEndpoint> Open(const ListenAddress& address, Source source,
                                                 std::string& error);
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint&) = delete;
    MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

    unsigned short Port() const { return m_port; }
    // "http://127.0.0.1:9464/metrics"
    std::string Url() const;

private:
    MetricsEndpoint() = default;
    std::string m_host;
    unsigned short m_port = 0;
    std::shared_ptr<prometheus::Collectable> m_collectable;
    std::unique_ptr<prometheus::Exposer> m_exposer;
};
