#include "tuxedo/tux_alarms.h"
#include "tuxedo/tux_monitor_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
struct Srv
{
    const char* name;
    const char* pid;
    const char* rq;
    const char* svc;
};

std::string Report(std::initializer_list<Srv> servers)
{
    std::string out = "<MONITOR>";
    for (const Srv& s : servers)
        out += std::string("<SERVER Server=\"") + s.name + "\" ProcessID=\"" + s.pid +
               "\" RqDone=\"" + s.rq + "\" CurrSvc=\"" + s.svc + "\"/>";
    return out + "</MONITOR>";
}

TuxAlarmRule Rule(const char* died, const char* busy, const char* idle)
{
    TuxAlarmRule r;
    r.SvrDied = died;
    r.LongBusy = busy;
    r.NoTran = idle;
    return r;
}

// Parses two reports in a row with the rule and returns the model.
struct TwoScans
{
    TuxMonitorModel model;
    TwoScans(const TuxAlarmRule& rule, const std::string& first, const std::string& second)
    {
        model.SetRule(rule);
        EXPECT_EQ(model.ParseTuxReport(first), 1);
        EXPECT_EQ(model.DiedList() + model.BusyList() + model.IdleList(), "");
        EXPECT_EQ(model.ParseTuxReport(second), 1);
    }
};
} // namespace

TEST(TuxCompare, DiedOnlyWhenTheCurrentListIsShorter)
{
    TwoScans s(Rule("B", "", ""), Report({{"A", "10", "1", "IDLE"}, {"B", "11", "2", "IDLE"}}),
               Report({{"A", "10", "5", "IDLE"}}));
    EXPECT_EQ(s.model.DiedList(), "[ B] ");
    const TuxAlarmReport alarms = s.model.TakeAlarms();
    EXPECT_EQ(alarms.text, "[ B]  Died!!!");
    ASSERT_EQ(alarms.lines.size(), 1u);
    EXPECT_EQ(alarms.lines[0], "[ B]  Died!!!");
    EXPECT_EQ(s.model.DiedList(), "");
}

TEST(TuxCompare, PidChangeWithTheSameCountRaisesNothing)
{
    TwoScans s(Rule("A;B", "A;B", "A;B"),
               Report({{"A", "10", "1", "IDLE"}, {"B", "11", "2", "IDLE"}}),
               Report({{"A", "12", "1", "IDLE"}, {"B", "11", "3", "IDLE"}}));
    EXPECT_EQ(s.model.TakeAlarms().text, "");
    for (const TuxServerRec& r : s.model.Servers())
        EXPECT_EQ(r.Flags, TuxShown) << r.ProgName;
}

TEST(TuxCompare, BusyAndIdleMarks)
{
    // A stays busy and B stays idle with no request done; C did some work.
    TwoScans s(Rule("", "A;C", "B;C"),
               Report({{"A", "1", "5", "SVC"}, {"B", "2", "6", "IDLE"}, {"C", "3", "7", "IDLE"}}),
               Report({{"A", "1", "5", "SVC"}, {"B", "2", "6", "IDLE"}, {"C", "3", "8", "IDLE"}}));
    const TuxServerList& now = s.model.Servers();
    EXPECT_EQ(now[0].Flags, TuxShown | TuxBusyLong | TuxAlarmRow);
    EXPECT_EQ(now[1].Flags, TuxShown | TuxIdleLong | TuxAlarmRow);
    EXPECT_EQ(now[2].Flags, TuxShown);
    EXPECT_EQ(s.model.TakeAlarms().text, "[ A]  Busy Too Long!!![ B]  Idle Too Long!!!");
    // The marks travel into the previous-scan copy.
    EXPECT_EQ(s.model.PreviousServers()[0].Flags, now[0].Flags);
}

TEST(TuxCompare, IdleServerNamedOnlyForBusyRaisesNothing)
{
    TwoScans s(Rule("", "B", ""), Report({{"B", "2", "6", "IDLE"}}),
               Report({{"B", "2", "6", "IDLE"}}));
    EXPECT_EQ(s.model.Servers()[0].Flags, TuxShown);
    EXPECT_EQ(s.model.TakeAlarms().text, "");
}

TEST(TuxCompare, MarkedServersAreListedThroughAHidingFilter)
{
    TuxMonitorModel model;
    TuxFilter filter;
    filter.serverText = ""; // "Only Show(';')" with an empty field
    model.SetFilter(filter);
    model.SetRule(Rule("", "", "B"));
    ASSERT_EQ(model.ParseTuxReport(Report({{"A", "1", "5", "IDLE"}, {"B", "2", "6", "IDLE"}})), 1);
    ASSERT_EQ(model.ParseTuxReport(Report({{"A", "1", "6", "IDLE"}, {"B", "2", "6", "IDLE"}})), 1);
    EXPECT_EQ(model.Servers()[0].Flags, 0u);
    EXPECT_EQ(model.Servers()[1].Flags, TuxIdleLong | TuxAlarmRow);
}

