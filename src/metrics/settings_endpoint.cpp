#include "metrics/settings_endpoint.h"

#include "store/records.h"

SettingsEndpoint::SettingsEndpoint(wxEvtHandler& owner, std::function<std::vector<SiteSample>()> gather)
    : m_owner(owner), m_gather(std::move(gather))
{
}

SettingsEndpoint::~SettingsEndpoint()
{
    Close();
}

void SettingsEndpoint::Close()
{
    // Scrapes waiting for the owner's loop give up before the server's
    // threads are joined.
    m_sampler.reset();
    m_endpoint.reset();
}

bool SettingsEndpoint::AddressOf(const MetricsSettings& settings, ListenAddress& address, std::string& error)
{
    const wxString host = wxString(settings.Address).Trim(true).Trim(false);
    const wxString port = wxString(settings.Port).Trim(true).Trim(false);
    return ParseListenAddress((host + ":" + port).utf8_string(), address, error);
}

bool SettingsEndpoint::Apply(const MetricsSettings& settings, std::string& error)
{
    Close();
    if (!FlagOn(settings.Enabled))
        return true;
    ListenAddress address;
    if (!AddressOf(settings, address, error))
        return false;
    m_sampler = std::make_unique<LoopSampler>(m_owner, m_gather);
    m_endpoint = MetricsEndpoint::Open(address, m_sampler->Source(), error);
    if (!m_endpoint)
        m_sampler.reset();
    return m_endpoint != nullptr;
}
