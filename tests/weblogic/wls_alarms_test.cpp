// Threshold marking, alarm text, actions, thread dumps and the polled scan
// of the WebLogic model, against a scripted panel side.
#include "weblogic/wls_model.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace
{
using Texts = std::vector<wxString>;

// A scripted panel side: answers exchanges from a queue and records the rest.
class FakePort : public WlsScanPort
{
public:
    std::deque<std::string> replies;
    bool alive = true;
    std::vector<std::string> sent; // command byte + payload
    Texts log;                     // lines without their time prefix
    Texts calls;                   // the actions, in order
    int broken = 0;
    int shown = 0;

    std::string Exchange(char command, const std::string& payload) override
    {
        sent.push_back(std::string(1, command) + payload);
        std::string reply;
        if (!replies.empty())
        {
            reply = replies.front();
            replies.pop_front();
        }
        return reply;
    }
    bool IsLinkAlive() override { return alive; }
    void TakeBrokenLinkPath() override { ++broken; }
    void ShowWlsReport() override { ++shown; }
    void WriteLog(const wxString& text) override
    {
        const int end = text.Find("]: [WARN]: ");
        ASSERT_TRUE(text.StartsWith("[") && end > 0 && text.EndsWith("\n")) << text;
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
    // The rule with ThreadDump on.
    void DumpingRule(const char* heap, const char* thread, const char* jdbc)
    {
        WlsAlarmRule rule = Rule(heap, thread, jdbc);
        rule.ThreadDump = "TRUE";
        model.SetRule(rule);
    }

    WlsModel model;
    FakePort port;
};

// The flags of every JVM, thread and JDBC record, in hexadecimal.
std::string Flags(const WlsModel& m)
{
    std::string out;
    auto add = [&](const char* list, std::uint32_t flags)
    { out += std::string(out.empty() ? "" : " ") + list + wxString::Format("%x", flags).utf8_string(); };
    for (const auto& r : m.Jvms())
        add("J", r.Flags);
    for (const auto& r : m.Threads())
        add("T", r.Flags);
    for (const auto& r : m.JdbcPools())
        add("D", r.Flags);
    return out;
}

struct MarkCase
{
    const char* name;
    WlsAlarmRule rule;
    std::string children;
    const char* flags;     // Flags() after the parse
    const char* offenders; // heap / thread / JDBC offenders / dumped servers
    const char* dumpLines;
};

const MarkCase kMarkCases[] = {
    // below the threshold, not at it; an absent percentage counts as 0; heap alarms dump nothing
    {"HeapThresholdIsStrict", Rule("20", "", ""),
     Jvm("a", "15") + Jvm("b", "20") + Jvm("c", "35") + Jvm("d", "N/A"), "J24 J0 J0 J24",
     "[ a] [ d] ///", ""},
    // 2 of 25 is 8 %, 3 of 25 is 12 %; 0 of 0 is NaN, which never alarms; -1 of 0 is minus infinity
    {"ThreadRatiosInFloat", Rule("", "10", ""),
     Server("a") + Server("b") + Pool("a", "2", "25") + Pool("b", "3", "25") + Pool("c", "0", "0") +
         Pool("d", "-1", "0"),
     "T28 T0 T0 T28", "/[ a] [ d] //[ a] ",
     "<Server name=\"a\" url=\"10.0.0.1:7001\" dumpCount=\"2\" />"},
    // the free share of the capacity; an empty pool is no alarm, more active than capacity is
    {"JdbcFreeShare", Rule("", "", "10"),
     Jdbc("full", "10", "10") + Jdbc("empty", "0", "0") + Jdbc("over", "0", "5") + Jdbc("fine", "10", "5"),
     "D22 D0 D22 D0", "//[ full] [ over] /", ""},
    {"EmptyRuleChecksNothing", Rule("", "", ""), Jvm("a", "0") + Pool("a", "0", "5") + Jdbc("a", "5", "5"),
     "J0 T0 D0", "///", ""},
    // counts and thresholds are read as atoi reads them: blanks, sign, leading digits
    {"AtoiReadCounts", Rule("", " 10%", ""), Pool("p", " 2", "25 threads") + Pool("q", "+3", "\t25"),
     "T28 T0", "/[ p] //", ""},
    // a threshold that is no number is 0: only an active pool of no capacity alarms
    {"NonNumericThresholdIsZero", Rule("abc", "abc", "abc"),
     Jvm("a", "0") + Pool("a", "0", "5") + Jdbc("a", "5", "5") + Jdbc("b", "0", "1"), "J0 T0 D0 D22",
     "//[ b] /", ""},
    // no server record of the name: no dump line
    {"ThreadAlarmWithoutServerRecord", Rule("", "10", ""), Server("other") + Pool("ghost", "0", "10"),
     "T28", "/[ ghost] //", ""},
    // the thread check runs first, so the server is dumped once, with two dumps
    {"ServerFailingThreadAndJdbcIsDumpedOnce", Rule("", "10", "10"),
     Server("ms1", "10.0.0.7", "7003") + Pool("ms1", "0", "10") + Jdbc("ms1", "4", "4"), "T28 D22",
     "/[ ms1] /[ ms1] /[ ms1] ", "<Server name=\"ms1\" url=\"10.0.0.7:7003\" dumpCount=\"2\" />"},
};

class WlsMarks : public WlsAlarms, public ::testing::WithParamInterface<MarkCase>
{
};
} // namespace

TEST_P(WlsMarks, ThresholdsMarkRecordsAndFileOffenders)
{
    const MarkCase& c = GetParam();
    model.SetRule(c.rule);
    Parse(c.children);
    EXPECT_EQ(Flags(model), c.flags);
    EXPECT_EQ(model.Offenders(WlsModel::AlarmHeap) + "/" + model.Offenders(WlsModel::AlarmThread) + "/" +
                  model.Offenders(WlsModel::AlarmJdbc) + "/" + model.DumpedServers(),
              c.offenders);
    EXPECT_EQ(model.DumpLines(), c.dumpLines);
}

INSTANTIATE_TEST_SUITE_P(Wls, WlsMarks, ::testing::ValuesIn(kMarkCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WlsAlarms, NoteAlarmServerMatching)
{
    Parse(Server("srv10", "h10", "10") + Server("dup", "h1", "1") + Server("dup", "h2", "2") +
          Server("pool", "hp", "9") + Server("pool", "hq", "8"));
    // Regression: srv1 used to count as filed once srv10 was, and never alarmed.
    model.NoteAlarmServer("srv10", WlsModel::AlarmThread);
    model.NoteAlarmServer("srv1", WlsModel::AlarmThread);
    model.NoteAlarmServer("srv10", WlsModel::AlarmThread);
    EXPECT_EQ(model.Offenders(WlsModel::AlarmThread), "[ srv10] [ srv1] ");
    // Thread alarms dump every record of the name; JDBC alarms the first only.
    model.NoteAlarmServer("dup", WlsModel::AlarmThread);
    model.NoteAlarmServer("pool", WlsModel::AlarmJdbc);
    EXPECT_EQ(model.DumpedServers(), "[ srv10] [ dup] [ dup] [ pool] "); // srv1 has no record
    EXPECT_EQ(model.DumpLines(), "<Server name=\"srv10\" url=\"h10:10\" dumpCount=\"2\" />"
                                 "<Server name=\"dup\" url=\"h1:1\" dumpCount=\"2\" />"
                                 "<Server name=\"dup\" url=\"h2:2\" dumpCount=\"2\" />"
                                 "<Server name=\"pool\" url=\"hp:9\" dumpCount=\"3\"/>");
    model.NoteAlarmServer("x", WlsModel::AlarmDied);
    EXPECT_EQ(model.Offenders(WlsModel::AlarmDied), "[ x] ");
}

TEST_F(WlsAlarms, WatchedServersDownOrFailedAreFiledAsDied)
{
    WlsAlarmRule rule;
    rule.SvrDied = "ms1;ms2;admin;ms4";
    model.SetRule(rule);
    auto server = [](const char* name, const char* state, const char* health)
    {
        return std::string("<ServerRuntime serverName=\"") + name + "\" State=\"" + state +
               "\" HealthState=\"" + health + "\"/>";
    };
    // ms3 is down but not watched; ms2 runs well; ms4 stands by on purpose.
    Parse(server("ms1", "SHUTDOWN", "") + server("ms2", "RUNNING", "State:HEALTH_OK") +
          server("admin", "RUNNING", "State:HEALTH_FAILED") + server("ms3", "FAILED", "") +
          server("ms4", "STANDBY", "State:HEALTH_OK"));
    EXPECT_EQ(model.Offenders(WlsModel::AlarmDied), "[ ms1] [ admin] ");
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
    EXPECT_EQ(port.calls, (Texts{"sound:/snd/a.wav", "sms:" + text, "mail:ops@example.com:" + text}));
    EXPECT_TRUE(port.sent.empty()); // ThreadDump is off
    EXPECT_EQ(port.log, (Texts{"[ d1]  Died!!!", "[ j1]  JVM Heap Too Low!!!", "[ t1]  Free Thread Too Low!!!"}));
    // Everything per scan is emptied.
    EXPECT_EQ(model.Offenders(16) + model.Offenders(4) + model.Offenders(2) + model.Offenders(8) +
                  model.DumpedServers() + model.DumpLines(),
              "");

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
    EXPECT_EQ(port.log, Texts{"[ j1]  JVM Heap Too Low!!!"});
}

TEST_F(WlsAlarms, ThreadDumpWithOnlyJvmAlarmSendsEmptyDocument)
{
    DumpingRule("20", "", "");
    Parse(Server("j1") + Jvm("j1", "5"));
    port.replies.push_back(Monitor("<SYSTEM errMsg=\"nothing to dump\"/>"));
    model.FireWlsAlarms(port);
    EXPECT_EQ(port.sent, std::vector<std::string>{
                             "a<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent></wlsagent>"});
    // no servers were dumped: the answer alone
    EXPECT_EQ(port.log, (Texts{"nothing to dump", "[ j1]  JVM Heap Too Low!!!"}));
}

TEST_F(WlsAlarms, ThreadDumpAnswerIsLoggedWithDumpedServers)
{
    DumpingRule("", "10", "10");
    Parse(Server("ms1", "h1", "7003") + Server("ms2", "h2", "7005") + Pool("ms1", "1", "20") +
          Jdbc("ms2", "5", "5"));
    port.replies.push_back(Monitor("<SYSTEM errMsg=\"dumps in /tmp/td\"/>"));
    model.FireWlsAlarms(port);
    EXPECT_EQ(port.sent, std::vector<std::string>{"a<?xml version=\"1.0\" encoding=\"UTF-8\" ?><wlsagent>"
                                                  "<Server name=\"ms1\" url=\"h1:7003\" dumpCount=\"2\" />"
                                                  "<Server name=\"ms2\" url=\"h2:7005\" dumpCount=\"3\"/>"
                                                  "</wlsagent>"});
    EXPECT_EQ(port.log, (Texts{"[ ms1] [ ms2]  Do ThreadDump !!!dumps in /tmp/td",
                               "[ ms2]  Free JDBC Too Low!!!", "[ ms1]  Free Thread Too Low!!!"}));
    EXPECT_TRUE(model.Summary().errMsg.empty());
    EXPECT_EQ(port.broken, 0);
}

// A thread-dump answer that does not parse is dropped; a link that breaks
// during the exchange takes the broken-link path exactly once; an empty
// answer on a usable link is ignored. The alarm lines follow in every case.
TEST_F(WlsAlarms, ThreadDumpAnswersThatFail)
{
    DumpingRule("", "10", "");
    Parse(Server("ms1") + Pool("ms1", "0", "20"));
    port.replies.push_back("<MONITOR><SYSTEM errMsg=\"cut");
    model.FireWlsAlarms(port);
    EXPECT_EQ(port.log, Texts{"[ ms1]  Free Thread Too Low!!!"});

    Parse(Server("ms1") + Pool("ms1", "0", "20"));
    port.alive = false;
    model.FireWlsAlarms(port);
    EXPECT_EQ(port.broken, 1);
    EXPECT_EQ(port.log.size(), 2u);

    port.alive = true;
    Parse(Server("ms1") + Pool("ms1", "0", "20"));
    model.FireWlsAlarms(port);
    EXPECT_EQ(port.broken, 1);
    EXPECT_EQ(port.log.size(), 3u);
}

TEST_F(WlsAlarms, AgentMessageIsLoggedOnceThenEmptied)
{
    Parse("<SYSTEM errMsg=\"agent restarted\"/>");
    model.WriteWlsLog(1, port);
    model.WriteWlsLog(1, port);
    EXPECT_EQ(port.log, Texts{"agent restarted"});
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
    EXPECT_EQ(port.log, Texts{"[ j1] [ j2]  JVM Heap Too Low!!!"});
}
