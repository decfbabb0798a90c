// The console end to end under Xvfb: the real main window, site list, rule
// and action dialogs and both monitor panels, driven through menus, tools,
// buttons and timer ticks, against corvane-agent-sim processes and a real
// SMTP server (aiosmtpd) on loopback, with the sound player replaced by a
// script that notes what it was asked to play.
#include "alarm/alarm_actions.h"
#include "alarm/alarms_pane.h"
#include "app/halvex_frame.h"
#include "child_process.h"
#include "common/ids.h"
#include "common/program_dir.h"
#include "console_driver.h"
#include "store/db_access.h"
#include "support/modal.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/smtp_peer.h"
#include "support/temp_home.h"
#include "tuxedo/halvex_panel.h"
#include "weblogic/dunmere_panel.h"

#include <gtest/gtest.h>
#include <wx/arrstr.h>
#include <wx/filename.h>
#include <wx/listctrl.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>

namespace
{
// The six program names of a Tuxedo stand-in domain with six queues.
const char TuxPrograms[] = "ACCTSVR;BILLSVR;CUSTSVR;PAYSVR;QRYSVR;RPTSVR";
const char MailTo[] = "ops@example.com";

SiteRecord TuxSite(const wxString& name, unsigned short port)
{
    SiteRecord s;
    s.SiteName = name;
    s.SiteType = "TUXEDO";
    s.SiteIP = "127.0.0.1";
    s.SitePort = wxString::Format("%u", port);
    s.DatabaseFile = name + ".db";
    return s;
}

SiteRecord WlsSite(const wxString& name, unsigned short port)
{
    SiteRecord s = TuxSite(name, port);
    s.SiteType = "WEBLOGIC";
    s.SiteAuth = "weblogic";
    s.SitePwd = "welcome1";
    s.WlsAdminURL = "7001";
    s.WlsVer = "WebLogic V10";
    return s;
}

// Alarm lines a Tuxedo log holds (one per alarm kind and scan).
int TuxAlarmLines(const wxString& log)
{
    return Occurrences(log, " Died!!!\n") + Occurrences(log, " Busy Too Long!!!\n") +
           Occurrences(log, " Idle Too Long!!!\n");
}

// One tick of a Tuxedo panel's timer; returns once the scan's report is shown
// and its thread has ended.
void PollTuxedo(HalvexPanel* panel)
{
    const int shown = panel->ReportsShown();
    TickTimer(panel->Timer());
    ASSERT_TRUE(PumpUntil([&] { return panel->ReportsShown() > shown && !panel->ScanRunning(); },
                          10000));
}

void PollWebLogic(DunmerePanel* panel)
{
    const int ended = panel->ScansEnded();
    TickTimer(panel->Timer());
    ASSERT_TRUE(
        PumpUntil([&] { return panel->ScansEnded() > ended && !panel->ScanRunning(); }, 10000));
}

class ConsoleEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_played = m_home.File("played.txt");
        const wxString player = m_home.File("player.sh");
        WriteFileBytes(player, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" +
                                   std::string(m_played.utf8_str()) + "'\n");
        ::chmod(player.utf8_str(), 0755);
        m_hadPlayer = wxGetEnv("CORVANE_SOUND_PLAYER", &m_previousPlayer);
        wxSetEnv("CORVANE_SOUND_PLAYER", player);
    }

    void TearDown() override
    {
        if (m_hadPlayer)
            wxSetEnv("CORVANE_SOUND_PLAYER", m_previousPlayer);
        else
            wxUnsetEnv("CORVANE_SOUND_PLAYER");
        DropPendingAlarmMails(); // what a failed test may leave behind
    }

    // Writes the sites into a new Corvane.db, as the site list would.
    void StoreSites(const std::vector<SiteRecord>& sites)
    {
        PromptRecorder creating; // "Can't find database [...]!, will create a new one!"
        DbAccess db;
        ASSERT_EQ(db.Open(ConfigDbPath(), DbAccess::ConfigDb), 1);
        for (const SiteRecord& site : sites)
            ASSERT_EQ(db.InsertSite(site), 1);
    }

    // What the player was asked to play, once at least `count` plays are there.
    wxArrayString Played(size_t count)
    {
        wxArrayString lines;
        PumpUntil(
            [&]
            {
                lines = wxSplit(wxString::FromUTF8(ReadFileBytes(m_played)), '\n', '\0');
                if (!lines.empty() && lines.Last().empty())
                    lines.RemoveAt(lines.size() - 1);
                return lines.size() >= count;
            },
            5000);
        return lines;
    }

    TempHome m_home;
    PromptRecorder m_prompts;
    wxString m_played;
    wxString m_previousPlayer;
    bool m_hadPlayer = false;
};
} // namespace

