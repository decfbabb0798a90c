// SiteMonitor without a window, against the scripted agent: what its listener
// hears and in which order, what goes on the wire, the alarm handler's
// findings, and history writes that never hold the monitor's thread.
#include "monitor/site_monitor.h"

#include "alarm/alarm_book.h"

#include "agent/fake_agent.h"
#include "store/db_access.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"
#include "tuxedo/tux_monitor_model.h"
#include "weblogic/wls_model.h"

#include <gtest/gtest.h>

#include <wx/thread.h>
#include <wx/wxsqlite3.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>

namespace
{
using Calls = std::vector<std::string>;

// Notes each listener call as one word and its text ("log" without the time
// prefix); all of them must come on the monitor's thread.
class Recorder : public SiteMonitorListener
{
public:
    Calls calls;
    bool record = false;
    int ended = 0;
    std::shared_ptr<const SiteReport> report;

    void OnStartFailed(const wxString& message) override { Note("failed " + message); }
    void OnRunningChanged(bool running) override { Note(running ? "running" : "idle"); }
    void OnReport(const std::shared_ptr<const SiteReport>& shown) override
    {
        report = shown;
        Note(shown->accepted ? "report" : "refused report");
    }
    void OnLog(const wxString& text) override
    {
        const int prefix = text.Find("]: [WARN]: ");
        Note("log " + (prefix < 0 ? text : text.Mid(prefix + 11)));
    }
    void OnLogCleared() override { Note("cleared"); }
    void OnScanEnded(const ScanOutcome& outcome) override
    {
        ++ended;
        Note(std::string("ended ") + ScanResultName(outcome.result));
    }
    bool ShouldRecord() override { return record; }

private:
    void Note(const wxString& call)
    {
        EXPECT_TRUE(wxThread::IsMain()) << call;
        calls.push_back(call.utf8_string());
    }
};

std::string Monitor(const std::string& children)
{
    return "<MONITOR Date=\"now\">" + children + "</MONITOR>";
}

std::string TuxServer(const std::string& name, const std::string& pid)
{
    return "<SERVER Server=\"" + name + "\" ProcessID=\"" + pid + "\" RqDone=\"1\" CurrSvc=\"IDLE\"/>";
}

class SiteMonitorTest : public ::testing::Test
{
protected:
    void Open(SiteKind kind, const char* version = "")
    {
        {
            PromptRecorder creating; // the notice of the new database file
            DbAccess db;
            ASSERT_EQ(db.Open(m_home.File("s.db"), DbAccess::SiteDb), 1);
        }
        const FakeAgent& agent = kind == SiteKind::Tuxedo ? m_tux : m_wls;
        m_monitor = std::make_unique<SiteMonitor>(kind, m_listener, AgentLink::Timeouts{2000, 4000});
        m_monitor->SetSite(SiteRecord{"s", "", "127.0.0.1", wxString::Format("%u", agent.Port()), "u",
                                      "p", "7001", version, "", "s.db"});
        m_monitor->SetHistoryFile(m_home.File("s.db"));
        m_monitor->SetAlarmHandler(
            [this](const ScanAlarms& alarms)
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                EXPECT_FALSE(wxThread::IsMain()); // on the scan thread
                m_alarms.push_back(alarms);
            });
        ASSERT_EQ(m_monitor->Start("15"), 1);
    }
    void Poll()
    {
        const int ended = m_listener.ended;
        ASSERT_TRUE(m_monitor->RunScanNow());
        ASSERT_TRUE(PumpUntil([&] { return m_listener.ended > ended; }));
    }
    std::vector<ScanAlarms> Alarms()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_alarms;
    }
    long long Rows(const char* table)
    {
        wxSQLite3Database db;
        db.Open(m_home.File("s.db"));
        return db.ExecuteScalar(wxString("select count(*) from ") + table);
    }

    TempHome m_home;
    FakeAgent m_tux{false}; // takes '^' bare
    FakeAgent m_wls{true};  // reads the documents behind '^' and 'a'
    Recorder m_listener;
    std::unique_ptr<SiteMonitor> m_monitor;
    std::mutex m_mutex;
    std::vector<ScanAlarms> m_alarms;
};

// Exits 0 when Start fails with the warning line and nothing else, once the
// socket has taken the last descriptor and the watch finds none.
void StartWithOneDescriptorLeft(unsigned short port)
{
    Recorder listener;
    SiteMonitor monitor(SiteKind::Tuxedo, listener);
    SiteRecord site;
    site.SiteIP = "127.0.0.1";
    site.SitePort = wxString::Format("%u", port);
    monitor.SetSite(site);
    const int lowest = ::dup(0);
    ::close(lowest);
    const rlimit one{static_cast<rlim_t>(lowest + 1), static_cast<rlim_t>(lowest + 1)};
    ::setrlimit(RLIMIT_NOFILE, &one);
    const bool failed =
        monitor.Start("15") == -1 && !monitor.IsRunning() && listener.calls.size() == 1 &&
        listener.calls[0].find("log Start failed: the connection to the agent cannot be watched (") == 0;
    std::_Exit(failed ? 0 : 1);
}

