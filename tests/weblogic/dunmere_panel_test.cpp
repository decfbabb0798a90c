// DunmerePanel against a scripted WebLogic agent (Start, polls, alarms,
// thread dumps, broken links, history, teardown) and against the stand-in
// agent corvane-agent-sim run as a child process.
#include "weblogic/dunmere_panel.h"

#include "agent/fake_agent.h"
#include "agent/sim_process.h"
#include "common/ids.h"
#include "common/text.h"
#include "common/virtual_report_list.h"
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

const std::string Domain = Monitor(
    "<INITBUF DomainVersion=\"10.3.6\" Activationtime=\"boot-1\" ServerNum=\"2\" Name=\"prod\" "
    "AdminServerName=\"admin\" JDKVendor=\"Oracle\" JDKVersion=\"1.6\" OSName=\"Linux\" "
    "OSVersion=\"5.10\" ProductionModeEnabled=\"true\" AgentVersion=\"3.3\"/>" +
    Server("admin", "7001") + Server("ms1", "7003") + Jvm("admin", "536870912", "50") +
    Jvm("ms1", "N/A", "40") + Pool("admin", "10", "20") + Pool("ms1", "12", "20") +
    Jdbc("ms1", "ds1") + Jdbc("ms1", "ds2"));

const wxString BrokenLink = "Connection to Agent is Broken! Re-Connect Please!";

enum ListIndex
{
    Servers = 0,
    Jvms = 1,
    Threads = 2,
    Pools = 3,
};

// A panel for site wls1 (history in wls1.db) on the scripted agent, which
// answers Start and polls with Domain unless a test queues more; its alarm
// actions are recorded.
class DunmerePanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_frame = new wxFrame(nullptr, wxID_ANY, "WebLogic", wxDefaultPosition, wxSize(1000, 700));
        m_frame->Show();
        m_agent.Queue(']', Domain);
        PromptRecorder creating; // the notice of the new database file
        m_panel = new DunmerePanel(m_frame, AgentLink::Timeouts{2000, 4000});
        m_site = SiteRecord{"wls1", "WEBLOGIC", "127.0.0.1", wxString::Format("%u", m_agent.Port()),
                            "weblogic", "pw&<\"", "7001", "WebLogic V10", "", "wls1.db"};
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
    wxString Log() const { return Find<wxTextCtrl>(CorvaneId::LogArea)->GetValue(); }
    bool Logged(const wxString& line) const { return Log().Contains("]: [WARN]: " + line + "\n"); }
    bool ShowsIdle() const
    {
        return !m_panel->IsRunning() && !m_panel->Timer().IsRunning() &&
               Find<wxButton>(CorvaneId::StartStop)->GetLabel() == "Start" &&
               Find<wxTextCtrl>(CorvaneId::Interval)->IsEnabled();
    }
    wxCheckBox* RecordBox() const
    {
        return dynamic_cast<wxCheckBox*>(wxWindow::FindWindowByLabel("Record to Database!", m_panel));
    }

    // Start with the shortest interval allowed; no message box may appear.
    void Start()
    {
        Find<wxTextCtrl>(CorvaneId::Interval)->SetValue("15");
        PromptRecorder none;
        ASSERT_EQ(m_panel->StartMonitor(), 1);
        EXPECT_TRUE(none.Messages().empty());
    }
    // What a timer tick does, then waits until the scan's hand-offs are done.
    void Poll()
    {
        const int ended = m_panel->ScansEnded();
        ASSERT_TRUE(m_panel->RunScanNow());
        ASSERT_TRUE(PumpUntil([&] { return m_panel->ScansEnded() > ended; }));
    }
    // Starts a poll that the held agent does not answer.
    void PollHeld()
    {
        m_agent.HoldPolls(true);
        ASSERT_TRUE(m_panel->RunScanNow());
        ASSERT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[^]"; }));
    }
    int Count(const char* table)
    {
        wxSQLite3Database db;
        db.Open(m_home.File("wls1.db"));
        return db.ExecuteScalar(wxString("select count(*) from ") + table);
    }
    // The panel on the stand-in agent instead.
    void UseSim(const SimProcess& sim, const wxString& version)
    {
        m_site.SitePort = wxString::Format("%u", sim.Port());
        m_site.WlsVer = version;
        m_panel->SetSite(m_site);
    }

    TempHome m_home;
    FakeAgent m_agent{true};
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
    EXPECT_EQ(Find<wxButton>(CorvaneId::StartStop)->GetLabel(), "Stop");
    EXPECT_FALSE(Find<wxTextCtrl>(CorvaneId::Interval)->IsEnabled());
    EXPECT_EQ(m_panel->Timer().GetInterval(), 15000);
    EXPECT_EQ(m_panel->Timer().GetId(), CorvaneId::WebLogicTimer);

    // The request document of the site goes with '^'.
    EXPECT_EQ(m_agent.Requests(),
              (std::vector<std::string>{"[", "^" + ToUtf8(BuildWlsRequest(m_site))}));

    EXPECT_TRUE(Find<VirtualReportList>(CorvaneId::ServerList)->HasFlag(wxLC_VIRTUAL));
    ASSERT_EQ(m_panel->ShownRows(Servers), 2);
    EXPECT_EQ(m_panel->ShownCell(Servers, 1, 0), "ms1");
    EXPECT_EQ(m_panel->ShownCell(Servers, 1, 2), "7003");
    EXPECT_EQ(m_panel->ShownCell(Servers, 1, 3), "HEALTH_OK");
    ASSERT_EQ(m_panel->ShownRows(Jvms), 2);
    // heap sizes in megabytes: free, current (absent), max; the percentage as sent
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

    const std::pair<int, const char*> summary[] = {{0, "10.3.6"}, {1, "boot-1"}, {2, "2026-03-01 10:00:00"},
                                                   {6, "Oracle 1.6"}, {7, "Linux 5.10"}, {9, "3.3"}};
    for (const auto& [row, value] : summary)
        EXPECT_EQ(m_panel->SummaryValue(row), value) << row;
    EXPECT_TRUE(Log().empty());
}

