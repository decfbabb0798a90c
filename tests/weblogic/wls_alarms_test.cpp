#include "weblogic/wls_model.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace
{
// A scripted panel side: answers exchanges from a queue and records the rest.
class FakePort : public WlsScanPort
{
public:
    std::deque<std::string> replies;
    bool alive = true;
    std::vector<std::string> sent; // command byte + payload
    std::vector<wxString> log;     // lines without their time prefix
    std::vector<wxString> calls;
    int broken = 0;
    int shown = 0;

    std::string Exchange(char command, const std::string& payload) override
    {
        sent.push_back(std::string(1, command) + payload);
        if (replies.empty())
            return std::string();
        std::string reply = replies.front();
        replies.pop_front();
        return reply;
    }
    bool IsLinkAlive() override { return alive; }
    void TakeBrokenLinkPath() override
    {
        ++broken;
        calls.push_back("broken");
    }
    void ShowWlsReport() override
    {
        ++shown;
        calls.push_back("show");
    }
    void WriteLog(const wxString& text) override
    {
        const int end = text.Find("]: [WARN]: ");
        ASSERT_TRUE(text.StartsWith("[") && end > 0) << text;
        ASSERT_TRUE(text.EndsWith("\n"));
        log.push_back(text.Mid(end + 11).BeforeLast('\n'));
    }
    void PlaySound(const wxString& file) override { calls.push_back("sound:" + file); }
    void SendSms(const wxString& text) override { calls.push_back("sms:" + text); }
    void SendMail(const ActionSettings& settings, const wxString& text) override
    {
        calls.push_back("mail:" + settings.MailTo + ":" + text);
    }
};

std::string Monitor(const std::string& children)
{
    return "<MONITOR Date=\"now\">" + children + "</MONITOR>";
}

std::string Server(const std::string& name, const std::string& url = "10.0.0.1",
                   const std::string& port = "7001")
{
    return "<ServerRuntime serverName=\"" + name + "\" ListenAddress=\"" + url +
           "\" ListenPort=\"" + port + "\"/>";
}

std::string Jvm(const std::string& name, const std::string& freePercent)
{
    return "<JVMRuntime serverName=\"" + name + "\" HeapFreePercent=\"" + freePercent + "\"/>";
}

std::string Pool(const std::string& name, const std::string& idle, const std::string& total)
{
    return "<ThreadPoolRuntime serverName=\"" + name + "\" ExecuteThreadIdleCount=\"" + idle +
           "\" ExecuteThreadTotalCount=\"" + total + "\"/>";
}

std::string Jdbc(const std::string& name, const std::string& capacity, const std::string& active)
{
    return "<JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans serverName=\"" + name +
           "\" CurrCapacity=\"" + capacity + "\" ActiveConnectionsCurrentCount=\"" + active +
           "\" Name=\"ds\"/>";
}

WlsAlarmRule Rule(const char* heap, const char* thread, const char* jdbc)
{
    WlsAlarmRule rule;
    rule.FreeHeap = heap;
    rule.IdleThread = thread;
    rule.IdleJDBC = jdbc;
    return rule;
}

class WlsAlarms : public ::testing::Test
{
protected:
    WlsAlarms()
    {
        SiteRecord site;
        site.WlsVer = "WebLogic V10";
        model.SetSite(site);
    }
    void Parse(const std::string& children) { ASSERT_EQ(model.ParseWlsReport(Monitor(children)), 1); }

    WlsModel model;
    FakePort port;
};
} // namespace

TEST_F(WlsAlarms, HeapThresholdIsStrict)
{
    model.SetRule(Rule("20", "", ""));
    Parse(Jvm("a", "15") + Jvm("b", "20") + Jvm("c", "35") + Jvm("d", "N/A"));
    EXPECT_EQ(model.Jvms()[0].Flags, 0x24u);
    EXPECT_EQ(model.Jvms()[1].Flags, 0u);
    EXPECT_EQ(model.Jvms()[2].Flags, 0u);
    EXPECT_EQ(model.Jvms()[3].Flags, 0x24u); // absent counts as 0 %
    EXPECT_EQ(model.Offenders(WlsModel::AlarmHeap), "[ a] [ d] ");
    EXPECT_TRUE(model.DumpedServers().empty()); // heap alarms ask for no dump
}

