// Opening store files: the tables a new file gets, the notices, and every way
// an open or a later statement can fail.
#include "store/store_fixture.h"

#include "common/program_dir.h"

#include <wx/dir.h>
#include <wx/filefn.h>

#include <sys/stat.h>

#include <functional>

namespace
{
// Columns in order as "Name type"; "!" after the type marks NOT NULL, "*" the
// one UNIQUE column of the table.
struct Table
{
    const char* name;
    const char* columns;
};

const std::vector<Table> kConfigTables = {
    {"SiteList", "SiteName varchar*, SiteType varchar, SiteIP varchar, SitePort int, "
                 "SiteAuth varchar, SitePwd varchar, WlsAdminURL varchar, WlsVer varchar, "
                 "SiteFlag varchar, DatabaseFile varchar"},
    {"ActionSet", "SMSTo varchar, MailTo varchar, SMTPPwd varchar, SMTPUsr varchar, "
                  "SMTPSvr varchar, SoundFile varchar"},
};

// In order of creation.
const std::vector<Table> kSiteTables = {
    {"TuxAlarmList", "SiteName varchar*, SvrDied varchar, LongBusy varchar, NoTran varchar, "
                     "Queued varchar, SMS varchar, Email varchar, PlaySound varchar"},
    {"WlsAlarmList", "SiteName varchar*, SvrDied varchar, FreeHeap varchar, IdleThread varchar, "
                     "IdleJDBC varchar, SMS varchar, Email varchar, PlaySound varchar, "
                     "ThreadDump varchar"},
    {"QueueList", "ProgName varchar, Queued int, SvrCnt int, IPCSID varchar, RecTime datetime"},
    {"ClientList", "ConnTime varchar, ClientStatus varchar, ClientAddr varchar, ClientPID varchar, "
                   "ClientName varchar, RecTime datetime"},
    {"ServerList", "ProgName varchar!, MemoryUse varchar, CurrentSVC varchar, SvrMIN int, "
                   "SvrMAX int, RqDone varchar, ProcessID varchar, QueueName varchar, "
                   "RecTime datetime"},
    {"WlsSvrlist", "ServerName varchar!, URL varchar, Port int, Health varchar, State varchar, "
                   "RecTime datetime"},
    {"wlsjvmlist", "ServerName varchar!, JVMVendor varchar, JVMVersion varchar, FreeHeap varchar, "
                   "CurrentHeap varchar, HeapSizeMax varchar, FreePercent varchar, RecTime datetime"},
    {"wlsthdlist", "ServerName varchar!, TotalCount int, IdleCount int, Throughput int, "
                   "QueueLength int, RecTime datetime"},
    {"wlsjdbclist", "ServerName varchar!, JDBCName varchar, ActiveCurrent int, ActiveHigh int, "
                    "CurrCapacity int, LeakCount int, State varchar, RecTime datetime"},
};

// Compares a file's tables, in creation order, with the expected layout as
// PRAGMA table_info and the UNIQUE indexes describe them, and checks that the
// creation statements declare every column with its name in brackets.
void ExpectSchema(const wxString& path, const std::vector<Table>& expected)
{
    RawDb raw(path);
    EXPECT_EQ(raw.Value("select count(*) from sqlite_master where type <> 'table' and "
                        "name not like 'sqlite_autoindex_%' and name not like '%_RecTime'"),
              "0")
        << "no indexes, views or triggers of our own but the history range indexes";
    std::vector<std::string> want, got;
    for (const Table& t : expected)
        want.push_back(std::string(t.name) + ": " + t.columns);
    for (const auto& table : raw.Rows("select name, sql from sqlite_master where type = 'table' "
                                      "order by rowid"))
    {
        wxArrayString unique;
        for (const auto& index : raw.Rows("PRAGMA index_list(" + table[0] + ")"))
            if (index[2] == "1")
                unique.Add(raw.Value("select name from pragma_index_info('" + index[1] + "')"));
        wxString columns;
        for (const auto& c : raw.Rows("PRAGMA table_info(" + table[0] + ")"))
        {
            // table_info spells the standard names in capitals ("INT").
            const bool notNull = c[3] == "1", isUnique = unique.Index(c[1]) != wxNOT_FOUND;
            const wxString declared = "[" + c[1] + "] " + c[2].Lower() + (notNull ? " NOT NULL" : "") +
                                      (isUnique ? " UNIQUE" : "");
            EXPECT_NE(table[1].Find(declared), wxNOT_FOUND) << declared << " in " << table[1];
            columns += (columns.empty() ? "" : ", ") + c[1] + " " + c[2].Lower() + (notNull ? "!" : "") +
                       (isUnique ? "*" : "") + (c[5] == "0" ? "" : " primary key");
        }
        got.push_back(table[0].utf8_string() + ": " + columns.utf8_string());
    }
    EXPECT_EQ(got, want);
}

mode_t FileMode(const wxString& path)
{
    struct stat st{};
    stat(path.fn_str(), &st);
    return st.st_mode & 0777;
}

// After a failed open, or on a closed object, every operation fails without
// a further box.
void ExpectQuietFailures(DbAccess& db)
{
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(db.LoadSites(), -1);
    EXPECT_EQ(db.InsertSite(SiteRecord{}), 0);
    EXPECT_EQ(db.DeleteSite(SiteRecord{}, false), -1);
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

// A new file gets exactly the tables of its kind after one notice naming its
// full path, and only its owner may read it (it holds clear-text passwords).
// Regression: a crash while a new file was made left a 0-byte file that
// every later open took for a database without tables. A new file appears
// under its name only whole, and an empty one is made anew.
TEST_F(StoreTest, NewFilesAppearWholeAndEmptyOnesAreMadeAnew)
{
    struct Case
    {
        wxString file;
        int kind;
        const std::vector<Table>& tables;
        bool emptyBefore;
    };
    for (const Case& c : {Case{"Corvane.db", DbAccess::ConfigDb, kConfigTables, false},
                          Case{"Corvane.db", DbAccess::ConfigDb, kConfigTables, true},
                          Case{"site.db", DbAccess::SiteDb, kSiteTables, false},
                          Case{"site.db", DbAccess::SiteDb, kSiteTables, true}})
    {
        SCOPED_TRACE(c.file + (c.emptyBefore ? " empty" : " missing"));
        TempHome home;
        const wxString path = home.File(c.file);
        if (c.emptyBefore)
            WriteFileBytes(path, "");
        // What a crash during the creation notice would leave.
        std::string duringNotice = "unset";
        std::vector<MessageRequest> notices;
        const MessageHandler before = SetMessageHandler(
            [&](const MessageRequest& request)
            {
                duringNotice = home.Exists(c.file) ? ReadFileBytes(path) : "missing";
                notices.push_back(request);
                return wxOK;
            });
        DbAccess db, again;
        EXPECT_EQ(db.Open(path, c.kind), 1);
        EXPECT_EQ(again.Open(path, c.kind), 1) << "the file exists from now on";
        SetMessageHandler(before);
        EXPECT_EQ(db.Path(), path);
        EXPECT_EQ(duringNotice, c.emptyBefore ? "" : "missing");
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].text, "Can't find database [" + path + "]!, will create a new one!");
        EXPECT_EQ(notices[0].caption, "Message");
        EXPECT_EQ(notices[0].style, wxOK | wxCENTRE);
        EXPECT_EQ(notices[0].parent, nullptr);
        ExpectSchema(path, c.tables);
        EXPECT_EQ(FileMode(path), 0600u);
        wxArrayString files;
        wxDir::GetAllFiles(home.Dir(), &files);
        EXPECT_EQ(files.size(), 1u) << "no temporary file left";
    }
    EXPECT_EQ(ConfigDbPath(), ConfigPath());
}