std::string Findings(const ScanAlarms& alarms)
{
    std::string out;
    for (const AlarmFinding& f : alarms.findings)
        out += std::string(AlarmKindName(f.kind)) + ":" + f.object.utf8_string() + " ";
    return out;
}

// A scan abandoned by its test may still be writing its history when the
// binary ends; wx's statics must outlive it, as MyApp::OnExit sees to.
class HistoryWritesEnd : public ::testing::Environment
{
public:
    void TearDown() override { SiteMonitor::WaitForHistoryWrites(10000); }
};
const ::testing::Environment* const kHistoryWritesEnd =
    ::testing::AddGlobalTestEnvironment(new HistoryWritesEnd);
} // namespace

// A Tuxedo run: the first report, a poll that finds a died server (the
// handler gets text and findings; the log its line after the report), a
// quiet poll (the handler is still asked), an agent ERROR that stops it.
TEST_F(SiteMonitorTest, TuxedoRunInTheDesignedOrder)
{
    m_tux.SetReports({Monitor(TuxServer("SVRA", "10") + TuxServer("SVRB", "11")),
                        Monitor(TuxServer("SVRA", "10")), Monitor(TuxServer("SVRA", "10")),
                        Monitor("<ERROR Reason=\"tmadmin failed\"/>")});
    TuxAlarmRule rule;
    rule.SvrDied = "SVRB";
    rule.Email = "TRUE";
    Open(SiteKind::Tuxedo);
    m_monitor->Tuxedo().SetRule(rule);
    EXPECT_EQ(m_listener.calls, (Calls{"running", "report", "ended shown"}));
    EXPECT_EQ(m_monitor->Timer().GetInterval(), 15000);
    Poll();
    Poll();
    ASSERT_EQ(Alarms().size(), 2u);
    EXPECT_EQ(Alarms()[0].text, "[ SVRB]  Died!!!");
    EXPECT_EQ(Findings(Alarms()[0]), "died:SVRB ");
    EXPECT_TRUE(Alarms()[0].sendMail && !Alarms()[0].playSound);
    EXPECT_EQ(Alarms()[0].siteName, "s");
    EXPECT_TRUE(Alarms()[1].text.empty() && Alarms()[1].findings.empty());
    ASSERT_TRUE(m_monitor->LastReport());
    EXPECT_EQ(m_monitor->LastReport()->tuxedo->servers.size(), 1u);
    Poll();
    EXPECT_EQ(m_listener.calls,
              (Calls{"running", "report", "ended shown", "report", "log [ SVRB]  Died!!!\n", "ended shown",
                     "report", "ended shown", "report", "log tmadmin failed\n", "idle", "ended shown"}));
    EXPECT_FALSE(m_monitor->RunScanNow()); // stopped: no more ticks
    EXPECT_TRUE(PumpUntil([&] { return m_tux.Commands() == "[^]]]_"; }));
}

// Through the lifecycle with its defaults: the designed actions and line as
// before, the lifecycle's own line after it; a clear the next poll.
TEST_F(SiteMonitorTest, LifecycleLinesFollowTheDesignedOnes)
{
    m_tux.SetReports({Monitor(TuxServer("SVRA", "10") + TuxServer("SVRB", "11")),
                      Monitor(TuxServer("SVRA", "10")), Monitor(TuxServer("SVRA", "10"))});
    TuxAlarmRule rule;
    rule.SvrDied = "SVRB";
    rule.Email = "TRUE";
    Open(SiteKind::Tuxedo);
    m_monitor->SetAlarmHandler({});
    EXPECT_EQ(m_monitor->SetAlarmBook(std::make_shared<AlarmBook>(), m_home.File("s.db")), "");
    std::vector<std::string> mails;
    AlarmActions actions;
    actions.sendMail = [&](const ActionSettings&, const wxString& text)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        mails.push_back(text.utf8_string());
    };
    m_monitor->SetAlarmActions(actions);
    m_monitor->Tuxedo().SetRule(rule);
    Poll();
    Poll();
    EXPECT_EQ(mails, std::vector<std::string>{"[ SVRB]  Died!!!"});
    EXPECT_EQ(m_listener.calls,
              (Calls{"running", "report", "ended shown", "report", "log [ SVRB]  Died!!!\n",
                     "log Alarm raised: died SVRB\n", "ended shown", "report", "log Alarm cleared: died SVRB\n",
                     "ended shown"}));
    EXPECT_EQ(Rows("AlarmJournal"), 2);
}