// 2 of 25 is 8 %, 3 of 25 is 12 %, and 0 of 0 is NaN, which never alarms.
TEST_F(WlsAlarms, ThreadRatiosInFloat)
{
    model.SetRule(Rule("", "10", ""));
    Parse(Server("a") + Server("b") + Server("c") + Pool("a", "2", "25") + Pool("b", "3", "25") +
          Pool("c", "0", "0") + Pool("d", "-1", "0"));
    EXPECT_EQ(model.Threads()[0].Flags, 0x28u);
    EXPECT_EQ(model.Threads()[1].Flags, 0u);
    EXPECT_EQ(model.Threads()[2].Flags, 0u);
    EXPECT_EQ(model.Threads()[3].Flags, 0x28u); // minus infinity alarms
    EXPECT_EQ(model.Offenders(WlsModel::AlarmThread), "[ a] [ d] ");
}

TEST_F(WlsAlarms, JdbcFreeShare)
{
    model.SetRule(Rule("", "", "10"));
    Parse(Jdbc("full", "10", "10") + Jdbc("empty", "0", "0") + Jdbc("over", "0", "5") +
          Jdbc("fine", "10", "5"));
    EXPECT_EQ(model.JdbcPools()[0].Flags, 0x22u);
    EXPECT_EQ(model.JdbcPools()[1].Flags, 0u);
    EXPECT_EQ(model.JdbcPools()[2].Flags, 0x22u);
    EXPECT_EQ(model.JdbcPools()[3].Flags, 0u);
    EXPECT_EQ(model.Offenders(WlsModel::AlarmJdbc), "[ full] [ over] ");
}

TEST_F(WlsAlarms, EmptyRuleChecksNothingAndNonNumericThresholdIsZero)
{
    Parse(Jvm("a", "0") + Pool("a", "0", "5") + Jdbc("a", "5", "5"));
    EXPECT_EQ(model.Jvms()[0].Flags | model.Threads()[0].Flags | model.JdbcPools()[0].Flags, 0u);

    // Counts are read as atoi reads them: blanks, sign, leading digits.
    model.SetRule(Rule("", " 10%", ""));
    Parse(Pool("p", " 2", "25 threads") + Pool("q", "+3", "\t25"));
    EXPECT_EQ(model.Threads()[0].Flags, 0x28u);
    EXPECT_EQ(model.Threads()[1].Flags, 0u);

    model.SetRule(Rule("abc", "abc", "abc"));
    Parse(Jvm("a", "0") + Pool("a", "0", "5") + Jdbc("a", "5", "5") + Jdbc("b", "0", "1"));
    EXPECT_EQ(model.Jvms()[0].Flags, 0u);
    EXPECT_EQ(model.Threads()[0].Flags, 0u);
    EXPECT_EQ(model.JdbcPools()[0].Flags, 0u);
    EXPECT_EQ(model.JdbcPools()[1].Flags, 0x22u);
}

TEST_F(WlsAlarms, ThreadAlarmWithoutServerRecordMakesNoDumpLine)
{
    model.SetRule(Rule("", "10", ""));
    Parse(Server("other") + Pool("ghost", "0", "10"));
    EXPECT_EQ(model.Offenders(WlsModel::AlarmThread), "[ ghost] ");
    EXPECT_TRUE(model.DumpLines().empty());
    EXPECT_TRUE(model.DumpedServers().empty());
}

// The thread check runs first, so the server is dumped once, with two dumps.
TEST_F(WlsAlarms, ServerFailingThreadAndJdbcIsDumpedOnce)
{
    model.SetRule(Rule("", "10", "10"));
    Parse(Server("ms1", "10.0.0.7", "7003") + Pool("ms1", "0", "10") + Jdbc("ms1", "4", "4"));
    EXPECT_EQ(model.Offenders(WlsModel::AlarmThread), "[ ms1] ");
    EXPECT_EQ(model.Offenders(WlsModel::AlarmJdbc), "[ ms1] ");
    EXPECT_EQ(model.DumpedServers(), "[ ms1] ");
    EXPECT_EQ(model.DumpLines(), "<Server name=\"ms1\" url=\"10.0.0.7:7003\" dumpCount=\"2\" />");
}

TEST_F(WlsAlarms, NoteAlarmServerMatching)
{
    Parse(Server("srv10", "h10", "10") + Server("dup", "h1", "1") + Server("dup", "h2", "2") +
          Server("pool", "hp", "9") + Server("pool", "hq", "8"));
    model.NoteAlarmServer("srv10", WlsModel::AlarmThread);
    model.NoteAlarmServer("srv1", WlsModel::AlarmThread); // contained in srv10: counts as filed
    EXPECT_EQ(model.Offenders(WlsModel::AlarmThread), "[ srv10] ");
    // Thread alarms dump every record of the name; JDBC alarms the first only.
    model.NoteAlarmServer("dup", WlsModel::AlarmThread);
    model.NoteAlarmServer("pool", WlsModel::AlarmJdbc);
    EXPECT_EQ(model.DumpedServers(), "[ srv10] [ dup] [ dup] [ pool] ");
    EXPECT_EQ(model.DumpLines(), "<Server name=\"srv10\" url=\"h10:10\" dumpCount=\"2\" />"
                                 "<Server name=\"dup\" url=\"h1:1\" dumpCount=\"2\" />"
                                 "<Server name=\"dup\" url=\"h2:2\" dumpCount=\"2\" />"
                                 "<Server name=\"pool\" url=\"hp:9\" dumpCount=\"3\"/>");
    model.NoteAlarmServer("x", WlsModel::AlarmDied);
    EXPECT_EQ(model.Offenders(WlsModel::AlarmDied), "[ x] ");
}

