#include "weblogic/dunmere_panel.h"

#include "common/ids.h"
#include "common/text.h"
#include "common/virtual_report_list.h"
#include "fake_wls_agent.h"
#include "panel_driver.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"
#include "weblogic/wls_request.h"

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/wxsqlite3.h>

#include <chrono>
#include <mutex>
#include <vector>

namespace
{
std::string Monitor(const std::string& children, const std::string& date = "2026-03-01 10:00:00")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><MONITOR Date=\"" + date + "\">" + children +
           "</MONITOR>";
}

const std::string InitBuf =
    "<INITBUF DomainVersion=\"10.3.6\" Activationtime=\"boot-1\" ServerNum=\"2\" Name=\"prod\" "
    "AdminServerName=\"admin\" JDKVendor=\"Oracle\" JDKVersion=\"1.6\" OSName=\"Linux\" "
    "OSVersion=\"5.10\" ProductionModeEnabled=\"true\" AgentVersion=\"3.3\"/>";

std::string Server(const std::string& name, const std::string& port)
{
    return "<ServerRuntime serverName=\"" + name + "\" ListenAddress=\"10.0.0.9\" ListenPort=\"" +
           port + "\" State=\"RUNNING\" HealthState=\"State:HEALTH_OK,x\"/>";
}

std::string Jvm(const std::string& name, const std::string& free, const std::string& percent)
{
    return "<JVMRuntime serverName=\"" + name + "\" JavaVendor=\"Oracle\" JavaVersion=\"1.6\" "
           "HeapFreeCurrent=\"" + free + "\" HeapSizeMax=\"1073741824\" HeapFreePercent=\"" +
           percent + "\"/>";
}

std::string Pool(const std::string& name, const std::string& idle, const std::string& total)
{
    return "<ThreadPoolRuntime serverName=\"" + name + "\" ExecuteThreadIdleCount=\"" + idle +
           "\" ExecuteThreadTotalCount=\"" + total + "\" Throughput=\"3.5\" QueueLength=\"0\"/>";
}

std::string Jdbc(const std::string& name, const std::string& pool)
{
    return "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans serverName=\"" + name +
           "\" Name=\"" + pool + "\" CurrCapacity=\"10\" ActiveConnectionsCurrentCount=\"1\" "
           "ActiveConnectionsHighCount=\"4\" LeakedConnectionCount=\"0\" State=\"Running\"/>";
}

const std::string Domain = Monitor(InitBuf + Server("admin", "7001") + Server("ms1", "7003") +
                                   Jvm("admin", "536870912", "50") + Jvm("ms1", "N/A", "40") +
                                   Pool("admin", "10", "20") + Pool("ms1", "12", "20") +
                                   Jdbc("ms1", "ds1") + Jdbc("ms1", "ds2"));

enum ListIndex
{
    Servers = 0,
    Jvms = 1,
    Threads = 2,
    Pools = 3,
};

class DunmerePanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_frame = new wxFrame(nullptr, wxID_ANY, "WebLogic", wxDefaultPosition, wxSize(1000, 700));
        m_frame->Show();
        m_agent.Queue(']', Domain);
        PromptRecorder creating; // the notices of new database files
        m_panel = new DunmerePanel(m_frame, AgentLink::Timeouts{2000, 4000});
        m_site.SiteName = "wls1";
        m_site.SiteType = "WEBLOGIC";
        m_site.SiteIP = "127.0.0.1";
        m_site.SitePort = wxString::Format("%u", m_agent.Port());
        m_site.SiteAuth = "weblogic";
        m_site.SitePwd = "pw&<\"";
        m_site.WlsAdminURL = "7001";
        m_site.WlsVer = "WebLogic V10";
        m_site.DatabaseFile = "wls1.db";
        m_panel->SetSite(m_site);
        m_panel->SetAlarmActions(
            {[this](const wxString& file) { Note("sound:" + file); },
             [this](const wxString& text) { Note("sms:" + text); },
             [this](const ActionSettings&, const wxString& text) { Note("mail:" + text); }});
        m_frame->Layout();
    }

    void TearDown() override
    {
        if (m_panel)
            m_panel->Destroy();
        m_frame->Destroy();
        PumpFor(20);
    }

    void Note(const wxString& action)
    {
        std::lock_guard<std::mutex> lock(m_actionsMutex);
        m_actions.push_back(action);
    }
    std::vector<wxString> Actions()
    {
        std::lock_guard<std::mutex> lock(m_actionsMutex);
        return m_actions;
    }

    template <class T>
    T* Find(int id) const
    {
        return dynamic_cast<T*>(m_panel->FindWindow(id));
    }
    wxString Log() const { return PanelLog(m_panel); }
    wxString StartLabel() const { return Find<wxButton>(CorvaneId::StartStop)->GetLabel(); }
    bool IntervalEnabled() const { return Find<wxTextCtrl>(CorvaneId::Interval)->IsEnabled(); }
    wxCheckBox* RecordBox() const
    {
        return dynamic_cast<wxCheckBox*>(wxWindow::FindWindowByLabel("Record to Database!", m_panel));
    }

    void Start() { StartPanel(m_panel); }
    void Poll() { PollPanel(m_panel); }

    int Count(const char* table)
    {
        wxSQLite3Database db;
        db.Open(m_home.File("wls1.db"));
        return db.ExecuteScalar(wxString("select count(*) from ") + table);
    }

    TempHome m_home;
    FakeWlsAgent m_agent;
    SiteRecord m_site;
    wxFrame* m_frame = nullptr;
    DunmerePanel* m_panel = nullptr;
    std::mutex m_actionsMutex;
    std::vector<wxString> m_actions;
};
} // namespace

TEST_F(DunmerePanelTest, StartSendsTheRequestAndShowsTheFirstReport)
{
    WlsAlarmRule rule;
    rule.FreeHeap = "45";
    m_panel->SetRule(rule);
    Start();
    EXPECT_TRUE(m_panel->IsRunning());
    EXPECT_EQ(StartLabel(), "Stop");
    EXPECT_FALSE(IntervalEnabled());
    EXPECT_EQ(m_panel->Timer().GetInterval(), 15000);
    EXPECT_EQ(m_panel->Timer().GetId(), CorvaneId::WebLogicTimer);

    const std::vector<std::string> requests = m_agent.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "[");
    EXPECT_EQ(requests[1], "^" + ToUtf8(BuildWlsRequest(m_site)));
    EXPECT_NE(requests[1].find("password=\"pw&amp;&lt;&quot;\"/>"), std::string::npos);

    EXPECT_TRUE(Find<VirtualReportList>(CorvaneId::ServerList)->HasFlag(wxLC_VIRTUAL));
    ASSERT_EQ(m_panel->ShownRows(Servers), 2);
    EXPECT_EQ(m_panel->ShownCell(Servers, 1, 0), "ms1");
    EXPECT_EQ(m_panel->ShownCell(Servers, 1, 2), "7003");
    EXPECT_EQ(m_panel->ShownCell(Servers, 1, 3), "HEALTH_OK");
    ASSERT_EQ(m_panel->ShownRows(Jvms), 2);
    EXPECT_EQ(m_panel->ShownCell(Jvms, 0, 3), "512.00M");
    EXPECT_EQ(m_panel->ShownCell(Jvms, 1, 3), "0.00M");
    EXPECT_EQ(m_panel->ShownCell(Jvms, 0, 4), "0.00M");
    EXPECT_EQ(m_panel->ShownCell(Jvms, 0, 5), "1024.00M");
    EXPECT_EQ(m_panel->ShownCell(Jvms, 1, 6), "40%");
    // The first report is marked but not evaluated.
    EXPECT_FALSE(m_panel->ShownRed(Jvms, 0));
    EXPECT_TRUE(m_panel->ShownRed(Jvms, 1));
    EXPECT_TRUE(Actions().empty());
    EXPECT_EQ(m_panel->ShownRows(Threads), 2);
    ASSERT_EQ(m_panel->ShownRows(Pools), 2);
    EXPECT_EQ(m_panel->ShownCell(Pools, 1, 1), "ds2");

    EXPECT_EQ(m_panel->SummaryValue(0), "10.3.6");
    EXPECT_EQ(m_panel->SummaryValue(1), "boot-1");
    EXPECT_EQ(m_panel->SummaryValue(2), "2026-03-01 10:00:00");
    EXPECT_EQ(m_panel->SummaryValue(6), "Oracle 1.6");
    EXPECT_EQ(m_panel->SummaryValue(7), "Linux 5.10");
    EXPECT_EQ(m_panel->SummaryValue(9), "3.3");
    EXPECT_TRUE(Log().empty());
}