TEST(TuxCompare, FirstReportOnlyFillsThePreviousScan)
{
    TuxMonitorModel model;
    model.SetRule(Rule("A", "A", "A"));
    ASSERT_EQ(model.ParseTuxReport(Report({{"A", "1", "5", "IDLE"}})), 1);
    EXPECT_EQ(model.PreviousServers().size(), 1u);
    model.ForgetPreviousScan();
    ASSERT_EQ(model.ParseTuxReport(Report({{"A", "1", "5", "IDLE"}})), 1);
    EXPECT_EQ(model.IdleList(), "");
}

TEST(TuxCompare, EmptyReportKeepsThePreviousScan)
{
    TuxMonitorModel model;
    model.SetRule(Rule("A", "", ""));
    ASSERT_EQ(model.ParseTuxReport(Report({{"A", "1", "5", "IDLE"}})), 1);
    ASSERT_EQ(model.ParseTuxReport("<MONITOR/>"), 1);
    EXPECT_EQ(model.PreviousServers().size(), 1u);
    EXPECT_EQ(model.DiedList(), "");
}

TEST(TuxCompare, AlarmTextJoinsTheSuffixedLists)
{
    TuxMonitorModel model;
    EXPECT_EQ(model.NoteAlarmServer("SVR1", TuxAlarmDied), 1);
    EXPECT_EQ(model.NoteAlarmServer("SVR2", TuxAlarmBusy), 1);
    EXPECT_EQ(model.NoteAlarmServer("SVR9", 16), 1); // not a kind: ignored
    const TuxAlarmReport report = model.TakeAlarms();
    EXPECT_EQ(report.text, "[ SVR1]  Died!!![ SVR2]  Busy Too Long!!!");
    ASSERT_EQ(report.lines.size(), 2u);
    EXPECT_EQ(report.lines[1], "[ SVR2]  Busy Too Long!!!");
    EXPECT_EQ(model.TakeAlarms().text, "");
}

TEST(TuxCompare, ANameIsNotedOnce)
{
    TuxMonitorModel model;
    model.NoteAlarmServer("SVR1", TuxAlarmIdle);
    model.NoteAlarmServer("SVR1", TuxAlarmIdle);
    EXPECT_EQ(model.IdleList(), "[ SVR1] ");
}

// Regression: a name that is part of an already noted name (SVR after SVR1)
// used to be dropped from the alarm.
TEST(TuxCompare, NoteAlarmServerKeepsAShorterNameOfAnotherServer)
{
    TuxMonitorModel model;
    model.NoteAlarmServer("SVR1", TuxAlarmDied);
    model.NoteAlarmServer("SVR", TuxAlarmDied);
    EXPECT_EQ(model.DiedList(), "[ SVR1] [ SVR] ");
}

namespace
{
struct ActionLog
{
    std::vector<std::string> calls;
    TuxAlarmActions Actions()
    {
        TuxAlarmActions a;
        a.playSound = [this](const wxString& f)
        {
            calls.push_back("sound:" + std::string(f.utf8_str()));
            return true;
        };
        a.sendSms = [this](const wxString& t)
        {
            calls.push_back("sms:" + std::string(t.utf8_str()));
            return 1;
        };
        a.sendMail = [this](const ActionSettings& s, const wxString& t)
        {
            calls.push_back("mail:" + std::string(s.MailTo.utf8_str()) + ":" +
                            std::string(t.utf8_str()));
            return 1;
        };
        return a;
    }
};

TuxAlarmRule Flags(const char* sound, const char* sms, const char* mail)
{
    TuxAlarmRule r;
    r.PlaySound = sound;
    r.SMS = sms;
    r.Email = mail;
    return r;
}
} // namespace

TEST(TuxAlarmActionsTest, FlagsAndTextDecideWhatRuns)
{
    ActionSettings settings;
    settings.SoundFile = "/snd.wav";
    settings.MailTo = "ops@example.com";
    struct Case
    {
        TuxAlarmRule rule;
        const char* text;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {Flags("TRUE", "TRUE", "TRUE"), "[ A]  Died!!!",
         {"sound:/snd.wav", "sms:[ A]  Died!!!", "mail:ops@example.com:[ A]  Died!!!"}},
        {Flags("TRUE", "TRUE", "TRUE"), "", {}},   // no condition met: nothing runs
        {Flags("true", "True", "TRUE "), "x", {}}, // only the exact word counts
        {Flags("", "", "TRUE"), "x", {"mail:ops@example.com:x"}},
    };
    for (const Case& c : cases)
    {
        ActionLog log;
        FireTuxAlarmActions(c.rule, settings, c.text, log.Actions());
        EXPECT_EQ(log.calls, c.calls) << c.text;
    }
}
