// Sites, alarm rules and action settings: what is stored where, read back,
// refused, and kept when a save fails.
#include "store/store_fixture.h"

#include "common/program_dir.h"

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/utils.h>

namespace
{
SiteRecord MakeSite(const wxString& name, const wxString& port = "8080")
{
    return SiteRecord{name, "WEBLOGIC", "10.0.0.1", port, "weblogic", "p'w%d\\", "7001",
                      "WebLogic V10", "", name + ".db"};
}
} // namespace

TEST_F(OpenStoreTest, PortIsStoredAsTheNumberOfItsLeadingDigits)
{
    const struct
    {
        const char* typed;
        const char* stored;
    } cases[] = {{"8080", "8080"}, {"80a", "80"}, {"abc", "0"}, {"", "0"}, {" 7001", "7001"}};
    for (const auto& c : cases)
    {
        const SiteRecord site = MakeSite(wxString("port ") + c.typed, c.typed);
        ASSERT_EQ(m_config.InsertSite(site), 1);
        EXPECT_EQ(RawDb(ConfigPath()).Rows("select SitePort, typeof(SitePort) from SiteList where "
                                           "SiteName = '" + site.SiteName + "'"),
                  (Grid{{c.stored, "integer"}}))
            << c.typed;
    }
    ASSERT_EQ(m_config.LoadSites(), 1);
    EXPECT_EQ(m_config.Sites()[1].SitePort, "80");
}

TEST_F(OpenStoreTest, DuplicateSiteNameIsRefusedWithOneMessage)
{
    ASSERT_EQ(m_config.InsertSite(MakeSite("dup")), 1);
    EXPECT_EQ(m_config.InsertSite(MakeSite("dup")), 0);
    ASSERT_EQ(m_prompts.Messages().size(), 1u);
    EXPECT_TRUE(m_prompts.Messages()[0].text.Contains(ConfigPath()));
    EXPECT_TRUE(m_prompts.Messages()[0].text.Contains("UNIQUE"));
}

// Regression: a DatabaseFile that is not a site database of its own (the
// configuration database in any case, a path, one leading out of the
// program directory) is never opened nor deleted as one; the row still goes.
TEST_F(OpenStoreTest, ForeignDatabaseFilesAreNeverOpenedOrDeleted)
{
    TempHome elsewhere; // a sibling folder under /tmp
    WriteFileBytes(elsewhere.File("victim.db"), "not ours");
    wxSetEnv("CORVANE_HOME", m_home.Dir());
    wxMkdir(m_home.File("sub"));
    WriteFileBytes(m_home.File("sub/x.db"), "not ours");
    const wxString outside = "../" + wxFileName(elsewhere.Dir()).GetFullName() + "/victim.db";
    for (const wxString& file : std::vector<wxString>{"Corvane.db", "CORVANE.db", "corvane.db-journal",
                                                      "sub/x.db", "..", outside, ""})
    {
        SiteRecord site = MakeSite("foreign");
        site.DatabaseFile = file;
        ASSERT_EQ(m_config.InsertSite(site), 1);
        m_prompts.Clear();
        DbAccess db;
        EXPECT_EQ(OpenSiteDatabase(db, site), -1) << file;
        EXPECT_FALSE(db.IsOpen());
        EXPECT_EQ(m_prompts.Texts(),
                  std::vector<wxString>{"The database file [" + file + "] of site [foreign] is not a "
                                        "file of its own in the program directory: it is not "
                                        "opened, and the site's alarm rule and history are not used!"});
        EXPECT_EQ(m_config.DeleteSite(site, true), 1) << file;
    }
    EXPECT_EQ(ReadFileBytes(elsewhere.File("victim.db")), "not ours");
    EXPECT_EQ(ReadFileBytes(m_home.File("sub/x.db")), "not ours");
    EXPECT_EQ(m_config.LoadSites(), 1) << "Corvane.db is still there";
    EXPECT_FALSE(m_home.Exists("CORVANE.db"));
    DbAccess own;
    EXPECT_EQ(OpenSiteDatabase(own, MakeSite("own")), 1);
    EXPECT_TRUE(m_home.Exists("own.db"));
}

