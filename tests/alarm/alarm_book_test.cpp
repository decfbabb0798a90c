#include "alarm/alarm_book.h"
#include "alarm/alarm_command.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/wxsqlite3.h>

#include <sstream>

using namespace std::chrono;

namespace
{
const wxString kSite = "DemoTuxedo";

// A scan of Died findings from a blank-separated list ("A B"); "-" is none.
std::vector<AlarmFinding> Findings(const std::string& names)
{
    std::vector<AlarmFinding> out;
    std::istringstream in(names);
    std::string name;
    while (in >> name)
        if (name != "-")
            out.push_back({AlarmKind::Died, wxString(name)});
    return out;
}

// "raised A", "repeated B", "cleared A"; a "~" marks one the actions do not hear of.
std::string Describe(const std::vector<AlarmEvent>& events)
{
    std::string out;
    for (const AlarmEvent& e : events)
    {
        if (!out.empty())
            out += ", ";
        out += std::string(AlarmEventName(e.type)) + " " + std::string(e.object.utf8_str()) +
               (e.notify ? "" : "~");
    }
    return out;
}

struct Step
{
    int minutes;          // the clock moves by this before the step
    std::string findings; // a scan ("A B", "-"), or "ack A", "mute 30", "restart"
    std::string expected; // the scan's events
};

struct LifecycleCase
{
    const char* name;
    LifecycleSettings settings;
    std::vector<Step> steps;
};

LifecycleSettings With(int repeat, int raiseAfter = 1, int clearAfter = 1)
{
    LifecycleSettings s;
    s.repeatMinutes = repeat;
    s.raiseAfter = raiseAfter;
    s.clearAfter = clearAfter;
    return s;
}

const LifecycleCase kCases[] = {
    // No settings row: every scan that files an object notifies, as designed.
    {"DefaultsNotifyEveryScan",
     LifecycleSettings(),
     {{0, "A", "raised A"}, {1, "A B", "repeated A, raised B"}, {1, "B", "repeated B, cleared A"},
      {1, "-", "cleared B"}}},
    {"RaiseAfterK",
     With(10, 3),
     {{0, "A", ""}, {1, "A", ""}, {1, "-", ""}, {1, "A", ""}, {1, "A", ""}, {1, "A", "raised A"}}},
    {"RepeatOnTheInterval",
     With(10),
     {{0, "A", "raised A"}, {9, "A", ""}, {1, "A", "repeated A"}, {5, "A", ""}, {5, "A", "repeated A"}}},
    // Back an hour: neither at once nor an hour late, but one interval after the jump.
    {"ClockBackwardsNeitherEarlyNorNever",
     With(10),
     {{0, "A", "raised A"}, {-60, "A", ""}, {9, "A", ""}, {1, "A", "repeated A"}}},
    {"ClearAfterN",
     With(10, 1, 2),
     {{0, "A", "raised A"}, {1, "-", ""}, {1, "A", ""}, {1, "-", ""}, {1, "-", "cleared A"}}},
    {"AckStopsRepeatsUntilCleared",
     With(0),
     {{0, "A", "raised A"}, {0, "ack A", ""}, {1, "A", ""}, {1, "-", "cleared A"}, {1, "A", "raised A"},
      {1, "A", "repeated A"}}},
    // Raised while muted is heard of once the mute is over.
    {"MuteWindow",
     With(60),
     {{0, "mute 30", ""}, {1, "A", "raised A~"}, {10, "A", ""}, {30, "A", "repeated A"}, {1, "-", "cleared A"}}},
    {"MutedClearIsSilent", With(60), {{0, "A", "raised A"}, {0, "mute 30", ""}, {1, "-", "cleared A~"}}},
    {"RestartKeepsAckAndMute",
     With(0),
     {{0, "A B", "raised A, raised B"}, {0, "ack A", ""}, {0, "restart", ""}, {1, "A B", "repeated B"},
      {0, "mute 30", ""}, {0, "restart", ""}, {1, "A B", ""}, {30, "A B", "repeated B"}}},
};

class LifecycleTable : public ::testing::TestWithParam<LifecycleCase>
{
};

TEST_P(LifecycleTable, ScanSequenceGivesEvents)
{
    TempHome home;
    const wxString path = home.File("site.db");
    system_clock::time_point now = system_clock::time_point(hours(500000));
    const AlarmClock clock = [&now] { return now; };
    auto book = std::make_unique<AlarmBook>(clock);
    ASSERT_EQ(book->OpenSite(kSite, path), "");
    ASSERT_TRUE(book->SaveSettings(kSite, GetParam().settings));
    int index = 0;
    for (const Step& step : GetParam().steps)
    {
        now += minutes(step.minutes);
        const std::string& what = step.findings;
        SCOPED_TRACE("step " + std::to_string(index++) + ": " + what);
        if (what.rfind("ack ", 0) == 0)
            EXPECT_TRUE(book->Acknowledge(kSite, AlarmKind::Died, what.substr(4), "ops"));
        else if (what.rfind("mute ", 0) == 0)
            book->Mute(kSite, now + minutes(std::stoi(what.substr(5))), "ops");
        else if (what == "restart")
        {
            book = std::make_unique<AlarmBook>(clock);
            ASSERT_EQ(book->OpenSite(kSite, path), "");
        }
        else
            EXPECT_EQ(Describe(book->Scan(kSite, Findings(what))), step.expected);
    }
    EXPECT_EQ(book->JournalFailures(), 0);
}

INSTANTIATE_TEST_SUITE_P(AlarmBook, LifecycleTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What the actions were asked to do, in order.
struct Recorded
{
    std::vector<std::string> calls;
    std::vector<std::string> log;

    AlarmActions Actions()
    {
        AlarmActions a;
        a.playSound = [this](const wxString& f) { calls.push_back("sound " + f.ToStdString()); };
        a.sendSms = [this](const wxString& t) { calls.push_back("sms " + t.ToStdString()); };
        a.sendMail = [this](const ActionSettings&, const wxString& t)
        { calls.push_back("mail " + t.ToStdString()); };
        a.runCommand = [this](const wxString& p, const CommandEvent& e, const std::function<void(const wxString&)>&)
        { calls.push_back("command " + e.event.ToStdString() + " " + e.object.ToStdString()); };
        return a;
    }
};

ScanAlarms Scan(const std::vector<AlarmFinding>& findings, const wxString& text)
{
    ScanAlarms alarms;
    alarms.siteName = kSite;
    alarms.findings = findings;
    alarms.text = text;
    alarms.playSound = alarms.sendSms = alarms.sendMail = true;
    alarms.settings.SoundFile = "a.wav";
    return alarms;
}

// The designed reaction and the lifecycle with its defaults make the same calls.
TEST(AlarmBookReact, DefaultsReproduceTheDesignedActions)
{
    const std::vector<std::pair<std::vector<AlarmFinding>, wxString>> scans = {
        {Findings("SVR1"), "[ SVR1]  Died!!!"},
        {{{AlarmKind::Died, "SVR1"}, {AlarmKind::BusyTooLong, "SVR2"}}, "[ SVR1]  Died!!![ SVR2]  Busy Too Long!!!"},
        {{}, ""},
        // The designed text wins over one built from the findings (its substring rule).
        {{{AlarmKind::ThreadLow, "srv10"}, {AlarmKind::ThreadLow, "srv1"}}, "[ srv10]  Free Thread Too Low!!!"},
    };
    AlarmBook book;
    Recorded designed, lifecycle;
    for (const auto& scan : scans)
    {
        const ScanAlarms alarms = Scan(scan.first, scan.second);
        FireScanAlarms(alarms, designed.Actions());
        book.React(alarms, lifecycle.Actions());
    }
    EXPECT_EQ(lifecycle.calls, designed.calls);
}

TEST(AlarmBookReact, OneMailPerScanWithEveryEventAndLogLines)
{
    AlarmBook book;
    LifecycleSettings settings = With(10);
    settings.notifyCleared = true;
    settings.command = "/bin/true";
    book.SaveSettings(kSite, settings);
    Recorded r;
    const auto react = [&](const std::vector<AlarmFinding>& findings, const wxString& text)
    {
        ScanAlarms alarms = Scan(findings, text);
        alarms.log = [&r](const wxString& line) { r.log.push_back(line.ToStdString()); };
        book.React(alarms, r.Actions());
    };
    react(Findings("A B"), "[ A] [ B]  Died!!!");
    react({{AlarmKind::Died, "A"}, {AlarmKind::JdbcLow, "S1/OrderDS"}}, "[ A]  Died!!![ S1]  Free JDBC Too Low!!!");
    react({}, "");
    const std::vector<std::string> calls = {
        "sound a.wav", "sms [ A] [ B]  Died!!!", "mail [ A] [ B]  Died!!!", "command raised A", "command raised B",
        // A stays quiet (repeat interval), B clears, the pool is raised: one mail.
        "sound a.wav", "sms [ S1]  Free JDBC Too Low!!!", "mail [ S1]  Free JDBC Too Low!!![ B]  Died recovered",
        "command raised S1/OrderDS", "command cleared B",
        "mail [ A]  Died recovered[ S1]  Free JDBC Too Low recovered", "command cleared A",
        "command cleared S1/OrderDS"};
    EXPECT_EQ(r.calls, calls);
    const std::vector<std::string> log = {
        "Alarm raised: died A",       "Alarm raised: died B",
        "Alarm raised: free JDBC too low S1/OrderDS", "Alarm cleared: died B",
        "Alarm cleared: died A",      "Alarm cleared: free JDBC too low S1/OrderDS"};
    EXPECT_EQ(r.log, log);
}

// A journal that cannot be written costs one warning line per scan; the
// lifecycle and the actions go on.
TEST(AlarmBookReact, JournalFailureWarnsAndMonitoringGoesOn)
{
    TempHome home;
    const wxString path = home.File("site.db");
    AlarmBook book;
    ASSERT_EQ(book.OpenSite(kSite, path), "");
    {
        wxSQLite3Database other;
        other.Open(path);
        other.ExecuteUpdate("drop table AlarmJournal;");
    }
    Recorded r;
    ScanAlarms alarms = Scan(Findings("A"), "[ A]  Died!!!");
    alarms.log = [&r](const wxString& line) { r.log.push_back(line.ToStdString()); };
    book.React(alarms, r.Actions());
    ASSERT_EQ(r.log.size(), 2u);
    EXPECT_EQ(r.log[0].rfind("Alarm journal not written: ", 0), 0u) << r.log[0];
    EXPECT_EQ(r.log[1], "Alarm raised: died A");
    EXPECT_EQ(r.calls.size(), 3u);
    EXPECT_EQ(book.Active().size(), 1u);
}

TEST(AlarmBookJournal, NewestFirstAndCsvQuoting)
{
    TempHome home;
    AlarmBook book;
    ASSERT_EQ(book.OpenSite(kSite, home.File("site.db")), "");
    book.Scan(kSite, Findings("A"));
    book.Acknowledge(kSite, AlarmKind::Died, "A", "o\"neil, j");
    book.Scan(kSite, {});
    const std::vector<AlarmEvent> journal = book.Journal(kSite, 10);
    EXPECT_EQ(Describe(journal), "cleared A~, acknowledged A~, raised A~");
    const std::string csv = JournalCsv({journal[1]});
    EXPECT_NE(csv.find(",acknowledged,\"by o\"\"neil, j\"\r\n"), std::string::npos) << csv;
}

// The command action: argv, never a shell; fields as arguments and variables.
class CommandAction : public ::testing::Test
{
protected:
    wxString Script(const std::string& body)
    {
        const wxString path = m_home.File("cmd.sh");
        WriteFileBytes(path, "#!/bin/sh\n" + body);
        wxFileName(path).SetPermissions(wxS_IRUSR | wxS_IWUSR | wxS_IXUSR);
        return path;
    }
    TempHome m_home;
};

TEST_F(CommandAction, ReceivesTheFieldsAsArgumentsAndEnvironment)
{
    const wxString out = m_home.File("args.txt");
    const wxString program = Script("for a in \"$@\"; do printf '%s|' \"$a\"; done > '" + out.ToStdString() +
                                    "'\necho \"$CORVANE_EVENT $CORVANE_OBJECT\" >> '" + out.ToStdString() +
                                    "'\necho 'first line' >&2\necho second >&2\nexit 3\n");
    AlarmCommandRunner runner(seconds(30));
    std::vector<wxString> log;
    runner.Run(program, {"raised", "Demo", "died", "$(rm -rf x); `id`", "2026-01-01 00:00:00", "[ A]  Died!!!"},
               [&log](const wxString& line) { log.push_back(line); });
    runner.WaitIdle();
    EXPECT_EQ(ReadFileBytes(out),
              "raised|Demo|died|$(rm -rf x); `id`|2026-01-01 00:00:00|[ A]  Died!!!|raised $(rm -rf x); `id`\n");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Alarm command " + program + ": exit status 3: first line") << log[0];
}

TEST_F(CommandAction, HangingHugeOrMissingProgramsAreBounded)
{
    std::vector<wxString> log;
    const auto logTo = [&log](const wxString& line) { log.push_back(line); };
    {
        AlarmCommandRunner runner(seconds(30));
        runner.Run(Script("yes | head -c 8000000 >&2; head -c 8000000 /dev/zero\n"), {}, logTo);
        // Cannot start: told once, however often it is asked for.
        runner.Run("/nonexistent/pager", {}, logTo);
        runner.Run("/nonexistent/pager", {}, logTo);
        runner.Run("relative/pager", {}, logTo);
        runner.WaitIdle();
    }
    const wxString hang = m_home.File("hang.sh");
    wxRenameFile(Script("sleep 60 & sleep 60\n"), hang);
    AlarmCommandRunner quick(milliseconds(300));
    quick.Run(hang, {}, logTo);
    quick.WaitIdle();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(log[0].EndsWith(": exit status 0: y")) << log[0];
    EXPECT_EQ(log[1], "Alarm command /nonexistent/pager: cannot start: No such file or directory");
    EXPECT_EQ(log[2], "Alarm command relative/pager: cannot start: not an absolute path");
    EXPECT_EQ(log[3], "Alarm command " + hang + ": killed after 0.3 s");
}
} // namespace