TEST_F(WlsAlarms, FireBuildsTextInKindOrderAndRunsFlaggedActions)
{
    WlsAlarmRule rule = Rule("20", "10", "");
    rule.PlaySound = "TRUE";
    rule.SMS = "TRUE";
    rule.Email = "TRUE";
    model.SetRule(rule);
    ActionSettings settings;
    settings.SoundFile = "/snd/a.wav";
    settings.MailTo = "ops@example.com";
    model.SetActionSettings(settings);
    Parse(Server("t1") + Jvm("j1", "5") + Pool("t1", "0", "4"));
    model.NoteAlarmServer("d1", WlsModel::AlarmDied);

    model.FireWlsAlarms(port);
    const wxString text = "[ d1]  Died!!![ j1]  JVM Heap Too Low!!![ t1]  Free Thread Too Low!!!";
    ASSERT_EQ(port.calls.size(), 3u);
    EXPECT_EQ(port.calls[0], "sound:/snd/a.wav");
    EXPECT_EQ(port.calls[1], "sms:" + text);
    EXPECT_EQ(port.calls[2], "mail:ops@example.com:" + text);
    EXPECT_TRUE(port.sent.empty()); // ThreadDump is off
    ASSERT_EQ(port.log.size(), 3u);
    EXPECT_EQ(port.log[0], "[ d1]  Died!!!");
    EXPECT_EQ(port.log[1], "[ j1]  JVM Heap Too Low!!!");
    EXPECT_EQ(port.log[2], "[ t1]  Free Thread Too Low!!!");
    // Everything per scan is emptied.
    for (int kind : {16, 4, 2, 8})
        EXPECT_TRUE(model.Offenders(kind).empty());
    EXPECT_TRUE(model.DumpedServers().empty());
    EXPECT_TRUE(model.DumpLines().empty());

    // A scan without offenders fires nothing and logs nothing.
    port.calls.clear();
    port.log.clear();
    Parse(Server("t1") + Jvm("j1", "50"));
    model.FireWlsAlarms(port);
    EXPECT_TRUE(port.calls.empty());
    EXPECT_TRUE(port.log.empty());
}

// Flags other than exactly "TRUE" fire nothing, but rows are red and logged.
TEST_F(WlsAlarms, LowerCaseFlagsFireNothing)
{
    WlsAlarmRule rule = Rule("20", "", "");
    rule.PlaySound = "true";
    rule.SMS = "1";
    rule.Email = "True";
    rule.ThreadDump = "yes";
    model.SetRule(rule);
    Parse(Jvm("j1", "5"));
    EXPECT_EQ(model.Jvms()[0].Flags & WlsAlarmRow, static_cast<unsigned>(WlsAlarmRow));
    model.FireWlsAlarms(port);
    EXPECT_TRUE(port.calls.empty());
    EXPECT_TRUE(port.sent.empty());
    ASSERT_EQ(port.log.size(), 1u);
    EXPECT_EQ(port.log[0], "[ j1]  JVM Heap Too Low!!!");
}

TEST_F(WlsAlarms, ThreadDumpWithOnlyJvmAlarmSendsEmptyDocument)
{
    WlsAlarmRule rule = Rule("20", "", "");
    rule.ThreadDump = "TRUE";
    model.SetRule(rule);
    Parse(Server("j1") + Jvm("j1", "5"));
    port.replies.push_back(Monitor("<SYSTEM errMsg=\"nothing to dump\"/>"));
    model.FireWlsAlarms(port);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0], "a<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent></wlsagent>");
    ASSERT_EQ(port.log.size(), 2u);
    EXPECT_EQ(port.log[0], "nothing to dump"); // no servers were dumped
    EXPECT_EQ(port.log[1], "[ j1]  JVM Heap Too Low!!!");
}

