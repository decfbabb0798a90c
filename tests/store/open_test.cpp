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

// Compares a file's tables (in creation order), their columns from
// PRAGMA table_info, their UNIQUE columns, and the bracketed column names of
// the creation statements with the expected layout.
void ExpectSchema(const wxString& path, const std::vector<Table>& expected)
{
    RawDb raw(path);
    const Grid tables = raw.Rows("select name from sqlite_master where type = 'table' order by rowid");
    ASSERT_EQ(tables.size(), expected.size());
    EXPECT_EQ(raw.Value("select count(*) from sqlite_master where type <> 'table' and "
                        "name not like 'sqlite_autoindex_%'"),
              "0")
        << "no indexes, views or triggers of our own";
    for (size_t t = 0; t < expected.size(); ++t)
    {
        const wxString table = expected[t].name;
        SCOPED_TRACE(table);
        EXPECT_EQ(tables[t][0], table);
        const Grid info = raw.Rows("PRAGMA table_info(" + table + ")");
        const wxArrayString columns = wxSplit(expected[t].columns, ',');
        ASSERT_EQ(info.size(), columns.size());
        const wxString sql = raw.Value("select sql from sqlite_master where name = '" + table + "'");
        std::vector<wxString> unique;
        for (size_t c = 0; c < info.size(); ++c)
        {
            wxString column = columns[c];
            column.Trim(false);
            const bool isUnique = column.EndsWith("*", &column);
            const bool notNull = column.EndsWith("!", &column);
            const wxString name = column.BeforeFirst(' '), type = column.AfterFirst(' ');
            EXPECT_EQ(info[c][1], name);
            // table_info spells the standard names in capitals ("INT").
            EXPECT_TRUE(info[c][2].IsSameAs(type, false)) << info[c][2] << " " << name;
            EXPECT_EQ(info[c][3], notNull ? "1" : "0") << name;
            EXPECT_EQ(info[c][5], "0") << name << " is no primary key";
            const wxString declared = "[" + name + "] " + type + (notNull ? " NOT NULL" : "") +
                                      (isUnique ? " UNIQUE" : "");
            EXPECT_NE(sql.Find(declared), wxNOT_FOUND) << declared << " in " << sql;
            if (isUnique)
                unique.push_back(name);
        }
        std::vector<wxString> indexed;
        for (const auto& index : raw.Rows("PRAGMA index_list(" + table + ")"))
            if (index[2] == "1")
                indexed.push_back(raw.Value("select name from pragma_index_info('" + index[1] + "')"));
        EXPECT_EQ(indexed, unique);
    }
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

// New files hold clear-text passwords: only their owner may read them.
TEST_F(StoreTest, NewDatabasesGetExactlyTheirTablesAndAreOwnerOnly)
{
    ASSERT_EQ(ConfigDbPath(), ConfigPath());
    DbAccess config, site, other;
    ASSERT_EQ(config.Open(ConfigDbPath(), DbAccess::ConfigDb), 1);
    EXPECT_TRUE(config.IsOpen());
    EXPECT_EQ(config.Path(), ConfigPath());
    ExpectSchema(ConfigPath(), kConfigTables);
    ASSERT_EQ(site.Open(SitePath(), DbAccess::SiteDb), 1);
    ExpectSchema(SitePath(), kSiteTables);
    EXPECT_EQ(FileMode(ConfigPath()), 0600u);
    EXPECT_EQ(FileMode(SitePath()), 0600u);
    // An unknown kind creates the file and no tables.
    ASSERT_EQ(other.Open(SitePath("other.db"), 7), 1);
    EXPECT_EQ(RawDb(SitePath("other.db")).Value("select count(*) from sqlite_master"), "0");
}

TEST_F(StoreTest, CreationMessageNamesTheFullPathOnce)
{
    {
        DbAccess db;
        ASSERT_EQ(db.Open(SitePath("Alpha.db"), DbAccess::SiteDb), 1);
    }
    ASSERT_EQ(m_prompts.Messages().size(), 1u);
    const MessageRequest& box = m_prompts.Messages()[0];
    EXPECT_EQ(box.text, "Can't find database [" + SitePath("Alpha.db") + "]!, will create a new one!");
    EXPECT_EQ(box.caption, "Message");
    EXPECT_EQ(box.style, wxOK | wxCENTRE);
    EXPECT_EQ(box.parent, nullptr);

    // The file exists from now on: reopening asks nothing.
    DbAccess again;
    ASSERT_EQ(again.Open(SitePath("Alpha.db"), DbAccess::SiteDb), 1);
    EXPECT_EQ(m_prompts.Messages().size(), 1u);
}

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
        const MessageHandler before = SetMessageHandler(
            [&](const MessageRequest&)
            {
                duringNotice = home.Exists(c.file) ? ReadFileBytes(path) : "missing";
                return wxOK;
            });
        DbAccess db;
        const int opened = db.Open(path, c.kind);
        SetMessageHandler(before);
        ASSERT_EQ(opened, 1);
        EXPECT_EQ(duringNotice, c.emptyBefore ? "" : "missing");
        ExpectSchema(path, c.tables);
        EXPECT_EQ(FileMode(path), 0600u);
        wxArrayString files;
        wxDir::GetAllFiles(home.Dir(), &files);
        EXPECT_EQ(files.size(), 1u) << "no temporary file left";
    }
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
