#include "store/store_fixture.h"

#include "common/program_dir.h"

#include <sys/stat.h>

namespace
{
struct Column
{
    const char* name;
    const char* type;
    bool notNull;
};

struct Table
{
    const char* name;
    const char* uniqueColumn; // nullptr when the table has none
    std::vector<Column> columns;
};

const std::vector<Table> kConfigTables = {
    {"SiteList",
     "SiteName",
     {{"SiteName", "varchar", false},
      {"SiteType", "varchar", false},
      {"SiteIP", "varchar", false},
      {"SitePort", "int", false},
      {"SiteAuth", "varchar", false},
      {"SitePwd", "varchar", false},
      {"WlsAdminURL", "varchar", false},
      {"WlsVer", "varchar", false},
      {"SiteFlag", "varchar", false},
      {"DatabaseFile", "varchar", false}}},
    {"ActionSet",
     nullptr,
     {{"SMSTo", "varchar", false},
      {"MailTo", "varchar", false},
      {"SMTPPwd", "varchar", false},
      {"SMTPUsr", "varchar", false},
      {"SMTPSvr", "varchar", false},
      {"SoundFile", "varchar", false}}},
};

// In order of creation.
const std::vector<Table> kSiteTables = {
    {"TuxAlarmList",
     "SiteName",
     {{"SiteName", "varchar", false},
      {"SvrDied", "varchar", false},
      {"LongBusy", "varchar", false},
      {"NoTran", "varchar", false},
      {"Queued", "varchar", false},
      {"SMS", "varchar", false},
      {"Email", "varchar", false},
      {"PlaySound", "varchar", false}}},
    {"WlsAlarmList",
     "SiteName",
     {{"SiteName", "varchar", false},
      {"SvrDied", "varchar", false},
      {"FreeHeap", "varchar", false},
      {"IdleThread", "varchar", false},
      {"IdleJDBC", "varchar", false},
      {"SMS", "varchar", false},
      {"Email", "varchar", false},
      {"PlaySound", "varchar", false},
      {"ThreadDump", "varchar", false}}},
    {"QueueList",
     nullptr,
     {{"ProgName", "varchar", false},
      {"Queued", "int", false},
      {"SvrCnt", "int", false},
      {"IPCSID", "varchar", false},
      {"RecTime", "datetime", false}}},
    {"ClientList",
     nullptr,
     {{"ConnTime", "varchar", false},
      {"ClientStatus", "varchar", false},
      {"ClientAddr", "varchar", false},
      {"ClientPID", "varchar", false},
      {"ClientName", "varchar", false},
      {"RecTime", "datetime", false}}},
    {"ServerList",
     nullptr,
     {{"ProgName", "varchar", true},
      {"MemoryUse", "varchar", false},
      {"CurrentSVC", "varchar", false},
      {"SvrMIN", "int", false},
      {"SvrMAX", "int", false},
      {"RqDone", "varchar", false},
      {"ProcessID", "varchar", false},
      {"QueueName", "varchar", false},
      {"RecTime", "datetime", false}}},
    {"WlsSvrlist",
     nullptr,
     {{"ServerName", "varchar", true},
      {"URL", "varchar", false},
      {"Port", "int", false},
      {"Health", "varchar", false},
      {"State", "varchar", false},
      {"RecTime", "datetime", false}}},
    {"wlsjvmlist",
     nullptr,
     {{"ServerName", "varchar", true},
      {"JVMVendor", "varchar", false},
      {"JVMVersion", "varchar", false},
      {"FreeHeap", "varchar", false},
      {"CurrentHeap", "varchar", false},
      {"HeapSizeMax", "varchar", false},
      {"FreePercent", "varchar", false},
      {"RecTime", "datetime", false}}},
    {"wlsthdlist",
     nullptr,
     {{"ServerName", "varchar", true},
      {"TotalCount", "int", false},
      {"IdleCount", "int", false},
      {"Throughput", "int", false},
      {"QueueLength", "int", false},
      {"RecTime", "datetime", false}}},
    {"wlsjdbclist",
     nullptr,
     {{"ServerName", "varchar", true},
      {"JDBCName", "varchar", false},
      {"ActiveCurrent", "int", false},
      {"ActiveHigh", "int", false},
      {"CurrCapacity", "int", false},
      {"LeakCount", "int", false},
      {"State", "varchar", false},
      {"RecTime", "datetime", false}}},
};

// Compares a file's tables (in creation order), their columns from
// PRAGMA table_info, their UNIQUE columns, and the bracketed column names of
// the creation statements with the expected layout.
void ExpectSchema(const wxString& path, const std::vector<Table>& expected)
{
    RawDb raw(path);
    std::vector<wxString> tables;
    for (const auto& row : raw.Rows("select name from sqlite_master where type = 'table' "
                                    "order by rowid"))
        tables.push_back(row[0]);
    ASSERT_EQ(tables.size(), expected.size());
    EXPECT_EQ(raw.Value("select count(*) from sqlite_master where type <> 'table' and "
                        "name not like 'sqlite_autoindex_%'"),
              "0")
        << "no indexes, views or triggers of our own";

    for (size_t t = 0; t < expected.size(); ++t)
    {
        const Table& table = expected[t];
        SCOPED_TRACE(table.name);
        EXPECT_EQ(tables[t], table.name);
        const auto info = raw.Rows(wxString::Format("PRAGMA table_info(%s)", table.name));
        ASSERT_EQ(info.size(), table.columns.size());
        const wxString sql =
            raw.Value(wxString::Format("select sql from sqlite_master where name = '%s'", table.name));
        for (size_t c = 0; c < info.size(); ++c)
        {
            const Column& col = table.columns[c];
            EXPECT_EQ(info[c][1], col.name);
            // table_info spells the standard names in capitals ("INT").
            EXPECT_TRUE(info[c][2].IsSameAs(col.type, false)) << info[c][2] << " " << col.name;
            EXPECT_EQ(info[c][3], col.notNull ? "1" : "0") << col.name;
            EXPECT_EQ(info[c][5], "0") << col.name << " is no primary key";
            wxString declared = wxString::Format("[%s] %s", col.name, col.type);
            if (col.notNull)
                declared += " NOT NULL";
            if (table.uniqueColumn && wxString(col.name) == table.uniqueColumn)
                declared += " UNIQUE";
            EXPECT_NE(sql.Find(declared), wxNOT_FOUND) << declared << " in " << sql;
        }

        std::vector<wxString> uniques;
        for (const auto& index : raw.Rows(wxString::Format("PRAGMA index_list(%s)", table.name)))
        {
            if (index[2] == "1")
                uniques.push_back(raw.Value(
                    wxString::Format("select name from pragma_index_info('%s')", index[1])));
        }
        if (table.uniqueColumn)
            EXPECT_EQ(uniques, std::vector<wxString>{table.uniqueColumn});
        else
            EXPECT_TRUE(uniques.empty());
    }
}

mode_t FileMode(const wxString& path)
{
    struct stat st{};
    stat(path.fn_str(), &st);
    return st.st_mode & 0777;
}
} // namespace