TEST_F(WlsAlarms, ThreadDumpAnswerIsLoggedWithDumpedServers)
{
    WlsAlarmRule rule = Rule("", "10", "10");
    rule.ThreadDump = "TRUE";
    model.SetRule(rule);
    Parse(Server("ms1", "h1", "7003") + Server("ms2", "h2", "7005") + Pool("ms1", "1", "20") +
          Jdbc("ms2", "5", "5"));
    port.replies.push_back(Monitor("<SYSTEM errMsg=\"dumps in /tmp/td\"/>"));
    model.FireWlsAlarms(port);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0], "a<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent>"
                            "<Server name=\"ms1\" url=\"h1:7003\" dumpCount=\"2\" />"
                            "<Server name=\"ms2\" url=\"h2:7005\" dumpCount=\"3\"/>"
                            "</wlsagent>");
    ASSERT_EQ(port.log.size(), 3u);
    EXPECT_EQ(port.log[0], "[ ms1] [ ms2]  Do ThreadDump !!!dumps in /tmp/td");
    EXPECT_EQ(port.log[1], "[ ms2]  Free JDBC Too Low!!!");
    EXPECT_EQ(port.log[2], "[ ms1]  Free Thread Too Low!!!");
    EXPECT_TRUE(model.Summary().errMsg.empty());
    EXPECT_EQ(port.broken, 0);
}

TEST_F(WlsAlarms, ThreadDumpAnswerThatDoesNotParseIsDropped)
{
    WlsAlarmRule rule = Rule("", "10", "");
    rule.ThreadDump = "TRUE";
    model.SetRule(rule);
    Parse(Server("ms1") + Pool("ms1", "0", "20"));
    port.replies.push_back("<MONITOR><SYSTEM errMsg=\"cut");
    model.FireWlsAlarms(port);
    ASSERT_EQ(port.log.size(), 1u);
    EXPECT_EQ(port.log[0], "[ ms1]  Free Thread Too Low!!!");
    EXPECT_EQ(port.broken, 0);
}

// A link that breaks during the thread-dump exchange takes the broken-link
// path exactly once; an empty answer on a usable link is ignored.
TEST_F(WlsAlarms, LinkBreakingDuringThreadDump)
{
    WlsAlarmRule rule = Rule("", "10", "");
    rule.ThreadDump = "TRUE";
    model.SetRule(rule);
    Parse(Server("ms1") + Pool("ms1", "0", "20"));
    port.alive = false;
    model.FireWlsAlarms(port);
    EXPECT_EQ(port.broken, 1);
    EXPECT_EQ(port.log.size(), 1u);

    port.alive = true;
    Parse(Server("ms1") + Pool("ms1", "0", "20"));
    model.FireWlsAlarms(port);
    EXPECT_EQ(port.broken, 1);
}

TEST_F(WlsAlarms, AgentMessageIsLoggedOnceThenEmptied)
{
    Parse("<SYSTEM errMsg=\"agent restarted\"/>");
    model.WriteWlsLog(1, port);
    model.WriteWlsLog(1, port);
    ASSERT_EQ(port.log.size(), 1u);
    EXPECT_EQ(port.log[0], "agent restarted");
}

TEST_F(WlsAlarms, PollScanPaths)
{
    // Empty reply, link usable: nothing happens this tick.
    EXPECT_EQ(model.PollScan(port), WlsModel::ScanEmpty);
    EXPECT_EQ(port.sent.back(), "]");
    EXPECT_EQ(port.broken, 0);

    // A reply that does not parse: nothing shown, nothing fired.
    port.replies.push_back("garbage");
    EXPECT_EQ(model.PollScan(port), WlsModel::ScanRejected);
    EXPECT_EQ(port.shown, 0);

    // A good report is shown, then its alarms fire.
    model.SetRule(Rule("20", "", ""));
    port.replies.push_back(Monitor(Jvm("j1", "3")));
    EXPECT_EQ(model.PollScan(port), WlsModel::ScanShown);
    EXPECT_EQ(port.shown, 1);
    ASSERT_EQ(port.log.size(), 1u);
    EXPECT_EQ(model.LastReply(), Monitor(Jvm("j1", "3")));

    // Empty reply on a dead link: the broken-link path, once.
    port.alive = false;
    EXPECT_EQ(model.PollScan(port), WlsModel::ScanBroken);
    EXPECT_EQ(port.broken, 1);
    EXPECT_EQ(port.shown, 1);
}

// The first report at Start is not evaluated; what it filed is reported with
// the first polled scan, without listing a server twice.
TEST_F(WlsAlarms, FirstReportOffendersCarryIntoFirstPoll)
{
    model.SetRule(Rule("20", "", ""));
    Parse(Jvm("j1", "3"));
    port.replies.push_back(Monitor(Jvm("j1", "4") + Jvm("j2", "4")));
    EXPECT_EQ(model.PollScan(port), WlsModel::ScanShown);
    ASSERT_EQ(port.log.size(), 1u);
    EXPECT_EQ(port.log[0], "[ j1] [ j2]  JVM Heap Too Low!!!");
}
