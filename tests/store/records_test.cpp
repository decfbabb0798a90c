#include "store/store_fixture.h"

#include "common/program_dir.h"

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/utils.h>

namespace
{
// Texts that broke statements built by pasting values between quotes.
const wxString kAwkward[] = {
    "O'Brien's site", "100% 'quoted'", "back\\slash\\", "Ünïcødé 监控 ✓", "x'); drop table SiteList; --",
};

SiteRecord MakeSite(const wxString& name, const wxString& port = "8080")
{
    SiteRecord site;
    site.SiteName = name;
    site.SiteType = "WEBLOGIC";
    site.SiteIP = "10.0.0.1";
    site.SitePort = port;
    site.SiteAuth = "weblogic";
    site.SitePwd = "p'w%d\\";
    site.WlsAdminURL = "7001";
    site.WlsVer = "WebLogic V10";
    site.DatabaseFile = name + ".db";
    return site;
}

class ConfigTest : public StoreTest
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_db.Open(ConfigPath(), DbAccess::ConfigDb), 1);
        m_prompts.Clear();
    }
    DbAccess m_db;
};

class SiteDbTest : public StoreTest
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_db.Open(SitePath(), DbAccess::SiteDb), 1);
        m_prompts.Clear();
    }
    DbAccess m_db;
};
} // namespace

TEST_F(ConfigTest, EmptySiteListLoadsAsEmpty)
{
    EXPECT_EQ(m_db.LoadSites(), 1);
    EXPECT_TRUE(m_db.Sites().empty());
}

TEST_F(ConfigTest, SitesRoundTripAwkwardTexts)
{
    std::vector<SiteRecord> written;
    for (const wxString& text : kAwkward)
    {
        SiteRecord site = MakeSite(text);
        site.SiteIP = text;
        site.SiteAuth = text;
        site.SitePwd = text;
        site.SiteFlag = text;
        ASSERT_EQ(m_db.InsertSite(site), 1) << text;
        written.push_back(site);
    }
    ASSERT_EQ(m_db.LoadSites(), 1);
    EXPECT_EQ(m_db.Sites(), written);
    EXPECT_TRUE(m_prompts.Messages().empty());
}

TEST_F(ConfigTest, PortIsStoredAsTheNumberOfItsLeadingDigits)
{
    const struct
    {
        const char* typed;
        const char* stored;
    } cases[] = {
        {"8080", "8080"}, {"80a", "80"}, {"abc", "0"}, {"", "0"}, {" 7001", "7001"},
    };
    for (const auto& c : cases)
    {
        SiteRecord site = MakeSite(wxString("port ") + c.typed, c.typed);
        ASSERT_EQ(m_db.InsertSite(site), 1);
        RawDb raw(ConfigPath());
        const auto rows = raw.Rows("select SitePort, typeof(SitePort) from SiteList where "
                                   "SiteName = '" + site.SiteName + "'");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0], c.stored) << c.typed;
        EXPECT_EQ(rows[0][1], "integer") << c.typed;
    }
    ASSERT_EQ(m_db.LoadSites(), 1);
    EXPECT_EQ(m_db.Sites()[1].SitePort, "80");
}

TEST_F(ConfigTest, DuplicateSiteNameIsRefusedWithOneMessage)
{
    ASSERT_EQ(m_db.InsertSite(MakeSite("dup")), 1);
    EXPECT_EQ(m_db.InsertSite(MakeSite("dup")), 0);
    ASSERT_EQ(m_prompts.Messages().size(), 1u);
    EXPECT_NE(m_prompts.Messages()[0].text.Find(ConfigPath()), wxNOT_FOUND);
    EXPECT_NE(m_prompts.Messages()[0].text.Find("UNIQUE"), wxNOT_FOUND);
}