TEST_F(OpenStoreTest, RulesRoundTripWithFlagsInTheirOwnColumns)
{
    // Fields in memory order: ..., SMS, PlaySound, Email; the table has Email first.
    const TuxAlarmRule tux{"tux'site", "SVR'A, 100%", "30", "", "\\5", "TRUE", "TRUE", ""};
    ASSERT_EQ(m_site.SaveTuxRule(tux), 1);
    const WlsAlarmRule wls{"wls site", "AdminServer", "10", "20", "30", "", "TRUE", "", "TRUE"};
    ASSERT_EQ(m_site.SaveWlsRule(wls), 1);
    RawDb raw(SitePath());
    EXPECT_EQ(raw.Value("select PlaySound || '/' || Email from TuxAlarmList"), "TRUE/");
    EXPECT_EQ(raw.Value("select PlaySound || '/' || Email from WlsAlarmList"), "TRUE/");

    DbAccess reader;
    ASSERT_EQ(reader.Open(SitePath(), DbAccess::SiteDb), 1);
    EXPECT_EQ(reader.LoadTuxRule("tux'site"), 1);
    EXPECT_EQ(reader.TuxRule(), tux);
    EXPECT_EQ(reader.LoadWlsRule("wls site"), 1);
    EXPECT_EQ(reader.WlsRule(), wls);
    EXPECT_TRUE(m_prompts.Messages().empty());
}

TEST_F(OpenStoreTest, NoStoredRuleReadsZeroAndKeepsTheCache)
{
    const TuxAlarmRule tux{"a", "X", "", "", "", "", "TRUE", ""};
    ASSERT_EQ(m_site.SaveTuxRule(tux), 1);
    ASSERT_EQ(m_site.LoadTuxRule("a"), 1);
    EXPECT_EQ(m_site.LoadTuxRule("A"), 0) << "names compare case-sensitively";
    EXPECT_EQ(m_site.TuxRule(), tux);
    EXPECT_EQ(m_site.LoadWlsRule("a"), 0);
    EXPECT_EQ(m_site.WlsRule(), WlsAlarmRule{});
}

TEST_F(OpenStoreTest, SavingTwiceLeavesOneRowPerSite)
{
    TuxAlarmRule rule{"s", "one", "", "", "", "", "", ""};
    ASSERT_EQ(m_site.SaveTuxRule(rule), 1);
    rule.SvrDied = "two";
    ASSERT_EQ(m_site.SaveTuxRule(rule), 1);
    ASSERT_EQ(m_site.SaveTuxRule(TuxAlarmRule{"other", "", "", "", "", "", "", ""}), 1);
    EXPECT_EQ(RawDb(SitePath()).Rows("select SiteName, SvrDied from TuxAlarmList order by rowid"),
              (Grid{{"s", "two"}, {"other", ""}}));
}

// An older file without the UNIQUE constraint may hold several rows.
TEST_F(OpenStoreTest, LastMatchingRowWins)
{
    RawDb raw(SitePath());
    raw.Exec("drop table WlsAlarmList");
    raw.Exec("create table WlsAlarmList (SiteName, SvrDied, FreeHeap, IdleThread, IdleJDBC, "
             "SMS, Email, PlaySound, ThreadDump)");
    raw.Exec("insert into WlsAlarmList values ('w', 'first', '', '', '', '', '', '', '')");
    raw.Exec("insert into WlsAlarmList values ('w', 'second', '', '', '', '', '', '', '')");
    EXPECT_EQ(m_site.LoadWlsRule("w"), 2);
    EXPECT_EQ(m_site.WlsRule().SvrDied, "second");
}