// A WebLogic 8 domain: thread pools come as ExecuteQueueRuntime and JDBC
// pools as JDBCConnectionPoolRuntime; the findings name the server, and
// server and pool for JDBC; the dump follows the handler, the alarm lines
// follow the dump's answer.
TEST_F(SiteMonitorTest, WebLogic8ThresholdsAndThreadDumpThroughExecuteQueues)
{
    const std::string domain = Monitor(
        "<ServerRuntime serverName=\"ms1\" ListenAddress=\"10.0.0.9\" ListenPort=\"7003\"/>"
        "<ExecuteQueueRuntime serverName=\"ms1\" Name=\"weblogic.kernel.Default\" "
        "ExecuteThreadCurrentIdleCount=\"1\" ExecuteThreadTotalCount=\"20\"/>"
        "<JDBCConnectionPoolRuntime serverName=\"ms1\" Name=\"OrderDS\" CurrCapacity=\"5\" "
        "ActiveConnectionsCurrentCount=\"5\"/>");
    m_wls.Queue(']', domain);
    m_wls.Queue('a', Monitor("<SYSTEM errMsg=\"1 dump\"/>"));
    Open(SiteKind::WebLogic, "WebLogic V8");
    WlsAlarmRule rule;
    rule.IdleThread = "10";
    rule.IdleJDBC = "10";
    rule.ThreadDump = "TRUE";
    m_monitor->WebLogic().SetRule(rule);
    Poll();
    ASSERT_EQ(Alarms().size(), 1u);
    EXPECT_EQ(Findings(Alarms()[0]), "free thread too low:ms1 free JDBC too low:ms1/OrderDS ");
    ASSERT_EQ(m_wls.Requests().size(), 4u);
    EXPECT_EQ(m_wls.Requests()[3], "a<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent>"
                                     "<Server name=\"ms1\" url=\"10.0.0.9:7003\" dumpCount=\"2\" />"
                                     "</wlsagent>");
    EXPECT_EQ(m_listener.calls,
              (Calls{"running", "report", "ended shown", "report", "log [ ms1]  Do ThreadDump !!!1 dump\n",
                     "log [ ms1]  Free JDBC Too Low!!!\n", "log [ ms1]  Free Thread Too Low!!!\n",
                     "ended shown"}));
    ASSERT_TRUE(m_listener.report);
    EXPECT_TRUE(m_listener.report->webLogic->threads.at(0).Flags & WlsAlarmRow);
}

// Issue fault: the GUI froze behind a scan's history write held up by a
// locked file. Stop and teardown return at once (Stop still says goodbye),
// a tick meanwhile is skipped, the write finishes in the background; the
// window's own connection gives up quickly with a clear message.
TEST_F(SiteMonitorTest, HistoryWriteBehindALockNeverHoldsTheMonitor)
{
    m_tux.SetReports({Monitor(TuxServer("SVRA", "10") + TuxServer("SVRB", "11"))});
    Open(SiteKind::Tuxedo);
    DbAccess window;
    window.Open(m_home.File("s.db"), DbAccess::SiteDb);
    window.SetBusyTimeout(100);
    wxSQLite3Database locker;
    locker.Open(m_home.File("s.db"));
    locker.ExecuteUpdate("begin exclusive");
    m_listener.record = true;
    ASSERT_TRUE(m_monitor->RunScanNow());
    ASSERT_TRUE(PumpUntil([&] { return m_tux.Replies() == 2; }));
    PumpFor(100); // the scan now waits for its write
    EXPECT_FALSE(m_monitor->RunScanNow());
    {
        PromptRecorder prompts;
        EXPECT_EQ(window.SaveTuxRule(TuxAlarmRule{}), 0);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_TRUE(prompts.Texts()[0].Contains("try again")) << prompts.Texts()[0];
    }

    const auto before = std::chrono::steady_clock::now();
    m_monitor->Stop();
    EXPECT_TRUE(PumpUntil([&] { return m_tux.Commands() == "[^]_"; }));
    m_listener.record = false;
    ASSERT_EQ(m_monitor->Start("15"), 1); // without waiting for the old write
    m_monitor = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));

    locker.ExecuteUpdate("rollback");
    EXPECT_TRUE(SiteMonitor::WaitForHistoryWrites(10000));
    EXPECT_EQ(Rows("ServerList"), 2);
}

// Issue fault: a link whose connection cannot be watched (no descriptors
// left) used to start a monitor nobody would tell of a lost agent; Start
// now fails with a warning line.
TEST_F(SiteMonitorTest, UnwatchableConnectionFailsStartWithALogLine)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own checks need descriptors the child has none of";
#endif
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(StartWithOneDescriptorLeft(m_tux.Port()), ::testing::ExitedWithCode(0), "");
}
