// corvane-monitor as an operator runs it: the refusals, the sites of a home
// watched with their metrics (checked by promtool), the reload on SIGHUP and
// the clean stop on SIGTERM.
#include "agent/fake_agent.h"
#include "e2e/child_process.h"
#include "headless/monitor_options.h"
#include "headless/http_get.h"
#include "store/db_access.h"
#include "support/prompt_recorder.h"
#include "support/smtp_peer.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>

#include <wx/filename.h>
#include <wx/wxsqlite3.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace
{
const std::string kTuxReport =
    "<MONITOR Date=\"now\"><SYSTEM FreeMem=\"2048\" IdleCPU=\"90\" SvrCnt=\"1\" QueCnt=\"1\" CltCnt=\"0\"/>"
    "<QUEUE Server=\"BILLSVR\" Queueid=\"65537\" SrvCnt=\"1\" Queued=\"7\"/>"
    "<SERVER Server=\"BILLSVR\" Queueid=\"Q1\" ProcessID=\"101\" RqDone=\"40\" CurrSvc=\"IDLE\"/></MONITOR>";
const std::string kWlsReport =
    "<MONITOR Date=\"now\"><ServerRuntime serverName=\"ms1\" State=\"RUNNING\" HealthState=\"HEALTH_OK\"/>"
    "<JVMRuntime serverName=\"ms1\" HeapFreeCurrent=\"1000\" HeapSizeCurrent=\"2000\" HeapSizeMax=\"4000\" "
    "HeapFreePercent=\"37\"/><ThreadPoolRuntime serverName=\"ms1\" ExecuteThreadIdleCount=\"3\" "
    "ExecuteThreadTotalCount=\"25\" Throughput=\"12.5\" QueueLength=\"4\"/>"
    "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans serverName=\"ms1\" ActiveConnectionsCurrentCount=\"2\" "
    "ActiveConnectionsHighCount=\"9\" CurrCapacity=\"10\" LeakedConnectionCount=\"1\" Name=\"ds1\"/></MONITOR>";

SiteRecord Site(const char* name, const char* type, unsigned short port)
{
    SiteRecord site;
    site.SiteName = name;
    site.SiteType = type;
    site.SiteIP = "127.0.0.1";
    site.SitePort = wxString::Format("%u", port);
    site.DatabaseFile = wxString(name) + ".db";
    if (site.SiteType == "WEBLOGIC")
    {
        site.SiteAuth = "weblogic";
        site.SitePwd = "secret";
        site.WlsAdminURL = "7001";
        site.WlsVer = "WebLogic V10";
    }
    return site;
}

// A port nothing listens on.
unsigned short ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string Program()
{
    return BinDir() + "/corvane-monitor";
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class MonitorProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_config.Open(m_home.File("Corvane.db"), DbAccess::ConfigDb), 1);
    }
    std::string Errors() const { return ReadFileBytes(m_home.File("stderr.txt")); }
    std::string ErrorFile() const { return m_home.File("stderr.txt").utf8_string(); }
    std::string Home() const { return m_home.Dir().utf8_string(); }

    TempHome m_home;
    PromptRecorder m_prompts; // the new Corvane.db is announced
    DbAccess m_config;
};

TEST(RetryDelay, DoublesFromTheIntervalUpToItsCap)
{
    struct Case
    {
        int interval, failures, seconds;
    };
    const Case cases[] = {{15, 1, 15}, {15, 2, 30}, {15, 5, 240}, {15, 6, 300}, {15, 60, 300},
                          {60, 3, 240}, {600, 1, 600}, {600, 4, 600}};
    for (const Case& c : cases)
        EXPECT_EQ(RetryDelaySeconds(c.interval, c.failures), c.seconds) << c.interval << " " << c.failures;
}

struct RefusalCase
{
    std::vector<std::string> args;
    const char* message;
};

TEST_F(MonitorProgramTest, RefusesWithOneMessageAndStatus2)
{
    FakeAgent busy(false); // its port is taken
    const RefusalCase cases[] = {
        {{"--site", "nosuch"}, "no site named \"nosuch\""},
        {{"--home", "/nonexistent/corvane"}, "/nonexistent/corvane"},
        {{"--listen", "localhost:9464"}, "--listen"},
        {{"--listen", "127.0.0.1:" + std::to_string(busy.Port())}, "cannot listen on 127.0.0.1:"},
        {{"--interval", "5"}, "--interval"},
    };
    for (const RefusalCase& c : cases)
    {
        std::vector<std::string> argv{Program()};
        if (c.args[0] != "--home")
            argv.insert(argv.end(), {"--home", Home()});
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        ChildProcess program(argv, false, 0, ErrorFile());
        EXPECT_EQ(program.WaitForExit(20000), 2) << c.message;
        const std::vector<std::string> lines = Lines(Errors());
        ASSERT_EQ(lines.size(), 1u) << Errors();
        EXPECT_NE(lines[0].find(c.message), std::string::npos) << lines[0];
    }
}

