#include "store/store_fixture.h"

#include <wx/filefn.h>

#include <functional>

namespace
{
// After a failed open every operation fails without a further box.
void ExpectQuietFailures(DbAccess& db)
{
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(db.LoadSites(), -1);
    EXPECT_EQ(db.InsertSite(SiteRecord{}), 0);
    EXPECT_EQ(db.DeleteSite(SiteRecord{}, false), 0);
    EXPECT_EQ(db.LoadTuxRule("s"), -1);
    EXPECT_EQ(db.SaveTuxRule(TuxAlarmRule{}), 0);
    EXPECT_EQ(db.LoadWlsRule("s"), -1);
    EXPECT_EQ(db.SaveWlsRule(WlsAlarmRule{}), 0);
    EXPECT_EQ(db.LoadActionSettings(), 0);
    EXPECT_EQ(db.SaveActionSettings(ActionSettings{}), 0);
    EXPECT_FALSE(db.RecordTuxScan({TuxQueueRec{}}, {}, {}, "t"));
    EXPECT_FALSE(db.RecordWlsScan({WlsServerRec{}}, {}, {}, {}, "t"));
    EXPECT_EQ(db.InsertWlsJdbc({WlsJdbcRec{}}, "t"), 0);
    EXPECT_FALSE(db.LastError().empty());
    EXPECT_EQ(db.Close(), 1);
}
} // namespace

TEST_F(StoreTest, UnopenableFilesGiveOneMessageNamingTheFile)
{
    const struct
    {
        const char* what;
        wxString path;
        std::function<void(const wxString&)> prepare;
    } cases[] = {
        {"a directory where the file should be", SitePath("dir.db"),
         [](const wxString& p) { wxMkdir(p); }},
        {"a file that is not SQLite", SitePath("text.db"),
         [](const wxString& p) { WriteFileBytes(p, std::string(2048, 'x')); }},
        {"a folder that does not exist", SitePath("missing/site.db"), [](const wxString&) {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        c.prepare(c.path);
        m_prompts.Clear();
        DbAccess db;
        EXPECT_EQ(db.Open(c.path, DbAccess::SiteDb), -1);
        ASSERT_EQ(m_prompts.Messages().size(), 1u);
        const MessageRequest& box = m_prompts.Messages()[0];
        EXPECT_NE(box.text.Find("[" + c.path + "]"), wxNOT_FOUND) << box.text;
        EXPECT_EQ(box.caption, "Message");
        EXPECT_EQ(box.text, db.LastError());
        ExpectQuietFailures(db);
        EXPECT_EQ(m_prompts.Messages().size(), 1u);
    }
    EXPECT_EQ(ReadFileBytes(SitePath("text.db")), std::string(2048, 'x')) << "left as it was";
}

TEST_F(StoreTest, NeverOpenedAccessObjectFailsQuietly)
{
    DbAccess db;
    EXPECT_EQ(db.Path(), "");
    ExpectQuietFailures(db);
    EXPECT_TRUE(m_prompts.Messages().empty());
}

TEST_F(StoreTest, ClosedAccessObjectFailsQuietly)
{
    DbAccess db;
    ASSERT_EQ(db.Open(SitePath(), DbAccess::SiteDb), 1);
    EXPECT_EQ(db.Close(), 1);
    m_prompts.Clear();
    ExpectQuietFailures(db);
    EXPECT_TRUE(m_prompts.Messages().empty());
    EXPECT_EQ(db.Open(SitePath(), DbAccess::SiteDb), 1) << "reopening works";
}

// Another connection holding the file past the busy time-out: the work fails
// cleanly and the next attempt succeeds once the lock is gone.
TEST_F(StoreTest, LockedFileFailsAfterTheBusyTimeout)
{
    DbAccess::SetDefaultBusyTimeout(100);
    DbAccess config, site;
    ASSERT_EQ(config.Open(ConfigPath(), DbAccess::ConfigDb), 1);
    ASSERT_EQ(site.Open(SitePath(), DbAccess::SiteDb), 1);
    m_prompts.Clear();

    RawDb lockConfig(ConfigPath()), lockSite(SitePath());
    lockConfig.Exec("begin exclusive");
    lockSite.Exec("begin exclusive");

    SiteRecord s;
    s.SiteName = "s";
    EXPECT_EQ(config.InsertSite(s), 0);
    ASSERT_EQ(m_prompts.Messages().size(), 1u);
    EXPECT_NE(m_prompts.Messages()[0].text.Find(ConfigPath()), wxNOT_FOUND);
    EXPECT_NE(m_prompts.Messages()[0].text.Find("locked"), wxNOT_FOUND)
        << m_prompts.Messages()[0].text;

    EXPECT_FALSE(site.RecordTuxScan({TuxQueueRec{}}, {}, {}, "t"));
    EXPECT_NE(site.LastError().Find("locked"), wxNOT_FOUND) << site.LastError();
    EXPECT_EQ(m_prompts.Messages().size(), 1u) << "history shows no box";

    lockConfig.Exec("commit");
    lockSite.Exec("commit");
    EXPECT_EQ(config.InsertSite(s), 1);
    EXPECT_TRUE(site.RecordTuxScan({TuxQueueRec{}}, {}, {}, "t"));
    EXPECT_EQ(m_prompts.Messages().size(), 1u);
}
