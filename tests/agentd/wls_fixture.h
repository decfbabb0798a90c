#pragma once

#include "e2e/child_process.h"
#include "store/records.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

// The password of the fake domain: it reaches the fake server through its
// environment only, and must never show in the agent's log or any command line.
constexpr char WlsPassword[] = "Wls-Secret-42";

// tests/agentd/fake_wls.py on a free loopback port, its findings in dir/stats.json.
// In its arguments "{CERT}" and "{KEY}" stand for a test certificate for 127.0.0.1.
class FakeWls
{
public:
    FakeWls(std::vector<std::string> args, const std::string& dir);
    unsigned short Port() const { return m_port; }
    nlohmann::json Stats() const;

private:
    std::string m_stats;
    std::unique_ptr<ChildProcess> m_process;
    unsigned short m_port = 0;
};

// corvane-agent on a free loopback port, its standard error in dir/agent.log.
// Arguments: "{HTTPS}" is the fake's https address, "{CA}" the certificate.
class AgentUnderTest
{
public:
    AgentUnderTest(std::vector<std::string> args, const std::string& dir, const FakeWls& fake);
    unsigned short Port() const { return m_port; }
    std::string Log() const;

private:
    std::string m_log;
    std::unique_ptr<ChildProcess> m_process;
    unsigned short m_port = 0;
};

// A WebLogic V10 site "prod" whose agent and admin server listen on loopback.
SiteRecord FakeSite(unsigned short agentPort, unsigned short adminPort, const char* password);

// The certificate and key of 127.0.0.1 (made once per test program).
std::string TestCertificate(bool key = false);