TEST_F(ConfigTest, DeleteRemovesTheDatabaseFileOnlyWhenAsked)
{
    const SiteRecord keep = MakeSite("keep"), drop = MakeSite("drop"), other = MakeSite("other");
    for (const SiteRecord& s : {keep, drop, other})
    {
        ASSERT_EQ(m_db.InsertSite(s), 1);
        WriteFileBytes(ProgramFile(s.DatabaseFile), "history");
    }

    EXPECT_EQ(m_db.DeleteSite(keep, false), 1);
    EXPECT_TRUE(m_home.Exists("keep.db"));

    EXPECT_EQ(m_db.DeleteSite(drop, true), 1);
    EXPECT_FALSE(m_home.Exists("drop.db"));
    EXPECT_TRUE(m_home.Exists("other.db"));
    EXPECT_TRUE(m_home.Exists("Corvane.db"));

    // Nothing left to delete, no file: not an error.
    EXPECT_EQ(m_db.DeleteSite(drop, true), 0);
    ASSERT_EQ(m_db.LoadSites(), 1);
    ASSERT_EQ(m_db.Sites().size(), 1u);
    EXPECT_EQ(m_db.Sites()[0].SiteName, "other");
    EXPECT_TRUE(m_prompts.Messages().empty());
}

TEST_F(ConfigTest, ModificationKeepsTheSiteDatabase)
{
    SiteRecord site = MakeSite("edit");
    ASSERT_EQ(m_db.InsertSite(site), 1);
    WriteFileBytes(ProgramFile(site.DatabaseFile), "history");
    ASSERT_EQ(m_db.DeleteSite(site, false), 1);
    site.SiteIP = "10.0.0.2";
    ASSERT_EQ(m_db.InsertSite(site), 1);
    EXPECT_TRUE(m_home.Exists("edit.db"));
    ASSERT_EQ(m_db.LoadSites(), 1);
    EXPECT_EQ(m_db.Sites(), std::vector<SiteRecord>{site});
}

// A DatabaseFile reaching out of the program directory must not delete
// anything outside it.
TEST_F(ConfigTest, DeleteNeverRemovesFilesOutsideTheProgramDirectory)
{
    TempHome elsewhere; // a sibling folder under /tmp
    const wxString victim = elsewhere.File("victim.db");
    WriteFileBytes(victim, "not ours");
    wxSetEnv("CORVANE_HOME", m_home.Dir());

    SiteRecord site = MakeSite("evil");
    site.DatabaseFile = "../" + wxFileName(elsewhere.Dir()).GetFullName() + "/victim.db";
    ASSERT_EQ(m_db.InsertSite(site), 1);
    EXPECT_EQ(m_db.DeleteSite(site, true), 1);
    EXPECT_TRUE(wxFileExists(victim));
}

TEST_F(SiteDbTest, RulesRoundTripWithFlagsInTheirOwnColumns)
{
    // Fields in memory order: ..., SMS, PlaySound, Email.
    const TuxAlarmRule tux{"tux'site", "SVR'A, 100%", "30", "", "\\5", "TRUE", "TRUE", ""};
    ASSERT_EQ(m_db.SaveTuxRule(tux), 1);
    const WlsAlarmRule wls{"wls site", "AdminServer", "10", "20", "30", "", "TRUE", "", "TRUE"};
    ASSERT_EQ(m_db.SaveWlsRule(wls), 1);

    RawDb raw(SitePath());
    EXPECT_EQ(raw.Value("select PlaySound from TuxAlarmList"), "TRUE");
    EXPECT_EQ(raw.Value("select Email from TuxAlarmList"), "");
    EXPECT_EQ(raw.Value("select PlaySound || '/' || Email from WlsAlarmList"), "TRUE/");

    DbAccess reader;
    ASSERT_EQ(reader.Open(SitePath(), DbAccess::SiteDb), 1);
    EXPECT_EQ(reader.LoadTuxRule("tux'site"), 1);
    EXPECT_EQ(reader.TuxRule(), tux);
    EXPECT_EQ(reader.LoadWlsRule("wls site"), 1);
    EXPECT_EQ(reader.WlsRule(), wls);
    EXPECT_TRUE(m_prompts.Messages().empty());
}