// A first report that does not parse is still displayed: what was there
// stays. Those rows were not seen now, so they are not recorded again.
TEST_F(DunmerePanelTest, FirstReportShownWhateverTheParseReturned)
{
    Start();
    m_panel->StopMonitor();
    m_agent.Queue(']', "<MONITOR");
    RecordBox()->SetValue(true);
    Start();
    EXPECT_TRUE(m_panel->IsRunning());
    EXPECT_EQ(m_panel->ShownRows(Servers), 2);
    EXPECT_EQ(m_panel->SummaryValue(4), "prod");
    EXPECT_EQ(m_agent.Accepted(), 2);
    EXPECT_EQ(Count("WlsSvrlist"), 0);
}

TEST_F(DunmerePanelTest, PollsShowReportsAndFireAlarms)
{
    WlsAlarmRule rule;
    rule.FreeHeap = "45";
    rule.PlaySound = "TRUE";
    rule.Email = "TRUE";
    m_panel->SetRule(rule);
    Start();
    m_agent.Queue(']', Monitor(Server("ms1", "7003") + Jvm("ms1", "1048576", "30") +
                                   "<SYSTEM errMsg=\"agent note\"/>",
                               "2026-03-01 10:00:30"));
    Poll();
    ASSERT_EQ(m_panel->ShownRows(Servers), 1);
    EXPECT_EQ(m_panel->ShownCell(Jvms, 0, 3), "1.00M");
    EXPECT_TRUE(m_panel->ShownRed(Jvms, 0));
    EXPECT_EQ(m_panel->SummaryValue(2), "2026-03-01 10:00:30");
    EXPECT_EQ(m_panel->SummaryValue(4), "prod"); // summary survives a report without INITBUF
    const std::vector<wxString> actions = Actions();
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[0], "sound:");
    EXPECT_EQ(actions[1], "mail:[ ms1]  JVM Heap Too Low!!!");
    const wxString log = Log();
    const int note = log.Find("]: [WARN]: agent note\n");
    const int alarm = log.Find("]: [WARN]: [ ms1]  JVM Heap Too Low!!!\n");
    EXPECT_GE(note, 0) << log;
    EXPECT_GT(alarm, note) << log;
    EXPECT_TRUE(m_panel->IsRunning());
    EXPECT_EQ(m_agent.Commands(), "[^]");
}

// One scan at a time: a tick that finds the previous scan running is skipped.
TEST_F(DunmerePanelTest, TickWhileAScanRunsIsSkipped)
{
    Start();
    m_agent.HoldPolls(true);
    const int ended = m_panel->ScansEnded();
    ASSERT_TRUE(m_panel->RunScanNow());
    EXPECT_FALSE(m_panel->RunScanNow());
    EXPECT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[^]"; }));
    m_agent.HoldPolls(false);
    ASSERT_TRUE(PumpUntil([&] { return m_panel->ScansEnded() > ended; }));
    EXPECT_EQ(m_agent.Commands(), "[^]");
    EXPECT_TRUE(m_panel->RunScanNow());
    EXPECT_TRUE(PumpUntil([&] { return m_panel->ScansEnded() > ended + 1; }));
}

