// DunmerePanel against a scripted WebLogic agent: Start, polls, alarms,
// history and a run cut short. A WebLogic 8 domain is read in
// tests/monitor; a panel on the stand-in agent is shown end to end.
#include "weblogic/dunmere_panel.h"

#include "agent/fake_agent.h"
#include "common/text.h"
#include "support/panel_test.h"
#include "weblogic/wls_request.h"

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
class DunmerePanelTest : public PanelTest<DunmerePanel>
{
protected:
    void SetUp() override
    {
        m_agent.Queue(']', Domain);
        Open(SiteRecord{"wls1", "WEBLOGIC", "127.0.0.1", wxString::Format("%u", m_agent.Port()),
                        "weblogic", "pw&<\"", "7001", "WebLogic V10", "", "wls1.db"});
        m_panel->SetAlarmActions({[this](const wxString& file) { Note("sound:" + file); },
                                  [this](const wxString& text) { Note("sms:" + text); },
                                  [this](const ActionSettings&, const wxString& text)
                                  { Note("mail:" + text); }});
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
    // What a timer tick does, then waits until the scan's hand-offs are done.
    void Poll()
    {
        const int ended = m_panel->ScansEnded();
        ASSERT_TRUE(m_panel->RunScanNow());
        ASSERT_TRUE(PumpUntil([&] { return m_panel->ScansEnded() > ended; }));
    }

    FakeAgent m_agent{true};
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

    // The request document of the site goes with '^'.
    EXPECT_EQ(m_agent.Requests(),
              (std::vector<std::string>{"[", "^" + ToUtf8(BuildWlsRequest(m_site))}));

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
    EXPECT_EQ(m_agent.Commands(), "[^]");

    // Stop, answered Yes (the question and No are shown end to end), says goodbye.
    PromptRecorder prompts;
    prompts.Answer(wxYES);
    wxCommandEvent click(wxEVT_BUTTON, CorvaneId::StartStop);
    Find<wxButton>(CorvaneId::StartStop)->ProcessWindowEvent(click);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[^]_"; }));
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

// Regression: a scan cut short by Stop finds its link broken; by the time
// that reaches the GUI thread the operator may have started again, and the
// new run must go on.
TEST_F(DunmerePanelTest, ScanOfAnEarlierRunDoesNotStopANewOne)
{
    Start();
    const int ended = m_panel->ScansEnded();
    m_agent.HoldPolls(true); // the poll is never answered
    ASSERT_TRUE(m_panel->RunScanNow());
    ASSERT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[^]"; }));
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