// The operator's day: action settings, both sites opened from the site list,
// rules set, recording on, Start; scans fill lists, summary, log and history;
// alarms play the sound, mail a real SMTP server and take thread dumps; then
// the agents go away and each panel says so; Exit closes everything.
TEST_F(ConsoleEndToEnd, OperatorMonitorsATuxedoAndAWebLogicSite)
{
    ASSERT_TRUE(wxFileName::Mkdir(m_home.File("mail")));
    AiosmtpdPeer sink(std::string(m_home.File("mail").utf8_str()));
    SimAgent tuxAgent({"--tuxedo", "--servers", "12", "--queues", "6", "--clients", "20",
                       "--seed", "7"});
    SimAgent wlsAgent({"--weblogic", "--version", "10", "--servers", "3", "--pools", "2",
                       "--seed", "5"});
    ASSERT_GT(tuxAgent.Port(), 0);
    ASSERT_GT(wlsAgent.Port(), 0);
    ASSERT_TRUE(sink.WaitReady()) << "aiosmtpd did not start";
    const unsigned short smtpPort = sink.Port("plain");
    const SiteRecord tuxSite = TuxSite("tux1", tuxAgent.Port());
    const SiteRecord wlsSite = WlsSite("wls1", wlsAgent.Port());
    StoreSites({tuxSite, wlsSite});

    Console console;
    // Settings > Alarm, before any site opens: panels read the settings once.
    const wxString alertWav = wxString::FromUTF8(SourceDir()) + "/src/resources/Alert.wav";
    ASSERT_TRUE(wxFileExists(alertWav));
    m_prompts.ChooseFile(alertWav);
    ActionSettings settings;
    settings.SMTPSvr = wxString::Format("127.0.0.1:%u", smtpPort);
    settings.SMTPUsr = "operator";
    settings.SMTPPwd = "secret";
    settings.MailTo = MailTo;
    console.SetActionSettings(settings);
    ASSERT_EQ(m_prompts.FileRequests().size(), 1u);

    auto* tux = dynamic_cast<HalvexPanel*>(console.OpenFromSiteList("tux1", false));
    auto* wls = dynamic_cast<DunmerePanel*>(console.OpenFromSiteList("wls1", true));
    ASSERT_NE(tux, nullptr);
    ASSERT_NE(wls, nullptr);
    EXPECT_EQ(tux->Settings().SoundFile, alertWav);
    EXPECT_EQ(wls->Settings().SMTPSvr, settings.SMTPSvr);
    // Only the two new site databases were announced.
    const std::vector<wxString> created = {
        "Can't find database [" + m_home.File("tux1.db") + "]!, will create a new one!",
        "Can't find database [" + m_home.File("wls1.db") + "]!, will create a new one!"};
    EXPECT_EQ(m_prompts.Texts(), created);
    m_prompts.Clear();

    EditAlarmRules(tux,
                   {{"Server Died.  ", TuxPrograms},
                    {"No Transaction LongTime.", TuxPrograms},
                    {"Busy for Long Time.", TuxPrograms}},
                   {"Play a Sound", "Email "});
    EXPECT_EQ(tux->Rule().NoTran, TuxPrograms);
    EXPECT_EQ(tux->Rule().Email, "TRUE");
    // No pool can have 101 % of its threads idle: every scan files every server.
    EditAlarmRules(wls, {{"Idle Thread low than %", "101"}},
                   {"Play a Sound", "Email ", "ThreadDump!"});
    EXPECT_EQ(wls->Rule().ThreadDump, "TRUE");

    // Recording on, an interval no test outlives (ticks are driven below), Start.
    for (wxWindow* panel : {static_cast<wxWindow*>(tux), static_cast<wxWindow*>(wls)})
    {
        SetRecording(panel, true);
        SetIntervalText(panel, "3600");
        PressStartStop(panel);
        EXPECT_EQ(StartStopLabel(panel), "Stop");
    }
    ASSERT_TRUE(tux->IsRunning());
    ASSERT_TRUE(wls->IsRunning());
    EXPECT_TRUE(m_prompts.Messages().empty());
    EXPECT_EQ(tux->IntervalMs(), 3600000);

    // The first reports: lists and summaries filled at Start.
    EXPECT_EQ(tux->ReportsShown(), 1);
    EXPECT_GT(ListRows(tux, CorvaneId::QueueList), 0);
    EXPECT_EQ(ListRows(tux, CorvaneId::ClientList),
              static_cast<long>(tux->Model().Clients().size()));
    EXPECT_EQ(SummaryCell(tux, 0), "Tuxedo 11.1.1.2.0");
    EXPECT_EQ(SummaryCell(tux, 9), "corvane-agent-sim 1.0");
    EXPECT_EQ(wls->ShownRows(0), 3);
    EXPECT_EQ(wls->ShownRows(3), 6);
    EXPECT_EQ(wls->SummaryValue(3), "3");
    EXPECT_EQ(wls->SummaryValue(4), "base_domain");

    // What history must hold: every record of every report shown.
    size_t tuxQueues = tux->Model().Queues().size();
    size_t tuxServers = tux->Model().Servers().size();
    size_t tuxClients = tux->Model().Clients().size();
    long wlsRows[4] = {};
    for (int list = 0; list < 4; ++list)
        wlsRows[list] = wls->ShownRows(list);

    // Stop asks first; No keeps the monitor running.
    m_prompts.Answer(wxNO);
    PressStartStop(wls);
    ASSERT_EQ(m_prompts.Messages().size(), 1u);
    EXPECT_EQ(m_prompts.Messages()[0].text, "Stop a running WebLogic site monitor?");
    EXPECT_EQ(m_prompts.Messages()[0].caption, "Confirm");
    EXPECT_TRUE(wls->IsRunning());
    m_prompts.Clear();

    // Tuxedo scans until alarms have been raised in two of them.
    int tuxAlarmScans = 0;
    for (int scan = 0; scan < 10 && tuxAlarmScans < 2; ++scan)
    {
        const int before = TuxAlarmLines(LogText(tux));
        PollTuxedo(tux);
        if (HasFatalFailure())
            return;
        tuxQueues += tux->Model().Queues().size();
        tuxServers += tux->Model().Servers().size();
        tuxClients += tux->Model().Clients().size();
        if (TuxAlarmLines(LogText(tux)) > before)
            ++tuxAlarmScans;
    }
    ASSERT_EQ(tuxAlarmScans, 2) << LogText(tux);
    EXPECT_EQ(ListRows(tux, CorvaneId::ServerList),
              static_cast<long>(tux->ShownServers().size()));

    // WebLogic scans: each one alarms, dumps threads and logs the agent's answer.
    const int wlsScans = 3;
    for (int scan = 0; scan < wlsScans; ++scan)
    {
        PollWebLogic(wls);
        if (HasFatalFailure())
            return;
        for (int list = 0; list < 4; ++list)
            wlsRows[list] += wls->ShownRows(list);
    }
    const wxString wlsLog = LogText(wls);
    EXPECT_EQ(Occurrences(wlsLog, " Free Thread Too Low!!!\n"), wlsScans) << wlsLog;
    EXPECT_EQ(Occurrences(wlsLog, " Do ThreadDump !!!Thread dumps taken: "), wlsScans) << wlsLog;
    EXPECT_TRUE(wls->ShownRed(2, 0));
    EXPECT_TRUE(m_prompts.Messages().empty());

    // One sound and one mail per alarming scan, nothing lost.
    const int alarms = tuxAlarmScans + wlsScans;
    const wxArrayString played = Played(static_cast<size_t>(alarms));
    EXPECT_EQ(played.size(), static_cast<size_t>(alarms));
    for (const wxString& file : played)
        EXPECT_EQ(file, alertWav);
    ASSERT_TRUE(PumpUntil([&] { return sink.Delivered() >= alarms; }, 15000))
        << sink.Delivered() << " of " << alarms << " mails arrived";
    int tuxMails = 0;
    int wlsMails = 0;
    for (int n = 1; n <= alarms; ++n)
    {
        EXPECT_EQ(sink.Part(n, "subject"), "Bug report");
        EXPECT_EQ(sink.Part(n, "rcpt_tos"), std::string(MailTo) + "\n");
        const std::string html = sink.Part(n, "html");
        tuxMails += html.find("Too Long!!!") != std::string::npos ||
                    html.find(" Died!!!") != std::string::npos;
        wlsMails += html.find(" Free Thread Too Low!!!") != std::string::npos;
    }
    EXPECT_EQ(tuxMails, tuxAlarmScans);
    EXPECT_EQ(wlsMails, wlsScans);
    EXPECT_TRUE(PumpUntil([] { return PendingAlarmMailCount() == 0; }, 5000));
    PumpFor(100);
    EXPECT_EQ(sink.Delivered(), alarms);

    // History: every record of every report in its own site's tables, and
    // nothing in the other kind's.
    const wxString tuxDb = m_home.File("tux1.db");
    const wxString wlsDb = m_home.File("wls1.db");
    EXPECT_EQ(QueryNumber(tuxDb, "select count(*) from QueueList"), static_cast<long long>(tuxQueues));
    EXPECT_EQ(QueryNumber(tuxDb, "select count(*) from ServerList"), static_cast<long long>(tuxServers));
    EXPECT_EQ(QueryNumber(tuxDb, "select count(*) from ClientList"), static_cast<long long>(tuxClients));
    EXPECT_EQ(QueryNumber(wlsDb, "select count(*) from WlsSvrlist"), wlsRows[0]);
    EXPECT_EQ(QueryNumber(wlsDb, "select count(*) from wlsjvmlist"), wlsRows[1]);
    EXPECT_EQ(QueryNumber(wlsDb, "select count(*) from wlsthdlist"), wlsRows[2]);
    EXPECT_EQ(QueryNumber(wlsDb, "select count(*) from wlsjdbclist"), wlsRows[3]);
    for (const char* table : {"WlsSvrlist", "wlsjvmlist", "wlsthdlist", "wlsjdbclist"})
        EXPECT_EQ(QueryNumber(tuxDb, wxString("select count(*) from ") + table), 0) << table;
    for (const char* table : {"QueueList", "ServerList", "ClientList"})
        EXPECT_EQ(QueryNumber(wlsDb, wxString("select count(*) from ") + table), 0) << table;
    // Every row carries its scan's UTC+8 stamp, "%Y-%m-%d %X".
    EXPECT_EQ(QueryNumber(tuxDb, "select count(*) from ServerList where RecTime not glob "
                                 "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] "
                                 "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]'"),
              0);

    // The Tuxedo agent dies: the idle link notices and the panel stops.
    ASSERT_TRUE(tuxAgent.Kill(SIGKILL));
    EXPECT_TRUE(PumpUntil([&] { return !tux->IsRunning(); }, 5000));
    EXPECT_TRUE(LogText(tux).EndsWith("]: [WARN]: Connection to agent is broken!")) << LogText(tux);
    EXPECT_EQ(StartStopLabel(tux), "Start");

    // The WebLogic agent dies just before a tick: the scan finds the link broken.
    ASSERT_TRUE(wlsAgent.Kill(SIGKILL));
    PollWebLogic(wls);
    EXPECT_EQ(LogText(wls), "Connection to Agent is Broken! Re-Connect Please!");
    EXPECT_FALSE(wls->IsRunning());
    EXPECT_EQ(StartStopLabel(wls), "Start");
    PumpFor(100); // the link's own loss notice arrives on an idle panel: nothing more
    EXPECT_EQ(LogText(wls), "Connection to Agent is Broken! Re-Connect Please!");

    // Start again while the agent is gone: the operator is told.
    PressStartStop(tux);
    EXPECT_EQ(m_prompts.Texts(),
              std::vector<wxString>{wxString::Format("Connect to Host[127.0.0.1: %u] Failed!",
                                                     tuxAgent.Port())});
    EXPECT_FALSE(tux->IsRunning());

    // Exit closes the window and every pane without a question.
    m_prompts.Clear();
    console.Menu(CorvaneId::Exit);
    EXPECT_TRUE(PumpUntil([&] { return !console.IsOpen(); }, 5000));
    EXPECT_TRUE(m_prompts.Messages().empty());
}

