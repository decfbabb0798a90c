// HalvexPanel against a scripted Tuxedo agent: Start, polls, Stop, filters,
// alarms, history and runs cut short. Closing it during a scan is shown end
// to end, its log file in tux_log_file_test.
#include "tuxedo/halvex_panel.h"

#include "agent/fake_agent.h"
#include "common/clock.h"
#include "common/virtual_report_list.h"
#include "support/panel_test.h"
#include "tux_report_gen.h"

#include <wx/choice.h>
#include <wx/filefn.h>

namespace
{
std::string Server(const std::string& name, const std::string& rq, const std::string& svc = "IDLE")
{
    return "<SERVER Server=\"" + name + "\" Queueid=\"Q\" ProcessID=\"10\" RqDone=\"" + rq +
           "\" CurrSvc=\"" + svc + "\" SvrMin=\"1\" SvrMax=\"2\" UseMem=\"8K\"/>";
}

std::string Monitor(const std::string& children)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><MONITOR Date=\"2026-03-01 10:00:00\">"
           "<INITBUF TuxVersion=\"Tuxedo 12\" OSVersion=\"Linux\" TuxBootAt=\"boot\" "
           "AgentVersion=\"3.3\"/><SYSTEM CoreFind=\"\" FreeMem=\"512M\" IdleCPU=\"90\" "
           "SvrCnt=\"2\" QueCnt=\"1\" CltCnt=\"1\"/>" +
           children + "</MONITOR>";
}

// A panel for site tux1 (history in tux1.db) on the scripted agent, which
// serves a generated report of 20 servers, 5 queues and 50 clients unless a
// test scripts another.
class HalvexPanelTest : public PanelTest<HalvexPanel>
{
protected:
    void SetUp() override
    {
        m_cwd = wxGetCwd();
        ASSERT_TRUE(wxSetWorkingDirectory(m_home.Dir())); // CorvaneLog.txt lands here
        m_agent.SetReports({MakeTuxReport({})});
        Open(SiteRecord{"tux1", "TUXEDO", "127.0.0.1", wxString::Format("%u", m_agent.Port()), "", "",
                        "", "", "", "tux1.db"});
    }
    void TearDown() override
    {
        PanelTest::TearDown();
        wxSetWorkingDirectory(m_cwd);
    }

    VirtualReportList* Servers() const { return Find<VirtualReportList>(CorvaneId::ServerList); }
    void Click(wxWindow* control, wxEventType type = wxEVT_BUTTON)
    {
        wxCommandEvent event(type, control->GetId());
        event.SetEventObject(control);
        if (auto* box = dynamic_cast<wxCheckBox*>(control))
            event.SetInt(box->GetValue());
        control->ProcessWindowEvent(event);
    }
    void Click(int id) { Click(m_panel->FindWindow(id)); }
    void Tick(wxCheckBox* box, bool on)
    {
        box->SetValue(on);
        Click(box, wxEVT_CHECKBOX);
    }
    // The Stop button, with the question answered.
    void ClickStop(int answer)
    {
        PromptRecorder prompts;
        prompts.Answer(answer);
        Click(CorvaneId::StartStop);
        ASSERT_EQ(prompts.Texts(), std::vector<wxString>{"Stop a running tuxedo site monitor?"});
        EXPECT_EQ(prompts.Messages()[0].caption, "Confirm");
        EXPECT_EQ(prompts.Messages()[0].style & (wxYES_NO | wxICON_QUESTION), wxYES_NO | wxICON_QUESTION);
    }
    // What a timer tick does, then waits until the scan's display is done.
    void Poll()
    {
        const int shown = m_panel->ReportsShown();
        ASSERT_TRUE(m_panel->RunScanNow());
        m_panel->WaitForScan();
        ASSERT_TRUE(PumpUntil([&] { return m_panel->ReportsShown() > shown; }));
    }

    FakeAgent m_agent{false};
    wxString m_cwd;
};
} // namespace

// Its texts and columns are in the window table of tests/app.
TEST_F(HalvexPanelTest, OpensIdleWithFiltersOffAndNothingRecorded)
{
    EXPECT_TRUE(ShowsIdle());
    EXPECT_EQ(Find<wxTextCtrl>(CorvaneId::Interval)->GetValue(), "30");
    EXPECT_FALSE(Find<wxTextCtrl>(CorvaneId::ServerFilter)->IsEnabled());
    EXPECT_FALSE(Find<wxTextCtrl>(CorvaneId::QueueFilter)->IsEnabled());
    EXPECT_FALSE(RecordBox()->GetValue());
}