TEST_F(StoreTest, NewConfigDatabaseHasOnlySiteListAndActionSet)
{
    ASSERT_EQ(ConfigDbPath(), ConfigPath());
    DbAccess db;
    ASSERT_EQ(db.Open(ConfigDbPath(), DbAccess::ConfigDb), 1);
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(db.Path(), ConfigPath());
    ExpectSchema(ConfigPath(), kConfigTables);
}

TEST_F(StoreTest, NewSiteDatabaseHasTheNineTablesInOrder)
{
    DbAccess db;
    ASSERT_EQ(db.Open(SitePath(), DbAccess::SiteDb), 1);
    ExpectSchema(SitePath(), kSiteTables);
}

TEST_F(StoreTest, UnknownKindCreatesAnEmptyDatabase)
{
    DbAccess db;
    ASSERT_EQ(db.Open(SitePath("other.db"), 7), 1);
    RawDb raw(SitePath("other.db"));
    EXPECT_EQ(raw.Value("select count(*) from sqlite_master"), "0");
}

TEST_F(StoreTest, CreationMessageNamesTheFullPathOnce)
{
    {
        DbAccess db;
        ASSERT_EQ(db.Open(SitePath("Alpha.db"), DbAccess::SiteDb), 1);
    }
    ASSERT_EQ(m_prompts.Messages().size(), 1u);
    const MessageRequest& box = m_prompts.Messages()[0];
    EXPECT_EQ(box.text, "Can't find database [" + SitePath("Alpha.db") +
                            "]!, will create a new one!");
    EXPECT_EQ(box.caption, "Message");
    EXPECT_EQ(box.style, wxOK | wxCENTRE);
    EXPECT_EQ(box.parent, nullptr);

    // The file exists from now on: reopening asks nothing and keeps the data.
    DbAccess again;
    ASSERT_EQ(again.Open(SitePath("Alpha.db"), DbAccess::SiteDb), 1);
    EXPECT_EQ(m_prompts.Messages().size(), 1u);
}

TEST_F(StoreTest, ExistingFileIsUsedUnchanged)
{
    {
        RawDb raw(SitePath("legacy.db"));
        raw.Exec("create table Other (x)");
    }
    DbAccess db;
    ASSERT_EQ(db.Open(SitePath("legacy.db"), DbAccess::SiteDb), 1);
    EXPECT_TRUE(m_prompts.Messages().empty());
    RawDb raw(SitePath("legacy.db"));
    EXPECT_EQ(raw.Value("select group_concat(name) from sqlite_master"), "Other");
}

// New files hold clear-text passwords: only their owner may read them.
TEST_F(StoreTest, NewDatabaseFilesAreOwnerOnly)
{
    DbAccess config, site;
    ASSERT_EQ(config.Open(ConfigPath(), DbAccess::ConfigDb), 1);
    ASSERT_EQ(site.Open(SitePath(), DbAccess::SiteDb), 1);
    EXPECT_EQ(FileMode(ConfigPath()), 0600u);
    EXPECT_EQ(FileMode(SitePath()), 0600u);
}