TEST_F(DunmerePanelTest, ThreadDumpIsRequestedAndItsAnswerLogged)
{
    WlsAlarmRule rule;
    rule.IdleThread = "10";
    rule.ThreadDump = "TRUE";
    m_panel->SetRule(rule);
    Start();
    m_agent.Queue(']', Monitor(Server("ms1", "7003") + Pool("ms1", "1", "20")));
    m_agent.Queue('a', Monitor("<SYSTEM errMsg=\"2 dumps written\"/>"));
    Poll();
    const std::vector<std::string> requests = m_agent.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[3], "a<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent>"
                           "<Server name=\"ms1\" url=\"10.0.0.9:7003\" dumpCount=\"2\" />"
                           "</wlsagent>");
    const wxString log = Log();
    const int dump = log.Find("]: [WARN]: [ ms1]  Do ThreadDump !!!2 dumps written\n");
    const int alarm = log.Find("]: [WARN]: [ ms1]  Free Thread Too Low!!!\n");
    EXPECT_GE(dump, 0) << log;
    EXPECT_GT(alarm, dump) << log;
    // The lists are not refreshed from the dump answer.
    EXPECT_EQ(m_panel->ShownRows(Threads), 1);
    EXPECT_TRUE(m_panel->ShownRed(Threads, 0));
    EXPECT_TRUE(m_panel->IsRunning());
}

TEST_F(DunmerePanelTest, BrokenLinkFoundByAScanStopsTheMonitor)
{
    Start();
    Find<wxTextCtrl>(CorvaneId::LogArea)->AppendText("older lines\n");
    m_agent.Queue(']', FakeWlsAgent::Answer{FakeWlsAgent::Answer::BadLength, ""});
    Poll();
    PumpFor(50);
    EXPECT_EQ(Log(), "Connection to Agent is Broken! Re-Connect Please!");
    EXPECT_FALSE(m_panel->IsRunning());
    EXPECT_FALSE(m_panel->Timer().IsRunning());
    EXPECT_EQ(StartLabel(), "Start");
    EXPECT_TRUE(IntervalEnabled());
    EXPECT_EQ(m_panel->ShownRows(Servers), 2); // the lists keep the last report
}

// The agent going away during the thread-dump exchange takes the broken-link
// path once; the scan's alarm lines still follow.
TEST_F(DunmerePanelTest, LinkBreakingDuringTheThreadDump)
{
    WlsAlarmRule rule;
    rule.IdleThread = "10";
    rule.ThreadDump = "TRUE";
    m_panel->SetRule(rule);
    Start();
    m_agent.Queue(']', Monitor(Server("ms1", "7003") + Pool("ms1", "0", "20")));
    m_agent.Queue('a', FakeWlsAgent::Answer{FakeWlsAgent::Answer::Close, ""});
    Poll();
    PumpFor(50);
    const wxString log = Log();
    EXPECT_TRUE(log.StartsWith("Connection to Agent is Broken! Re-Connect Please!")) << log;
    EXPECT_EQ(log.Find("Connection to agent is broken!"), wxNOT_FOUND);
    EXPECT_NE(log.Find("[ ms1]  Free Thread Too Low!!!\n"), wxNOT_FOUND);
    EXPECT_FALSE(m_panel->IsRunning());
    EXPECT_EQ(StartLabel(), "Start");
}

TEST_F(DunmerePanelTest, LostConnectionBetweenPolls)
{
    Start();
    m_agent.Drop();
    ASSERT_TRUE(PumpUntil([&] { return !m_panel->IsRunning(); }));
    const wxString log = Log();
    EXPECT_TRUE(log.StartsWith("[")) << log;
    EXPECT_TRUE(log.EndsWith("]: [WARN]: Connection to agent is broken!")) << log;
    EXPECT_EQ(StartLabel(), "Start");
    EXPECT_TRUE(IntervalEnabled());
    EXPECT_FALSE(m_panel->Timer().IsRunning());
    EXPECT_FALSE(m_panel->RunScanNow());
}

