#include "metrics/metrics_endpoint.h"

#include "metrics/metrics_families.h"

#include <prometheus/collectable.h>
#include <prometheus/exposer.h>

#include <arpa/inet.h>

#include <cstdlib>
#include <exception>

namespace
{
class SampleCollectable : public prometheus::Collectable
{
public:
    explicit SampleCollectable(MetricsEndpoint::Source source) : m_source(std::move(source)) {}
    std::vector<prometheus::MetricFamily> Collect() const override { return BuildMetricFamilies(m_source()); }

private:
    MetricsEndpoint::Source m_source;
};

bool PortOf(const std::string& text, unsigned short& port)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > 65535)
        return false;
    port = static_cast<unsigned short>(value);
    return true;
}
} // namespace

bool ParseListenAddress(const std::string& text, ListenAddress& address, std::string& error)
{
    ListenAddress parsed;
    std::string host;
    std::string port = text;
    const size_t colon = text.rfind(':');
    if (colon != std::string::npos)
    {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (!PortOf(port, parsed.port))
    {
        error = "\"" + text + "\" has no port number from 0 to 65535 (ADDR:PORT)";
        return false;
    }
    if (colon != std::string::npos)
    {
        // civetweb as Debian builds it listens on IPv4 only.
        in_addr buffer{};
        if (inet_pton(AF_INET, host.c_str(), &buffer) != 1)
        {
            error = "\"" + text + "\" does not start with a numeric IPv4 address";
            return false;
        }
        parsed.host = host;
    }
    address = parsed;
    return true;
}

std::unique_ptr<MetricsEndpoint> MetricsEndpoint::Open(const ListenAddress& address, Source source,
                                                       std::string& error)
{
    std::unique_ptr<MetricsEndpoint> endpoint(new MetricsEndpoint);
    endpoint->m_host = address.host;
    try
    {
        endpoint->m_exposer = std::make_unique<prometheus::Exposer>(
            std::vector<std::string>{"listening_ports", address.host + ":" + std::to_string(address.port),
                                     "num_threads", "2"});
    }
    catch (const std::exception& e)
    {
        error = "cannot listen on " + address.host + ":" + std::to_string(address.port) + ": " + e.what();
        return nullptr;
    }
    const std::vector<int> ports = endpoint->m_exposer->GetListeningPorts();
    endpoint->m_port = ports.empty() ? address.port : static_cast<unsigned short>(ports.front());
    endpoint->m_collectable = std::make_shared<SampleCollectable>(std::move(source));
    endpoint->m_exposer->RegisterCollectable(endpoint->m_collectable);
    return endpoint;
}

MetricsEndpoint::~MetricsEndpoint()
{
    // The server's threads stop before the source they call goes.
    m_exposer.reset();
}

std::string MetricsEndpoint::Url() const
{
    return "http://" + m_host + ":" + std::to_string(m_port) + "/metrics";
}