TEST_F(HalvexPanelTest, IntervalBelowFifteenIsRefusedAfterTheHandshake)
{
    for (const char* interval : {"14", "abc", "", "0"})
    {
        SetInterval(interval);
        PromptRecorder prompts;
        EXPECT_EQ(m_panel->StartMonitor(), -1);
        ASSERT_EQ(prompts.Texts(), std::vector<wxString>{"Interval can not set below 15!"}) << interval;
        EXPECT_EQ(prompts.Messages()[0].caption, "Message");
        EXPECT_FALSE(m_panel->IsRunning());
        EXPECT_EQ(StartLabel(), "Start");
    }
    EXPECT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[[[["; }));
}

TEST_F(HalvexPanelTest, StartPollAndStopWithConfirmation)
{
    m_agent.SetReports({Monitor(Server("SVRA", "5") + Server("SVRB", "6", "SVC")),
                        Monitor(Server("SVRA", "7"))});
    SetInterval("15");
    {
        PromptRecorder prompts;
        Click(CorvaneId::StartStop);
        EXPECT_TRUE(prompts.Messages().empty());
    }
    ASSERT_TRUE(m_panel->IsRunning());
    EXPECT_EQ(m_panel->IntervalMs(), 15000);
    EXPECT_TRUE(m_panel->Timer().IsRunning());
    EXPECT_EQ(m_panel->Timer().GetInterval(), 15000);
    EXPECT_EQ(StartLabel(), "Stop");
    EXPECT_FALSE(Find<wxTextCtrl>(CorvaneId::Interval)->IsEnabled());
    ASSERT_EQ(Servers()->GetItemCount(), 2);
    EXPECT_EQ(Servers()->CellAt(0, 0), "SVRA");
    EXPECT_EQ(Servers()->CellAt(1, 6), "SVC");
    auto* summary = dynamic_cast<wxListCtrl*>(m_panel->GetChildren().GetFirst()->GetData());
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->GetItemText(0, 1), "Tuxedo 12");
    EXPECT_EQ(summary->GetItemText(8, 1), "512M");

    // The real timer event drives the poll (its period shortened here).
    const_cast<wxTimer&>(m_panel->Timer()).Start(20, wxTIMER_ONE_SHOT);
    ASSERT_TRUE(PumpUntil([&] { return m_panel->ReportsShown() == 2 && !m_panel->ScanRunning(); }));
    EXPECT_EQ(Servers()->GetItemCount(), 1);
    EXPECT_EQ(Servers()->CellAt(0, 3), "7");
    EXPECT_EQ(m_agent.Commands(), "[^]");

    ClickStop(wxNO);
    EXPECT_TRUE(m_panel->IsRunning());
    ClickStop(wxYES);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_EQ(Servers()->GetItemCount(), 1); // the lists keep the last report
    EXPECT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[^]_"; }));
}

TEST_F(HalvexPanelTest, ConnectAndHandshakeFailures)
{
    SetInterval("15");
    m_agent.SetHandshakeAnswer('x');
    PromptRecorder prompts;
    EXPECT_EQ(m_panel->StartMonitor(), -1);
    EXPECT_EQ(prompts.Texts(), std::vector<wxString>{"HandShake to Host Failed!"});

    // Nothing listens on port 1; a port that is not a number, or not a port,
    // is tried as port 0.
    const std::pair<const char*, const char*> ports[] = {{"1", "1"}, {"abc", "0"}, {"70000", "0"}};
    for (const auto& [port, shown] : ports)
    {
        m_site.SitePort = port;
        m_panel->SetSite(m_site);
        prompts.Clear();
        EXPECT_EQ(m_panel->StartMonitor(), -1);
        EXPECT_EQ(prompts.Texts(),
                  std::vector<wxString>{wxString::Format("Connect to Host[127.0.0.1: %s] Failed!", shown)});
        EXPECT_EQ(prompts.Messages()[0].style & wxCENTRE, wxCENTRE);
        EXPECT_FALSE(m_panel->IsRunning());
    }
}

// An ERROR element stops monitoring at once, in the first report as in a
// polled one; a CoreFind is logged before it, an empty one not at all.
TEST_F(HalvexPanelTest, AgentErrorStopsTheMonitor)
{
    TuxReportShape shape;
    shape.withError = true;
    m_agent.SetReports({MakeTuxReport(shape)});
    Start();
    EXPECT_TRUE(ShowsIdle());
    EXPECT_TRUE(Log().StartsWith("[")) << Log();
    EXPECT_TRUE(Log().EndsWith("]: [WARN]: tmadmin failed: TPESYSTEM\n")) << Log();
    EXPECT_TRUE(PumpUntil([&] { return m_agent.Commands() == "[^_"; }));

    Find<wxTextCtrl>(CorvaneId::LogArea)->Clear();
    m_agent.SetReports({MakeTuxReport({}),
                        Monitor("<SYSTEM CoreFind=\"core.123\"/><ERROR Reason=\"agent down\"/>")});
    Start();
    EXPECT_EQ(Log(), "");
    Poll();
    EXPECT_TRUE(ShowsIdle());
    const wxString log = Log();
    EXPECT_NE(log.find("]: [WARN]: core.123\n"), wxString::npos) << log;
    EXPECT_TRUE(log.EndsWith("]: [WARN]: agent down\n")) << log;
    EXPECT_LT(log.find("core.123"), log.find("agent down"));
}

TEST_F(HalvexPanelTest, FiltersAndMarksDecideTheListedServers)
{
    TuxAlarmRule rule;
    rule.NoTran = "SVRB";
    m_panel->SetRule(rule);
    m_agent.SetReports({Monitor(Server("SVRA", "5") + Server("SVRB", "6") + Server("SVRC", "7", "SVC_Q"))});
    Start();
    EXPECT_EQ(Servers()->GetItemCount(), 3);

    // "Only Show(';')" with an empty field: only the marked server stays.
    auto* only = FindLabel<wxCheckBox>("Only Show(';')");
    ASSERT_NE(only, nullptr);
    Tick(only, true);
    EXPECT_TRUE(Find<wxTextCtrl>(CorvaneId::ServerFilter)->IsEnabled());
    Click(CorvaneId::ServerApply);
    Poll();
    ASSERT_EQ(Servers()->GetItemCount(), 1);
    EXPECT_EQ(Servers()->CellAt(0, 0), "SVRB");
    EXPECT_TRUE(Servers()->IsRowRed(0));

    // Unticking restores "*"; with "Busy Servers" only SVRC and the marked one.
    Tick(only, false);
    EXPECT_FALSE(Find<wxTextCtrl>(CorvaneId::ServerFilter)->IsEnabled());
    auto* kind = dynamic_cast<wxChoice*>(
        m_panel->FindWindow(CorvaneId::ServerFilter)->GetPrevSibling()->GetPrevSibling());
    ASSERT_NE(kind, nullptr);
    kind->SetSelection(2);
    Click(kind, wxEVT_CHOICE);
    Poll();
    ASSERT_EQ(Servers()->GetItemCount(), 2);
    EXPECT_EQ(Servers()->CellAt(0, 0), "SVRB");
    EXPECT_EQ(Servers()->CellAt(1, 0), "SVRC");
    EXPECT_FALSE(Servers()->IsRowRed(1));
}

TEST_F(HalvexPanelTest, RecordingWritesEveryRecordOfEachScan)
{
    RecordBox()->SetValue(true);
    // Hide every server from the lists: they are recorded all the same.
    TuxAlarmRule quiet;
    quiet.Queued = "1000";
    m_panel->SetRule(quiet);
    Tick(FindLabel<wxCheckBox>("Only Show(';')"), true);
    Click(CorvaneId::ServerApply);

    Start();
    EXPECT_EQ(Servers()->GetItemCount(), 0);
    const wxString firstTime = RecTimeNow();
    ASSERT_TRUE(PumpUntil([&] { return RecTimeNow() != firstTime; }, 2500));
    Poll();
    EXPECT_EQ(Count("ServerList"), 2 * 20);
    EXPECT_EQ(Count("QueueList"), 2 * 5);
    EXPECT_EQ(Count("ClientList"), 2 * 50);
    EXPECT_EQ(Count("(select RecTime from ServerList union select RecTime from QueueList union "
                    "select RecTime from ClientList)"),
              2);

    RecordBox()->SetValue(false);
    Poll();
    EXPECT_EQ(Count("ServerList"), 2 * 20);
    EXPECT_EQ(Log(), "");
}

// Fault 7: a failing history insert writes one warning line and monitoring goes on.
TEST_F(HalvexPanelTest, FailingHistoryWriteWarnsAndMonitoringGoesOn)
{
    Start();
    {
        wxSQLite3Database db;
        db.Open(m_home.File("tux1.db"));
        db.ExecuteUpdate("drop table ClientList");
    }
    RecordBox()->SetValue(true);
    Poll();
    EXPECT_NE(Log().find("]: [WARN]: History not recorded: "), wxString::npos) << Log();
    EXPECT_EQ(Log().Freq('\n'), 1);
    EXPECT_TRUE(m_panel->IsRunning());
    Poll();
    EXPECT_EQ(Log().Freq('\n'), 2);
    EXPECT_EQ(m_panel->ReportsShown(), 3);
}

// Regression: a rejected first report shows the lists as they were, and
// records nothing: those rows were not seen at that time.
TEST_F(HalvexPanelTest, RejectedFirstReportRecordsNothing)
{
    RecordBox()->SetValue(true);
    Start();
    ClickStop(wxYES);
    ASSERT_FALSE(m_panel->IsRunning());
    m_agent.SetReports({"<MONITOR><SERVER"});
    Start();
    EXPECT_EQ(m_panel->ReportsShown(), 2);
    EXPECT_EQ(Servers()->GetItemCount(), 20);
    EXPECT_EQ(Count("ServerList"), 20);
}

// Regression: a scan whose results are still queued when the monitor is
// stopped and started again must not overwrite the new run's first report.
TEST_F(HalvexPanelTest, ResultsOfAnEarlierSessionAreDropped)
{
    m_agent.SetReports({Monitor(Server("FIRST", "1")), Monitor(Server("POLLED", "1"))});
    Start();
    ASSERT_TRUE(m_panel->RunScanNow());
    m_panel->WaitForScan(); // its hand-off is queued, not yet run
    ClickStop(wxYES);
    m_agent.SetReports({Monitor(Server("RESTARTED", "1"))});
    Start();
    PumpFor(50);
    EXPECT_EQ(m_panel->ReportsShown(), 2);
    ASSERT_EQ(Servers()->GetItemCount(), 1);
    EXPECT_EQ(Servers()->CellAt(0, 0), "RESTARTED");
}