// Regression: a first report that does not parse is still displayed: what
// was there stays. Those rows were not seen now, so they are not recorded.
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
    // The real timer event drives the poll (its period shortened here).
    const_cast<wxTimer&>(m_panel->Timer()).Start(20, wxTIMER_ONE_SHOT);
    ASSERT_TRUE(PumpUntil([&] { return m_panel->ScansEnded() == 1 && !m_panel->ScanRunning(); }));
    ASSERT_EQ(m_panel->ShownRows(Servers), 1);
    EXPECT_EQ(m_panel->ShownCell(Jvms, 0, 3), "1.00M");
    EXPECT_TRUE(m_panel->ShownRed(Jvms, 0));
    EXPECT_EQ(m_panel->SummaryValue(2), "2026-03-01 10:00:30");
    EXPECT_EQ(m_panel->SummaryValue(4), "prod"); // summary survives a report without INITBUF
    EXPECT_EQ(Actions(), (std::vector<wxString>{"sound:", "mail:[ ms1]  JVM Heap Too Low!!!"}));
    // the agent's message first, then the alarm lines
    const int note = Log().Find("]: [WARN]: agent note\n");
    EXPECT_GE(note, 0) << Log();
    EXPECT_GT(Log().Find("]: [WARN]: [ ms1]  JVM Heap Too Low!!!\n"), note) << Log();
    EXPECT_TRUE(m_panel->IsRunning());
    EXPECT_EQ(m_agent.Commands(), "[^]");
}

// A reply whose frame cannot be read breaks the link: the log is emptied for
// the notice and the lists keep the last report.
TEST_F(DunmerePanelTest, BrokenLinkFoundByAScanStopsTheMonitor)
{
    Start();
    Find<wxTextCtrl>(CorvaneId::LogArea)->AppendText("older lines\n");
    m_agent.Queue(']', FakeAgent::Answer{FakeAgent::Answer::BadLength, ""});
    Poll();
    PumpFor(50);
    EXPECT_EQ(Log(), BrokenLink);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_EQ(m_panel->ShownRows(Servers), 2);
}