TEST_F(MonitorProgramTest, WatchesReloadsAndStopsCleanly)
{
    FakeAgent tux(false);
    tux.SetReports({kTuxReport});
    FakeAgent wls(true);
    wls.SetReports({kWlsReport});
    const unsigned short closed = ClosedPort();
    ASSERT_EQ(m_config.InsertSite(Site("east", "TUXEDO", tux.Port())), 1);
    ASSERT_EQ(m_config.InsertSite(Site("down", "TUXEDO", closed)), 1);

    ChildProcess program({Program(), "--home", Home(), "--listen", "127.0.0.1:0", "--record"}, true, 20000,
                         ErrorFile());
    const std::string url = program.FirstLine();
    ASSERT_EQ(url.rfind("http://127.0.0.1:", 0), 0u) << url << Errors();
    std::string text;
    ASSERT_TRUE(WaitFor(
        [&]
        {
            text = HttpGet(url);
            return text.find("corvane_up{site=\"east\"} 1\n") != std::string::npos &&
                   text.find("corvane_scan_failures_total{reason=\"connect\",site=\"down\"}") != std::string::npos;
        },
        30000))
        << text << Errors();
    EXPECT_NE(text.find("corvane_tuxedo_queue_requests{server=\"BILLSVR\",site=\"east\"} 7\n"), std::string::npos);
    EXPECT_NE(text.find("corvane_up{site=\"down\"} 0\n"), std::string::npos);
    EXPECT_EQ(text.find("corvane_tuxedo_host_cpu_idle_percent{site=\"down\"}"), std::string::npos);
    // The down site's attempt is one line of the log, with the site's name.
    EXPECT_NE(Errors().find("[down] Connect to Host[127.0.0.1: " + std::to_string(closed) + "] Failed!"),
              std::string::npos)
        << Errors();

    // SIGHUP: a new site starts, a removed one stops, the kept one runs on.
    ASSERT_EQ(m_config.InsertSite(Site("wls", "WEBLOGIC", wls.Port())), 1);
    ASSERT_EQ(m_config.DeleteSite(Site("down", "TUXEDO", closed), false), 1);
    ::kill(program.Pid(), SIGHUP);
    ASSERT_TRUE(WaitFor(
        [&]
        {
            text = HttpGet(url);
            return text.find("corvane_weblogic_heap_free_percent{server=\"ms1\",site=\"wls\"} 37\n") !=
                       std::string::npos &&
                   text.find("site=\"down\"") == std::string::npos;
        },
        30000))
        << text << Errors();
    EXPECT_EQ(tux.Accepted(), 1); // east was not restarted
    const std::string exposition = m_home.File("metrics.txt").utf8_string();
    WriteFileBytes(exposition, text);
    EXPECT_EQ(std::system(("promtool check metrics < '" + exposition + "'").c_str()), 0) << text;

    ::kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(30000), 0) << Errors();
    EXPECT_EQ(tux.Commands().back(), '_') << tux.Commands();
    EXPECT_EQ(wls.Commands().back(), '_') << wls.Commands();
    wxSQLite3Database history;
    history.Open(m_home.File("east.db"));
    EXPECT_GT(history.ExecuteScalar("select count(*) from QueueList"), 0);
}

// An alarm found without a window reaches people: the died server of a poll
// goes out as mail through the program's own event loop (a console
// application, where the console's hand-off used to need a GUI one).
TEST_F(MonitorProgramTest, AlarmMailLeavesTheProgram)
{
    ASSERT_TRUE(wxFileName::Mkdir(m_home.File("mail")));
    AiosmtpdPeer sink(m_home.File("mail").utf8_string());
    ASSERT_TRUE(sink.WaitReady()) << "aiosmtpd did not start";
    FakeAgent tux(false);
    // BILLSVR is gone at the first poll; another server still runs.
    tux.SetReports({kTuxReport, "<MONITOR Date=\"now\"><SYSTEM FreeMem=\"2048\" IdleCPU=\"90\" SvrCnt=\"1\" "
                                "QueCnt=\"0\" CltCnt=\"0\"/><SERVER Server=\"ACCTSVR\" Queueid=\"Q2\" "
                                "ProcessID=\"102\" RqDone=\"5\" CurrSvc=\"IDLE\"/></MONITOR>"});
    const SiteRecord site = Site("east", "TUXEDO", tux.Port());
    ASSERT_EQ(m_config.InsertSite(site), 1);
    ActionSettings settings;
    settings.SMTPSvr = wxString::Format("127.0.0.1:%u", sink.Port("plain"));
    settings.SMTPUsr = "operator"; // the designed settings want a login, used where offered
    settings.SMTPPwd = "secret";
    settings.MailTo = "ops@example.com";
    ASSERT_EQ(m_config.SaveActionSettings(settings), 1);
    DbAccess siteDb;
    ASSERT_EQ(siteDb.Open(m_home.File("east.db"), DbAccess::SiteDb), 1);
    TuxAlarmRule rule;
    rule.SiteName = "east";
    rule.SvrDied = "BILLSVR";
    rule.Email = "TRUE";
    ASSERT_EQ(siteDb.SaveTuxRule(rule), 1);
    siteDb.Close();

    // The shortest interval a site takes: the first poll comes 15 s after Start.
    ChildProcess program({Program(), "--home", Home(), "--interval", "15"}, true, 20000, ErrorFile());
    ASSERT_TRUE(WaitFor([&] { return sink.Delivered() >= 1; }, 45000)) << Errors();
    EXPECT_NE(sink.Part(1, "html").find("[ BILLSVR]  Died!!!"), std::string::npos) << sink.Part(1, "html");
    EXPECT_EQ(sink.Part(1, "rcpt_tos"), "ops@example.com\n");
    ::kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.WaitForExit(30000), 0) << Errors();
}
} // namespace