// An agent that takes its time: the operator closes the pane while a scan
// waits for the reply. No keeps the pane and its scan; Yes ends the scan at
// once rather than after the agent's reply, and the site opens again idle.
TEST_F(ConsoleEndToEnd, PaneClosedWhileItsScanWaitsOnASlowAgent)
{
    // Start's first report comes at once; every poll after it takes 20 s.
    SimAgent slowAgent({"--tuxedo", "--servers", "4", "--queues", "2", "--clients", "3",
                        "--slow", "20000", "--fault-after", "1"});
    ASSERT_GT(slowAgent.Port(), 0);
    const SiteRecord site = TuxSite("slow", slowAgent.Port());
    StoreSites({site});
    const wxString paneName = HalvexFrame::PaneName(site);

    Console console;
    wxWeakRef<HalvexPanel> panel = dynamic_cast<HalvexPanel*>(console.OpenFromSiteList("slow", false));
    ASSERT_TRUE(panel);
    SetIntervalText(panel, "3600");
    PressStartStop(panel);
    ASSERT_TRUE(panel->IsRunning());
    m_prompts.Clear();

    TickTimer(panel->Timer());
    ASSERT_TRUE(panel->ScanRunning());
    EXPECT_FALSE(panel->RunScanNow()) << "a tick during a running scan must be skipped";

    m_prompts.Answer(wxNO);
    console.CloseFloatingPane(paneName);
    PumpFor(50);
    ASSERT_TRUE(panel);
    EXPECT_EQ(console.PaneWindow(paneName), panel.get());
    EXPECT_TRUE(panel->ScanRunning());
    EXPECT_TRUE(panel->IsRunning());

    m_prompts.Answer(wxYES);
    const auto closing = std::chrono::steady_clock::now();
    console.CloseFloatingPane(paneName);
    EXPECT_TRUE(PumpUntil([&] { return !panel; }, 5000));
    // Well under the agent's 20 s: the exchange was cut, not waited out.
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(10));
    EXPECT_EQ(console.PaneWindow(paneName), nullptr);
    const std::vector<wxString> asked(
        2, "Are you sure you want to stop monitoring and close this site?");
    EXPECT_EQ(m_prompts.Texts(), asked);

    m_prompts.Clear();
    auto* again = dynamic_cast<HalvexPanel*>(console.OpenFromSiteList("slow", true));
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->IsRunning());
    EXPECT_EQ(StartStopLabel(again), "Start");
    EXPECT_TRUE(m_prompts.Messages().empty()); // its database is there now
}