TEST_F(DunmerePanelTest, StopAsksFirst)
{
    Start();
    for (int answer : {wxNO, wxYES})
    {
        PromptRecorder prompts;
        prompts.Answer(answer);
        wxCommandEvent click(wxEVT_BUTTON, CorvaneId::StartStop);
        Find<wxButton>(CorvaneId::StartStop)->ProcessWindowEvent(click);
        ASSERT_EQ(prompts.Texts(), std::vector<wxString>{"Stop a running WebLogic site monitor?"});
        EXPECT_EQ(prompts.Messages()[0].caption, "Confirm");
        EXPECT_EQ(prompts.Messages()[0].style & (wxYES_NO | wxICON_QUESTION), wxYES_NO | wxICON_QUESTION);
        EXPECT_EQ(m_panel->IsRunning(), answer == wxNO);
    }
    EXPECT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[^_"; }));
    EXPECT_TRUE(ShowsIdle());
}

TEST_F(DunmerePanelTest, RecordsIntoTheFourWebLogicTablesOnly)
{
    Start(); // not recorded: the box is unchecked
    Poll();
    EXPECT_EQ(Count("WlsSvrlist"), 0);
    RecordBox()->SetValue(true);
    Poll();
    for (const char* table : {"WlsSvrlist", "wlsjvmlist", "wlsthdlist", "wlsjdbclist"})
        EXPECT_EQ(Count(table), 2) << table;
    EXPECT_EQ(Count("ServerList") + Count("QueueList") + Count("ClientList"), 0);
    RecordBox()->SetValue(false); // unticked: the next scan writes nothing
    Poll();
    EXPECT_EQ(Count("WlsSvrlist"), 2);
    EXPECT_EQ(Count("(select RecTime from WlsSvrlist union select RecTime from wlsjvmlist union "
                    "select RecTime from wlsthdlist union select RecTime from wlsjdbclist)"),
              1);
    wxSQLite3Database db;
    db.Open(m_home.File("wls1.db"));
    wxSQLite3ResultSet row =
        db.ExecuteQuery("select FreeHeap, FreePercent from wlsjvmlist where ServerName = 'admin'");
    ASSERT_TRUE(row.NextRow());
    EXPECT_EQ(row.GetAsString(0), "536870912");
    EXPECT_EQ(row.GetAsString(1), "50%");
    EXPECT_TRUE(Log().empty());
}

// Fault 7: a failing history insert writes one warning line and monitoring
// goes on; the scan's rows go together or not at all.
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
    EXPECT_EQ(Log().Freq('\n'), 1u) << Log();
    EXPECT_TRUE(Log().Contains("]: [WARN]: History not recorded: ")) << Log();
    EXPECT_EQ(Count("WlsSvrlist"), 0);
    EXPECT_TRUE(m_panel->IsRunning());
    Poll();
    EXPECT_EQ(Log().Freq('\n'), 2u);
}

// Closing a pane while its scan waits for the agent must neither hang nor
// leave the scan using a panel that is gone.
TEST_F(DunmerePanelTest, DestroyedWhileAScanRuns)
{
    Start();
    PollHeld();
    const auto before = std::chrono::steady_clock::now();
    delete m_panel;
    m_panel = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    PumpFor(50);
}

// Regression: a scan cut short by Stop finds its link broken; by the time
// that reaches the GUI thread the operator may have started again, and the
// new run must go on.
TEST_F(DunmerePanelTest, ScanOfAnEarlierRunDoesNotStopANewOne)
{
    Start();
    const int ended = m_panel->ScansEnded();
    PollHeld();
    m_panel->StopMonitor();
    m_agent.HoldPolls(false);
    Start(); // waits for the cut scan; its hand-offs are still queued
    ASSERT_TRUE(PumpUntil([&] { return m_panel->ScansEnded() > ended; }));
    PumpFor(50);
    EXPECT_TRUE(m_panel->IsRunning());
    EXPECT_FALSE(Log().Contains("Re-Connect")) << Log();
    Poll();
    EXPECT_TRUE(m_panel->IsRunning());
}

// A WebLogic 8 site asks the stand-in for the WebLogic 8 MBeans and reads
// them back.
TEST_F(DunmerePanelTest, WebLogic8LayoutAgainstTheStandInAgent)
{
    SimProcess sim({"--weblogic", "--servers", "2", "--pools", "3", "--version", "8"});
    ASSERT_GT(sim.Port(), 0);
    UseSim(sim, "WebLogic V8");
    Start();
    const long servers = m_panel->ShownRows(Servers);
    ASSERT_GT(servers, 0);
    EXPECT_EQ(m_panel->ShownRows(Threads), servers); // one application queue each
    EXPECT_EQ(m_panel->ShownRows(Pools), servers * 3);
    EXPECT_FALSE(m_panel->SummaryValue(1).empty());
    EXPECT_NE(m_panel->SummaryValue(1), "N/A");
}