// Fault 2: a save is delete + insert; when the insert fails the old row must
// survive, for a rule as for the action settings.
TEST_F(OpenStoreTest, FailedSaveKeepsTheOldRuleAndSettings)
{
    const TuxAlarmRule old{"s", "old", "", "", "", "", "", ""};
    ASSERT_EQ(m_site.SaveTuxRule(old), 1);
    const ActionSettings oldSettings{"/a.wav", "mail", "u", "p", "to", "sms"};
    ASSERT_EQ(m_config.SaveActionSettings(oldSettings), 1);
    RefuseInserts(SitePath(), "TuxAlarmList", "insert refused");
    RefuseInserts(ConfigPath(), "ActionSet", "insert refused");

    EXPECT_EQ(m_site.SaveTuxRule(TuxAlarmRule{"s", "new", "", "", "", "", "", ""}), 0);
    ASSERT_EQ(m_prompts.Messages().size(), 1u);
    EXPECT_TRUE(m_prompts.Messages()[0].text.Contains(SitePath()));
    EXPECT_TRUE(m_prompts.Messages()[0].text.Contains("insert refused"));
    EXPECT_TRUE(m_site.LastError().Contains("insert refused"));
    ASSERT_EQ(m_site.LoadTuxRule("s"), 1);
    EXPECT_EQ(m_site.TuxRule(), old);

    EXPECT_EQ(m_config.SaveActionSettings(ActionSettings{}), 0);
    EXPECT_EQ(m_prompts.Messages().size(), 2u);
    EXPECT_EQ(m_config.LoadActionSettings(), 1);
    EXPECT_EQ(m_config.GetActionSettings(), oldSettings);
}

TEST_F(OpenStoreTest, ActionSettingsKeepOneRowInTheirColumns)
{
    const ActionSettings first{"/snd/a'.wav", "smtp.example:2525", "user", "p%s'w", "a@b", "139"};
    ASSERT_EQ(m_config.SaveActionSettings(first), 1);
    const ActionSettings second{"", "mail", "", "", "ops@example", ""};
    ASSERT_EQ(m_config.SaveActionSettings(second), 1);

    RawDb raw(ConfigPath());
    EXPECT_EQ(raw.Rows("select * from ActionSet"), (Grid{{"", "ops@example", "", "", "mail", ""}}));
    EXPECT_EQ(m_config.LoadActionSettings(), 1);
    EXPECT_EQ(m_config.GetActionSettings(), second);

    raw.Exec("delete from ActionSet");
    EXPECT_EQ(m_config.LoadActionSettings(), 0);
    EXPECT_EQ(m_config.GetActionSettings(), second) << "no row leaves the cache";
}

TEST_F(OpenStoreTest, MissingTablesGiveMinusOneTheirMessageAndAnUntouchedCache)
{
    ASSERT_EQ(m_config.InsertSite(MakeSite("s")), 1);
    ASSERT_EQ(m_config.LoadSites(), 1);
    const TuxAlarmRule tux{"s", "A", "", "", "", "", "", ""};
    const WlsAlarmRule wls{"s", "B", "", "", "", "", "", "", ""};
    ASSERT_EQ(m_site.SaveTuxRule(tux), 1);
    ASSERT_EQ(m_site.SaveWlsRule(wls), 1);
    ASSERT_EQ(m_site.LoadTuxRule("s"), 1);
    ASSERT_EQ(m_site.LoadWlsRule("s"), 1);
    RawDb(ConfigPath()).Exec("drop table SiteList");
    RawDb(SitePath()).Exec("drop table TuxAlarmList");
    RawDb(SitePath()).Exec("drop table WlsAlarmList");

    EXPECT_EQ(m_config.LoadSites(), -1);
    EXPECT_EQ(m_config.Sites(), std::vector<SiteRecord>{MakeSite("s")});
    EXPECT_EQ(m_site.LoadTuxRule("s"), -1);
    EXPECT_EQ(m_site.TuxRule(), tux);
    EXPECT_EQ(m_site.LoadWlsRule("s"), -1);
    EXPECT_EQ(m_site.WlsRule(), wls);
    EXPECT_EQ(m_prompts.Texts(),
              (std::vector<wxString>{"The Halvex.db is incorrect!", "The Corvane.db is incorrect!",
                                     "here The Halvex.db is incorrect!"}));
    for (const MessageRequest& box : m_prompts.Messages())
        EXPECT_EQ(box.style, wxOK | wxCENTRE);
}