TEST_F(StoreTest, ExistingFileIsUsedUnchanged)
{
    RawDb(SitePath("legacy.db")).Exec("create table Other (x)");
    DbAccess db;
    ASSERT_EQ(db.Open(SitePath("legacy.db"), DbAccess::SiteDb), 1);
    EXPECT_TRUE(m_prompts.Messages().empty());
    EXPECT_EQ(RawDb(SitePath("legacy.db")).Value("select group_concat(name) from sqlite_master"),
              "Other");
}

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

TEST_F(StoreTest, NeverOpenedOrClosedAccessObjectFailsQuietly)
{
    DbAccess never;
    EXPECT_EQ(never.Path(), "");
    ExpectQuietFailures(never);

    DbAccess closed;
    ASSERT_EQ(closed.Open(SitePath(), DbAccess::SiteDb), 1);
    EXPECT_EQ(closed.Close(), 1);
    m_prompts.Clear();
    ExpectQuietFailures(closed);
    EXPECT_TRUE(m_prompts.Messages().empty());
    EXPECT_EQ(closed.Open(SitePath(), DbAccess::SiteDb), 1) << "reopening works";
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
    const wxString text = m_prompts.Messages()[0].text;
    EXPECT_TRUE(text.Contains(ConfigPath()) && text.Contains("locked")) << text;

    EXPECT_FALSE(site.RecordTuxScan({TuxQueueRec{}}, {}, {}, "t"));
    EXPECT_TRUE(site.LastError().Contains("locked")) << site.LastError();
    EXPECT_EQ(m_prompts.Messages().size(), 1u) << "history shows no box";

    lockConfig.Exec("commit");
    lockSite.Exec("commit");
    EXPECT_EQ(config.InsertSite(s), 1);
    EXPECT_TRUE(site.RecordTuxScan({TuxQueueRec{}}, {}, {}, "t"));
    EXPECT_EQ(m_prompts.Messages().size(), 1u);
}