TEST_F(DunmerePanelTest, StopAsksFirst)
{
    Start();
    {
        PromptRecorder prompts;
        prompts.Answer(wxNO);
        wxCommandEvent click(wxEVT_BUTTON, CorvaneId::StartStop);
        Find<wxButton>(CorvaneId::StartStop)->ProcessWindowEvent(click);
        ASSERT_EQ(prompts.Messages().size(), 1u);
        EXPECT_EQ(prompts.Messages()[0].text, "Stop a running WebLogic site monitor?");
        EXPECT_EQ(prompts.Messages()[0].caption, "Confirm");
        EXPECT_EQ(prompts.Messages()[0].style & (wxYES_NO | wxICON_QUESTION),
                  wxYES_NO | wxICON_QUESTION);
        EXPECT_TRUE(m_panel->IsRunning());
    }
    {
        PromptRecorder prompts;
        prompts.Answer(wxYES);
        wxCommandEvent click(wxEVT_BUTTON, CorvaneId::StartStop);
        Find<wxButton>(CorvaneId::StartStop)->ProcessWindowEvent(click);
        EXPECT_FALSE(m_panel->IsRunning());
    }
    EXPECT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[^_"; }));
    EXPECT_EQ(StartLabel(), "Start");
}

TEST_F(DunmerePanelTest, RecordsIntoTheFourWebLogicTablesOnly)
{
    Start(); // not recorded: the box is unchecked
    Poll();
    EXPECT_EQ(Count("WlsSvrlist"), 0);
    RecordBox()->SetValue(true);
    Poll();
    EXPECT_EQ(Count("WlsSvrlist"), 2);
    EXPECT_EQ(Count("wlsjvmlist"), 2);
    EXPECT_EQ(Count("wlsthdlist"), 2);
    EXPECT_EQ(Count("wlsjdbclist"), 2);
    EXPECT_EQ(Count("ServerList") + Count("QueueList") + Count("ClientList"), 0);
    wxSQLite3Database db;
    db.Open(m_home.File("wls1.db"));
    EXPECT_EQ(db.ExecuteScalar("select count(distinct RecTime) from (select RecTime from WlsSvrlist "
                               "union all select RecTime from wlsjvmlist union all select RecTime "
                               "from wlsthdlist union all select RecTime from wlsjdbclist)"),
              1);
    wxSQLite3ResultSet row = db.ExecuteQuery("select FreeHeap, FreePercent from wlsjvmlist "
                                             "where ServerName = 'admin'");
    ASSERT_TRUE(row.NextRow());
    EXPECT_EQ(row.GetAsString(0), "536870912");
    EXPECT_EQ(row.GetAsString(1), "50%");
    EXPECT_TRUE(Log().empty());
}

// A failing history insert writes one warning line and monitoring goes on.
TEST_F(DunmerePanelTest, HistoryFailureWarnsOnceAndMonitoringGoesOn)
{
    Start();
    {
        wxSQLite3Database db;
        db.Open(m_home.File("wls1.db"));
        db.ExecuteUpdate("drop table wlsthdlist");
    }
    RecordBox()->SetValue(true);
    Poll();
    const wxString log = Log();
    EXPECT_EQ(log.Freq('\n'), 1u) << log;
    EXPECT_NE(log.Find("]: [WARN]: History not recorded: "), wxNOT_FOUND) << log;
    EXPECT_EQ(Count("WlsSvrlist"), 0); // the scan's rows go together or not at all
    EXPECT_TRUE(m_panel->IsRunning());
    Poll();
    EXPECT_EQ(Log().Freq('\n'), 2u);
}

// Closing a pane while its scan waits for the agent must neither hang nor
// leave the scan using a panel that is gone.
TEST_F(DunmerePanelTest, DestroyedWhileAScanRuns)
{
    Start();
    m_agent.HoldPolls(true);
    ASSERT_TRUE(m_panel->RunScanNow());
    ASSERT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[^]"; }));
    const auto before = std::chrono::steady_clock::now();
    delete m_panel;
    m_panel = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    PumpFor(50);
}

// A scan cut short by Stop finds its link broken; by the time that reaches
// the GUI thread the operator may have started again, and the new run must
// go on.
TEST_F(DunmerePanelTest, ScanOfAnEarlierRunDoesNotStopANewOne)
{
    Start();
    m_agent.HoldPolls(true);
    const int ended = m_panel->ScansEnded();
    ASSERT_TRUE(m_panel->RunScanNow());
    ASSERT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[^]"; }));
    m_panel->StopMonitor();
    m_agent.HoldPolls(false);
    Start(); // waits for the cut scan; its hand-offs are still queued
    ASSERT_TRUE(PumpUntil([&] { return m_panel->ScansEnded() > ended; }));
    PumpFor(50);
    EXPECT_TRUE(m_panel->IsRunning());
    EXPECT_EQ(Log().Find("Re-Connect"), wxNOT_FOUND) << Log();
    Poll();
    EXPECT_TRUE(m_panel->IsRunning());
}
