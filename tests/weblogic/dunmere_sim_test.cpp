// DunmerePanel against the stand-in agent corvane-agent-sim, run as a child
// process on a free port.
#include "weblogic/dunmere_panel.h"

#include "common/ids.h"
#include "panel_driver.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/textctrl.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace
{
std::string SimPath()
{
    if (const char* dir = std::getenv("CORVANE_BIN_DIR"))
        return std::string(dir) + "/corvane-agent-sim";
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.rfind('/') + 1) + "corvane-agent-sim";
}

// The agent as a child process; its port is the first line it prints.
class SimAgent
{
public:
    explicit SimAgent(std::vector<std::string> args)
    {
        args.insert(args.begin(), SimPath());
        args.push_back("--port");
        args.push_back("0");
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0); // its chatter
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
        std::string line;
        pollfd p{m_out, POLLIN, 0};
        while (m_pid > 0 && line.find('\n') == std::string::npos && ::poll(&p, 1, 5000) > 0)
        {
            char c;
            if (::read(m_out, &c, 1) != 1)
                break;
            line.push_back(c);
        }
        m_port = std::atoi(line.c_str());
    }
    ~SimAgent()
    {
        if (m_pid > 0)
        {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }
    int Port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_port = 0;
};

class DunmereSimTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (m_panel)
            m_panel->Destroy();
        if (m_frame)
            m_frame->Destroy();
        PumpFor(20);
    }

    void MakePanel(int port, const wxString& version)
    {
        m_frame = new wxFrame(nullptr, wxID_ANY, "WebLogic", wxDefaultPosition, wxSize(1000, 700));
        m_frame->Show();
        PromptRecorder creating;
        m_panel = new DunmerePanel(m_frame, AgentLink::Timeouts{2000, 4000});
        SiteRecord site;
        site.SiteName = "sim";
        site.SiteType = "WEBLOGIC";
        site.SiteIP = "127.0.0.1";
        site.SitePort = wxString::Format("%d", port);
        site.SiteAuth = "weblogic";
        site.SitePwd = "welcome1";
        site.WlsAdminURL = "7001";
        site.WlsVer = version;
        site.DatabaseFile = "sim.db";
        m_panel->SetSite(site);
        m_panel->SetAlarmActions({[](const wxString&) {}, [](const wxString&) {},
                                  [](const ActionSettings&, const wxString&) {}});
        m_frame->Layout();
    }

    void Start() { StartPanel(m_panel); }
    void Poll() { PollPanel(m_panel); }
    wxString Log() const { return PanelLog(m_panel); }

    TempHome m_home;
    wxFrame* m_frame = nullptr;
    DunmerePanel* m_panel = nullptr;
};
} // namespace

TEST_F(DunmereSimTest, PollsAndThreadDumpsAgainstTheStandInAgent)
{
    SimAgent sim({"--weblogic", "--servers", "3", "--pools", "2", "--seed", "5"});
    ASSERT_GT(sim.Port(), 0);
    MakePanel(sim.Port(), "WebLogic V10");
    // Thresholds no pool can meet: every server is dumped.
    WlsAlarmRule rule;
    rule.IdleThread = "101";
    rule.ThreadDump = "TRUE";
    m_panel->SetRule(rule);
    Start();
    const long servers = m_panel->ShownRows(0);
    ASSERT_GT(servers, 0);
    EXPECT_EQ(m_panel->ShownRows(1), servers);
    EXPECT_EQ(m_panel->ShownRows(2), servers);
    EXPECT_EQ(m_panel->ShownRows(3), servers * 2);
    EXPECT_FALSE(m_panel->SummaryValue(0).empty());

    Poll();
    const wxString log = Log();
    EXPECT_NE(log.Find(" Do ThreadDump !!!Thread dumps taken: "), wxNOT_FOUND) << log;
    EXPECT_NE(log.Find(" Free Thread Too Low!!!\n"), wxNOT_FOUND) << log;
    EXPECT_TRUE(m_panel->IsRunning());
    Poll();
    EXPECT_TRUE(m_panel->IsRunning());
}

// A WebLogic 8 site asks for the WebLogic 8 MBeans and reads them back.
TEST_F(DunmereSimTest, WebLogic8Layout)
{
    SimAgent sim({"--weblogic", "--servers", "2", "--pools", "3", "--version", "8"});
    ASSERT_GT(sim.Port(), 0);
    MakePanel(sim.Port(), "WebLogic V8");
    Start();
    const long servers = m_panel->ShownRows(0);
    ASSERT_GT(servers, 0);
    EXPECT_EQ(m_panel->ShownRows(2), servers); // one application queue each
    EXPECT_EQ(m_panel->ShownRows(3), servers * 3);
    EXPECT_FALSE(m_panel->SummaryValue(1).empty());
    EXPECT_NE(m_panel->SummaryValue(1), "N/A");
}