TEST_F(SiteDbTest, NoStoredRuleReadsZeroAndKeepsTheCache)
{
    const TuxAlarmRule tux{"a", "X", "", "", "", "", "TRUE", ""};
    ASSERT_EQ(m_db.SaveTuxRule(tux), 1);
    ASSERT_EQ(m_db.LoadTuxRule("a"), 1);
    EXPECT_EQ(m_db.LoadTuxRule("A"), 0) << "names compare case-sensitively";
    EXPECT_EQ(m_db.TuxRule(), tux);
    EXPECT_EQ(m_db.LoadWlsRule("a"), 0);
    EXPECT_EQ(m_db.WlsRule(), WlsAlarmRule{});
}

TEST_F(SiteDbTest, SavingTwiceLeavesOneRowPerSite)
{
    TuxAlarmRule rule{"s", "one", "", "", "", "", "", ""};
    ASSERT_EQ(m_db.SaveTuxRule(rule), 1);
    rule.SvrDied = "two";
    ASSERT_EQ(m_db.SaveTuxRule(rule), 1);
    ASSERT_EQ(m_db.SaveTuxRule(TuxAlarmRule{"other", "", "", "", "", "", "", ""}), 1);
    RawDb raw(SitePath());
    EXPECT_EQ(raw.Value("select count(*) from TuxAlarmList where SiteName = 's'"), "1");
    EXPECT_EQ(raw.Value("select SvrDied from TuxAlarmList where SiteName = 's'"), "two");
}

TEST_F(SiteDbTest, LastMatchingRowWins)
{
    // An older file without the UNIQUE constraint may hold several rows.
    RawDb raw(SitePath());
    raw.Exec("drop table WlsAlarmList");
    raw.Exec("create table WlsAlarmList (SiteName, SvrDied, FreeHeap, IdleThread, IdleJDBC, "
             "SMS, Email, PlaySound, ThreadDump)");
    raw.Exec("insert into WlsAlarmList values ('w', 'first', '', '', '', '', '', '', '')");
    raw.Exec("insert into WlsAlarmList values ('w', 'second', '', '', '', '', '', '', '')");
    EXPECT_EQ(m_db.LoadWlsRule("w"), 2);
    EXPECT_EQ(m_db.WlsRule().SvrDied, "second");
}

// A save is delete + insert: when the insert fails the old rule must survive.
TEST_F(SiteDbTest, FailedSaveKeepsTheOldRule)
{
    const TuxAlarmRule old{"s", "old", "", "", "", "", "", ""};
    ASSERT_EQ(m_db.SaveTuxRule(old), 1);
    {
        RawDb raw(SitePath());
        raw.Exec("create trigger refuse before insert on TuxAlarmList "
                 "begin select raise(abort, 'insert refused'); end");
    }
    EXPECT_EQ(m_db.SaveTuxRule(TuxAlarmRule{"s", "new", "", "", "", "", "", ""}), 0);
    ASSERT_EQ(m_prompts.Messages().size(), 1u);
    EXPECT_NE(m_prompts.Messages()[0].text.Find(SitePath()), wxNOT_FOUND);
    EXPECT_NE(m_prompts.Messages()[0].text.Find("insert refused"), wxNOT_FOUND);
    EXPECT_NE(m_db.LastError().Find("insert refused"), wxNOT_FOUND);

    ASSERT_EQ(m_db.LoadTuxRule("s"), 1);
    EXPECT_EQ(m_db.TuxRule(), old);
}

TEST_F(ConfigTest, FailedActionSaveKeepsTheOldSettings)
{
    const ActionSettings old{"/a.wav", "mail", "u", "p", "to", "sms"};
    ASSERT_EQ(m_db.SaveActionSettings(old), 1);
    {
        RawDb raw(ConfigPath());
        raw.Exec("create trigger refuse before insert on ActionSet "
                 "begin select raise(abort, 'insert refused'); end");
    }
    EXPECT_EQ(m_db.SaveActionSettings(ActionSettings{}), 0);
    EXPECT_EQ(m_prompts.Messages().size(), 1u);
    EXPECT_EQ(m_db.LoadActionSettings(), 1);
    EXPECT_EQ(m_db.GetActionSettings(), old);
}

