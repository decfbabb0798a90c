// Comparison of two Tuxedo scans and the alarm text it builds.
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

// "name/flags" of each current server; the previous-scan copy must agree.
std::string Flags(const TuxMonitorModel& m)
{
    std::string out;
    for (size_t i = 0; i < m.Servers().size(); ++i)
    {
        const TuxServerRec& s = m.Servers()[i];
        EXPECT_EQ(m.PreviousServers().at(i).Flags, s.Flags) << "the marks travel into the copy";
        out += (out.empty() ? "" : " ") + std::string(s.ProgName.utf8_str()) + "/" + std::to_string(s.Flags);
    }
    return out;
}

struct CompareCase
{
    const char* name;
    TuxAlarmRule rule;
    std::string first, second;
    const char* flags; // Flags() after the second scan
    const char* text;  // the alarm text; each kind that fired is one log line
    std::vector<wxString> lines;
};

const std::string kABC = Report({{"A", "10", "1", "IDLE"}, {"B", "11", "2", "IDLE"}, {"C", "12", "3", "IDLE"}});

const CompareCase kCompareCases[] = {
    // Regression (pairing by place): a death anywhere in the order names only
    // the dead server, not the live ones that moved up a place.
    {"DeathAtTheFront", Rule("A;B;C", "", ""), kABC,
     Report({{"B", "11", "5", "IDLE"}, {"C", "12", "6", "IDLE"}}), "B/1 C/1", "[ A]  Died!!!",
     {"[ A]  Died!!!"}},
    {"DeathInTheMiddle", Rule("A;B;C", "", ""), kABC,
     Report({{"A", "10", "1", "IDLE"}, {"C", "12", "3", "IDLE"}}), "A/1 C/1", "[ B]  Died!!!",
     {"[ B]  Died!!!"}},
    {"DeathAtTheEnd", Rule("A;B;C", "", ""), kABC,
     Report({{"A", "10", "4", "IDLE"}, {"B", "11", "5", "IDLE"}}), "A/1 B/1", "[ C]  Died!!!",
     {"[ C]  Died!!!"}},
    // a restart under a new process id with the same count is no death
    {"RestartWithANewPid", Rule("A;B", "A;B", "A;B"),
     Report({{"A", "10", "1", "IDLE"}, {"B", "11", "2", "IDLE"}}),
     Report({{"A", "12", "1", "IDLE"}, {"B", "11", "3", "IDLE"}}), "A/1 B/1", "", {}},
    // Regression (pairing by place): A works and moves behind B, which stays
    // idle with no request done: B is still found idle too long.
    {"SwappedPlacesStillIdleTooLong", Rule("A;B", "", "A;B"),
     Report({{"A", "10", "1", "IDLE"}, {"B", "11", "2", "IDLE"}}),
     Report({{"A", "10", "5", "SVC"}, {"B", "11", "2", "IDLE"}}), "B/21 A/1",
     "[ B]  Idle Too Long!!!", {"[ B]  Idle Too Long!!!"}},
    // one of three SVR instances dies while a new X starts: the total count
    // stays, SVR's falls
    {"OneOfSeveralInstancesDies", Rule("SVR;X", "", ""),
     Report({{"SVR", "10", "1", "IDLE"}, {"SVR", "11", "2", "IDLE"}, {"SVR", "12", "3", "IDLE"}}),
     Report({{"SVR", "10", "4", "IDLE"}, {"SVR", "12", "5", "IDLE"}, {"X", "13", "6", "IDLE"}}),
     "SVR/1 SVR/1 X/1", "[ SVR]  Died!!!", {"[ SVR]  Died!!!"}},
    // A stays busy and B idle with no request done (0x02/0x04 and the red 0x10); C did work
    {"BusyAndIdleMarks", Rule("", "A;C", "B;C"),
     Report({{"A", "1", "5", "SVC"}, {"B", "2", "6", "IDLE"}, {"C", "3", "7", "IDLE"}}),
     Report({{"A", "1", "5", "SVC"}, {"B", "2", "6", "IDLE"}, {"C", "3", "8", "IDLE"}}),
     "A/19 B/21 C/1", "[ A]  Busy Too Long!!![ B]  Idle Too Long!!!",
     {"[ A]  Busy Too Long!!!", "[ B]  Idle Too Long!!!"}},
    // named for busy only, an idle server raises nothing
    {"IdleServerNamedOnlyForBusy", Rule("", "B", ""), Report({{"B", "2", "6", "IDLE"}}),
     Report({{"B", "2", "6", "IDLE"}}), "B/1", "", {}},
};

class TuxCompare : public ::testing::TestWithParam<CompareCase>
{
};
} // namespace

TEST_P(TuxCompare, MarksAndAlarms)
{
    const CompareCase& c = GetParam();
    TuxMonitorModel model;
    model.SetRule(c.rule);
    ASSERT_EQ(model.ParseTuxReport(c.first), 1);
    EXPECT_EQ(model.DiedList() + model.BusyList() + model.IdleList(), "");
    ASSERT_EQ(model.ParseTuxReport(c.second), 1);
    EXPECT_EQ(Flags(model), c.flags);
    const TuxAlarmReport alarms = model.TakeAlarms();
    EXPECT_EQ(alarms.text, c.text);
    EXPECT_EQ(alarms.lines, c.lines);
    EXPECT_EQ(model.DiedList() + model.BusyList() + model.IdleList(), "") << "taken";
}

INSTANTIATE_TEST_SUITE_P(TwoScans, TuxCompare, ::testing::ValuesIn(kCompareCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Start begins afresh: its first report only fills the previous scan, and an
// empty report keeps the one there.
TEST(TuxCompareScans, FirstReportFillsAndAnEmptyOneKeepsThePreviousScan)
{
    TuxMonitorModel model;
    model.SetRule(Rule("A", "A", "A"));
    ASSERT_EQ(model.ParseTuxReport(Report({{"A", "1", "5", "IDLE"}})), 1);
    EXPECT_EQ(model.PreviousServers().size(), 1u);
    model.ForgetPreviousScan();
    ASSERT_EQ(model.ParseTuxReport(Report({{"A", "1", "5", "IDLE"}})), 1);
    EXPECT_EQ(model.IdleList(), "");
    ASSERT_EQ(model.ParseTuxReport("<MONITOR/>"), 1);
    EXPECT_EQ(model.PreviousServers().size(), 1u);
    EXPECT_EQ(model.DiedList(), "");
}

// Regression: a name that is part of an already noted name (SVR after SVR1)
// used to be dropped from the alarm. The same name is still noted once.
TEST(TuxCompareScans, NoteAlarmServerKeepsAShorterNameOfAnotherServer)
{
    TuxMonitorModel model;
    for (const char* name : {"SVR1", "SVR", "SVR1", "SVR"})
        EXPECT_EQ(model.NoteAlarmServer(name, TuxAlarmDied), 1);
    EXPECT_EQ(model.NoteAlarmServer("SVR9", 16), 1); // not a kind: ignored
    EXPECT_EQ(model.DiedList() + model.BusyList() + model.IdleList(), "[ SVR1] [ SVR] ");
}