// Quit while both panels monitor and one waits on its agent: the toolbar's
// Quit asks, and Yes takes the window, both panels and their scans down.
TEST_F(ConsoleEndToEnd, QuitWhileMonitoringEndsEveryPanel)
{
    SimAgent tuxAgent({"--tuxedo", "--servers", "6", "--queues", "3", "--seed", "3"});
    SimAgent wlsAgent({"--weblogic", "--servers", "2", "--slow", "20000", "--fault-after", "1"});
    ASSERT_GT(tuxAgent.Port(), 0);
    ASSERT_GT(wlsAgent.Port(), 0);
    StoreSites({TuxSite("t", tuxAgent.Port()), WlsSite("w", wlsAgent.Port())});

    Console console;
    wxWeakRef<HalvexPanel> tux = dynamic_cast<HalvexPanel*>(console.OpenFromSiteList("t", false));
    wxWeakRef<DunmerePanel> wls = dynamic_cast<DunmerePanel*>(console.OpenFromSiteList("w", false));
    ASSERT_TRUE(tux);
    ASSERT_TRUE(wls);
    for (wxWindow* panel : {static_cast<wxWindow*>(tux.get()), static_cast<wxWindow*>(wls.get())})
    {
        SetRecording(panel, true);
        PressStartStop(panel); // the default interval, 30 s: the test ends long before
    }
    ASSERT_TRUE(tux->IsRunning());
    ASSERT_TRUE(wls->IsRunning());
    PollTuxedo(tux);
    TickTimer(wls->Timer());
    ASSERT_TRUE(wls->ScanRunning());
    m_prompts.Clear();

    m_prompts.Answer(wxNO);
    console.Tool(CorvaneId::ToolQuit);
    PumpFor(50);
    ASSERT_TRUE(console.IsOpen());
    EXPECT_TRUE(wls->ScanRunning());

    m_prompts.Answer(wxYES);
    const auto quitting = std::chrono::steady_clock::now();
    console.Tool(CorvaneId::ToolQuit);
    EXPECT_TRUE(PumpUntil([&] { return !console.IsOpen() && !tux && !wls; }, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - quitting, std::chrono::seconds(10));
    EXPECT_EQ(m_prompts.Texts(),
              std::vector<wxString>(2, "Are you sure you want to Quit Corvane?"));
    // The history of the reports shown was kept; the cut scan wrote nothing.
    EXPECT_EQ(QueryNumber(m_home.File("t.db"), "select count(*) from QueueList"), 3 * 2);
    EXPECT_EQ(QueryNumber(m_home.File("w.db"), "select count(*) from WlsSvrlist"), 2);
}

// An agent that hangs up between polls: the idle WebLogic link hears of it on
// the GUI loop and the panel stops with the warning; the history of the polls
// it answered stays.
TEST_F(ConsoleEndToEnd, WebLogicAgentHangingUpBetweenPollsIsReported)
{
    SimAgent wlsAgent({"--weblogic", "--servers", "2", "--pools", "1", "--close-after", "1"});
    ASSERT_GT(wlsAgent.Port(), 0);
    StoreSites({WlsSite("w", wlsAgent.Port())});

    Console console;
    auto* wls = dynamic_cast<DunmerePanel*>(console.OpenFromSiteList("w", true));
    ASSERT_NE(wls, nullptr);
    SetRecording(wls, true);
    SetIntervalText(wls, "15");
    PressStartStop(wls);
    ASSERT_TRUE(wls->IsRunning());
    EXPECT_EQ(wls->IntervalMs(), 15000);
    PollWebLogic(wls);

    EXPECT_TRUE(PumpUntil([&] { return !wls->IsRunning(); }, 5000));
    EXPECT_TRUE(LogText(wls).EndsWith("]: [WARN]: Connection to agent is broken!")) << LogText(wls);
    EXPECT_EQ(Occurrences(LogText(wls), "Connection to agent is broken!"), 1);
    EXPECT_EQ(StartStopLabel(wls), "Start");
    EXPECT_EQ(wls->ShownRows(0), 2); // the last report stays on screen
    EXPECT_EQ(QueryNumber(m_home.File("w.db"), "select count(*) from wlsjdbclist"), 2 * 2);
}

// The agent goes away and comes back on its port: Start brings the same pane
// back to monitoring, a rule changed while it runs holds from the next scan,
// and the history of both runs is kept.
TEST_F(ConsoleEndToEnd, MonitoringResumesWhenTheAgentComesBack)
{
    const std::vector<std::string> domain = {"--tuxedo", "--servers", "6", "--queues", "3",
                                             "--clients", "5", "--seed", "11"};
    auto agent = std::make_unique<SimAgent>(domain);
    const unsigned short port = agent->Port();
    ASSERT_GT(port, 0);
    StoreSites({TuxSite("t", port)});

    Console console;
    auto* tux = dynamic_cast<HalvexPanel*>(console.OpenFromSiteList("t", false));
    ASSERT_NE(tux, nullptr);
    EditAlarmRules(tux, {{"No Transaction LongTime.", "ACCTSVR;BILLSVR;CUSTSVR"}}, {});
    SetRecording(tux, true);
    SetIntervalText(tux, "3600");
    PressStartStop(tux);
    ASSERT_TRUE(tux->IsRunning());
    PollTuxedo(tux);
    PollTuxedo(tux);

    ASSERT_TRUE(agent->Kill(SIGKILL));
    ASSERT_TRUE(PumpUntil([&] { return !tux->IsRunning(); }, 5000));
    agent = std::make_unique<SimAgent>(domain, port);
    ASSERT_EQ(agent->Port(), port);

    // The rule is changed while the panel is idle, and again while it runs.
    EditAlarmRules(tux, {{"Server Died.  ", "NOSUCHSVR"}}, {});
    m_prompts.Clear();
    PressStartStop(tux);
    ASSERT_TRUE(tux->IsRunning()) << (m_prompts.Texts().empty() ? wxString() : m_prompts.Texts()[0]);
    EXPECT_TRUE(m_prompts.Messages().empty());
    const int linesBefore = TuxAlarmLines(LogText(tux));
    for (int scan = 0; scan < 3; ++scan)
        PollTuxedo(tux);
    EXPECT_EQ(TuxAlarmLines(LogText(tux)), linesBefore) << "no watched server, no alarm";
    EditAlarmRules(tux, {{"No Transaction LongTime.", TuxPrograms}}, {});
    int alarmScans = 0;
    for (int scan = 0; scan < 6 && alarmScans == 0; ++scan)
    {
        const int before = TuxAlarmLines(LogText(tux));
        PollTuxedo(tux);
        alarmScans += TuxAlarmLines(LogText(tux)) > before;
    }
    EXPECT_EQ(alarmScans, 1) << LogText(tux);
    EXPECT_TRUE(m_prompts.Messages().empty());

    // Both runs are in the history: two Starts and every poll, three queues each.
    EXPECT_EQ(QueryNumber(m_home.File("t.db"), "select count(*) from QueueList"),
              3 * static_cast<long long>(tux->ReportsShown()));
    DbAccess db;
    ASSERT_EQ(db.Open(m_home.File("t.db"), DbAccess::SiteDb), 1);
    ASSERT_EQ(db.LoadTuxRule("t"), 1);
    EXPECT_EQ(db.TuxRule().NoTran, TuxPrograms);
    EXPECT_TRUE(db.TuxRule().SvrDied.empty());
}

// The lifecycle against the stand-in agent and a real SMTP server: with a
// repeat interval and "notify when cleared", an alarm is mailed once when
// raised, not again on the next scan, is acknowledged in the Alarms pane,
// and its clearing is mailed as recovered; the journal holds all three.
TEST_F(ConsoleEndToEnd, AlarmRaisedAcknowledgedAndCleared)
{
    ASSERT_TRUE(wxFileName::Mkdir(m_home.File("mail")));
    AiosmtpdPeer sink(std::string(m_home.File("mail").utf8_str()));
    SimAgent agent({"--weblogic", "--version", "10", "--servers", "2", "--pools", "1", "--seed", "5"});
    ASSERT_GT(agent.Port(), 0);
    ASSERT_TRUE(sink.WaitReady()) << "aiosmtpd did not start";
    StoreSites({WlsSite("wls1", agent.Port())});

    Console console;
    ActionSettings settings;
    settings.SMTPSvr = wxString::Format("127.0.0.1:%u", sink.Port("plain"));
    settings.SMTPUsr = "operator";
    settings.SMTPPwd = "secret";
    settings.MailTo = MailTo;
    console.SetActionSettings(settings);
    auto* wls = dynamic_cast<DunmerePanel*>(console.OpenFromSiteList("wls1", false));
    ASSERT_NE(wls, nullptr);
    std::shared_ptr<AlarmBook> book = wls->Monitor().Book();
    ASSERT_TRUE(book);
    LifecycleSettings lifecycle;
    lifecycle.repeatMinutes = 10;
    lifecycle.notifyCleared = true;
    ASSERT_TRUE(book->SaveSettings("wls1", lifecycle));
    EditAlarmRules(wls, {{"Idle Thread low than %", "101"}}, {"Email "});
    SetIntervalText(wls, "3600");
    PressStartStop(wls);
    ASSERT_TRUE(wls->IsRunning());

    PollWebLogic(wls);
    PollWebLogic(wls); // still alarming: within the repeat interval, no mail
    ASSERT_TRUE(PumpUntil([&] { return sink.Delivered() >= 1; }, 15000));
    EXPECT_NE(sink.Part(1, "html").find(" Free Thread Too Low!!!"), std::string::npos) << sink.Part(1, "html");
    const wxString log = LogText(wls);
    EXPECT_EQ(Occurrences(log, " Free Thread Too Low!!!\n"), 2) << log; // the designed lines stay
    const int raised = Occurrences(log, "]: [WARN]: Alarm raised: free thread too low ");
    EXPECT_GE(raised, 2) << log; // one per server's pool

    console.Menu(CorvaneId::ShowAlarms);
    auto* pane = dynamic_cast<AlarmsPane*>(console.PaneWindow("alarms"));
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->IsShownOnScreen());
    ASSERT_EQ(pane->ActiveList()->GetItemCount(), raised);
    EXPECT_EQ(pane->ActiveList()->GetItemText(0, 0), "wls1");
    pane->ActiveList()->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    ASSERT_TRUE(pane->AcknowledgeSelected());
    EXPECT_EQ(pane->ActiveList()->GetItemText(0, 6), AlarmsPane::OperatorName());

    // The condition goes away: every alarm clears, and one mail says so.
    EditAlarmRules(wls, {}, {"Email "});
    PollWebLogic(wls);
    EXPECT_EQ(Occurrences(LogText(wls), "]: [WARN]: Alarm cleared: free thread too low "), raised);
    ASSERT_TRUE(PumpUntil([&] { return sink.Delivered() >= 2; }, 15000));
    EXPECT_NE(sink.Part(2, "html").find(" Free Thread Too Low recovered"), std::string::npos)
        << sink.Part(2, "html");
    PumpFor(200);
    EXPECT_EQ(sink.Delivered(), 2);
    pane->Reload();
    EXPECT_EQ(pane->ActiveList()->GetItemCount(), 0);
    const wxString db = m_home.File("wls1.db");
    EXPECT_EQ(QueryNumber(db, "select count(*) from AlarmJournal where Event = 'raised'"), raised);
    EXPECT_EQ(QueryNumber(db, "select count(*) from AlarmJournal where Event = 'acknowledged'"), 1);
    EXPECT_EQ(QueryNumber(db, "select count(*) from AlarmJournal where Event = 'cleared'"), raised);
    EXPECT_EQ(pane->JournalList()->GetItemText(0, 3), "cleared");

    // The buttons ask through the prompts: a maintenance window of 30
    // minutes, then the journal written where the operator chose.
    const auto before = std::chrono::system_clock::now();
    m_prompts.EnterText("30");
    Click(wxWindow::FindWindowByLabel("Mute site until...", pane));
    ASSERT_EQ(m_prompts.TextRequests().size(), 1u);
    EXPECT_EQ(m_prompts.TextRequests()[0].value, "60");
    const auto muted = book->MutedUntil("wls1");
    EXPECT_GE(muted, before + std::chrono::minutes(30));
    EXPECT_LE(muted, std::chrono::system_clock::now() + std::chrono::minutes(30));
    Click(wxWindow::FindWindowByLabel("Mute site until...", pane)); // cancelled: still muted
    EXPECT_EQ(book->MutedUntil("wls1"), muted);
    m_prompts.ChooseFile(m_home.File("journal.csv"));
    Click(wxWindow::FindWindowByLabel("Export CSV...", pane));
    ASSERT_EQ(m_prompts.FileRequests().back().defaultFile, "wls1-alarms.csv");
    const std::string csv = ReadFileBytes(m_home.File("journal.csv"));
    EXPECT_EQ(csv.rfind("time,site,kind,object,event,text\r\n", 0), 0u);
    EXPECT_NE(csv.find(",muted,"), std::string::npos) << csv;
}
