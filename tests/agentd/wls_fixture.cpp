#include "wls_fixture.h"

#include "support/temp_home.h"

#include <cstdlib>

namespace
{
void Expand(std::vector<std::string>& args, const std::string& from, const std::string& to)
{
    for (std::string& a : args)
        if (a == from)
            a = to;
}

unsigned short PortOf(const ChildProcess& p)
{
    const int port = std::atoi(p.FirstLine().c_str());
    return port > 0 && port < 65536 ? static_cast<unsigned short>(port) : 0;
}
} // namespace

std::string TestCertificate(bool key)
{
    static const std::string dir = []
    {
        char pattern[] = "/tmp/corvane-agentd-tls-XXXXXX";
        const std::string d = ::mkdtemp(pattern) ? pattern : "/tmp";
        const std::string command =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
            "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " + d +
            "/key.pem -out " + d + "/cert.pem 2>/dev/null";
        return std::system(command.c_str()) == 0 ? d : std::string();
    }();
    return dir + (key ? "/key.pem" : "/cert.pem");
}

FakeWls::FakeWls(std::vector<std::string> args, const std::string& dir) : m_stats(dir + "/stats.json")
{
    Expand(args, "{CERT}", TestCertificate());
    Expand(args, "{KEY}", TestCertificate(true));
    args.insert(args.begin(), {"/usr/bin/python3", SourceDir() + "/tests/agentd/fake_wls.py"});
    args.insert(args.end(), {"--stats", m_stats});
    // Through the environment of this one child only.
    ::setenv("FAKE_WLS_PASSWORD", WlsPassword, 1);
    m_process = std::make_unique<ChildProcess>(args, true);
    ::unsetenv("FAKE_WLS_PASSWORD");
    m_port = PortOf(*m_process);
}

nlohmann::json FakeWls::Stats() const
{
    return nlohmann::json::parse(ReadFileBytes(m_stats), nullptr, false);
}

AgentUnderTest::AgentUnderTest(std::vector<std::string> args, const std::string& dir,
                               const FakeWls& fake)
    : m_log(dir + "/agent.log")
{
    Expand(args, "{HTTPS}", "https://127.0.0.1:" + std::to_string(fake.Port()));
    Expand(args, "{CA}", TestCertificate());
    // A shell keeps the agent's standard error, which the child process drops.
    args.insert(args.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>>" + m_log,
                               BinDir() + "/corvane-agent", "--weblogic", "--listen",
                               "127.0.0.1:0", "--insecure-http", "--timeout-ms", "8000",
                               "--dump-dir", dir, "--dump-gap-ms", "50"});
    m_process = std::make_unique<ChildProcess>(args, true);
    m_port = PortOf(*m_process);
}

std::string AgentUnderTest::Log() const
{
    return ReadFileBytes(m_log);
}

SiteRecord FakeSite(unsigned short agentPort, unsigned short adminPort, const char* password)
{
    SiteRecord s;
    s.SiteName = "prod";
    s.SiteType = "WEBLOGIC";
    s.SiteIP = "127.0.0.1";
    s.SitePort = wxString::Format("%u", agentPort);
    s.DatabaseFile = "prod.db";
    s.WlsAdminURL = wxString::Format("%u", adminPort);
    s.SiteAuth = "weblogic";
    s.SitePwd = password;
    s.WlsVer = "WebLogic V10";
    return s;
}