TEST_F(ConfigTest, ActionSettingsKeepOneRowInTheirColumns)
{
    const ActionSettings first{"/snd/a'.wav", "smtp.example:2525", "user", "p%s'w", "a@b", "139"};
    ASSERT_EQ(m_db.SaveActionSettings(first), 1);
    const ActionSettings second{"", "mail", "", "", "ops@example", ""};
    ASSERT_EQ(m_db.SaveActionSettings(second), 1);

    RawDb raw(ConfigPath());
    EXPECT_EQ(raw.Rows("select * from ActionSet"),
              (std::vector<std::vector<wxString>>{{"", "ops@example", "", "", "mail", ""}}));
    EXPECT_EQ(m_db.LoadActionSettings(), 1);
    EXPECT_EQ(m_db.GetActionSettings(), second);

    raw.Exec("delete from ActionSet");
    EXPECT_EQ(m_db.LoadActionSettings(), 0);
    EXPECT_EQ(m_db.GetActionSettings(), second) << "no row leaves the cache";
}

TEST_F(StoreTest, LoaderCopiesActionSettingsOnlyWhenARowExists)
{
    ActionSettings settings{"keep", "", "", "", "", ""};
    EXPECT_EQ(LoadActionSettingsInto(settings), 1);
    EXPECT_EQ(settings.SoundFile, "keep");
    EXPECT_EQ(m_prompts.Messages().size(), 1u) << "the missing Corvane.db is announced";
    EXPECT_TRUE(m_home.Exists("Corvane.db"));

    const ActionSettings stored{"/a.wav", "mail", "u", "p", "to", "sms"};
    {
        DbAccess db;
        ASSERT_EQ(db.Open(ConfigDbPath(), DbAccess::ConfigDb), 1);
        ASSERT_EQ(db.SaveActionSettings(stored), 1);
    }
    EXPECT_EQ(LoadActionSettingsInto(settings), 1);
    EXPECT_EQ(settings, stored);
    EXPECT_EQ(m_prompts.Messages().size(), 1u);
}

TEST_F(StoreTest, MissingTablesGiveMinusOneTheirMessageAndAnUntouchedCache)
{
    DbAccess config, site;
    ASSERT_EQ(config.Open(ConfigPath(), DbAccess::ConfigDb), 1);
    ASSERT_EQ(site.Open(SitePath(), DbAccess::SiteDb), 1);
    ASSERT_EQ(config.InsertSite(MakeSite("s")), 1);
    ASSERT_EQ(config.LoadSites(), 1);
    const TuxAlarmRule tux{"s", "A", "", "", "", "", "", ""};
    const WlsAlarmRule wls{"s", "B", "", "", "", "", "", "", ""};
    ASSERT_EQ(site.SaveTuxRule(tux), 1);
    ASSERT_EQ(site.SaveWlsRule(wls), 1);
    ASSERT_EQ(site.LoadTuxRule("s"), 1);
    ASSERT_EQ(site.LoadWlsRule("s"), 1);
    {
        RawDb rawConfig(ConfigPath()), rawSite(SitePath());
        rawConfig.Exec("drop table SiteList");
        rawSite.Exec("drop table TuxAlarmList");
        rawSite.Exec("drop table WlsAlarmList");
    }
    m_prompts.Clear();

    EXPECT_EQ(config.LoadSites(), -1);
    EXPECT_EQ(config.Sites(), std::vector<SiteRecord>{MakeSite("s")});
    EXPECT_EQ(site.LoadTuxRule("s"), -1);
    EXPECT_EQ(site.TuxRule(), tux);
    EXPECT_EQ(site.LoadWlsRule("s"), -1);
    EXPECT_EQ(site.WlsRule(), wls);
    EXPECT_EQ(m_prompts.Texts(),
              (std::vector<wxString>{"The Halvex.db is incorrect!", "The Corvane.db is incorrect!",
                                     "here The Halvex.db is incorrect!"}));
    for (const MessageRequest& box : m_prompts.Messages())
        EXPECT_EQ(box.style, wxOK | wxCENTRE);
}
