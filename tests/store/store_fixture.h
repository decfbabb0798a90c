#pragma once

#include "store/db_access.h"
#include "support/prompt_recorder.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>
#include <wx/wxsqlite3.h>

#include <ostream>
#include <vector>

// Readable wxString values in assertion messages.
inline void PrintTo(const wxString& text, std::ostream* os)
{
    *os << '"' << text.utf8_str().data() << '"';
}

using Grid = std::vector<std::vector<wxString>>;

// A second, plain connection to a store file: the tests read what DbAccess
// wrote, and set up what it must cope with, without going through it.
class RawDb
{
public:
    explicit RawDb(const wxString& path) { m_db.Open(path); }
    ~RawDb()
    {
        if (m_db.IsOpen())
            m_db.Close();
    }
    void Exec(const wxString& sql) { m_db.ExecuteUpdate(sql); }
    Grid Rows(const wxString& sql)
    {
        Grid rows;
        wxSQLite3ResultSet set = m_db.ExecuteQuery(sql);
        while (set.NextRow())
        {
            rows.emplace_back();
            for (int i = 0; i < set.GetColumnCount(); ++i)
                rows.back().push_back(set.GetAsString(i));
        }
        return rows;
    }
    wxString Value(const wxString& sql) // first column of the first row
    {
        const Grid rows = Rows(sql);
        return rows.empty() || rows[0].empty() ? wxString() : rows[0][0];
    }

private:
    wxSQLite3Database m_db;
};

// Every store test gets a fresh program directory and records message boxes;
// a test that shortens the busy time-out has it put back.
class StoreTest : public ::testing::Test
{
protected:
    ~StoreTest() override { DbAccess::SetDefaultBusyTimeout(60000); }
    wxString ConfigPath() const { return m_home.File("Corvane.db"); }
    wxString SitePath(const wxString& name = "site.db") const { return m_home.File(name); }

    TempHome m_home;
    PromptRecorder m_prompts;
};

// Both kinds of database open, the notices of their creation cleared.
class OpenStoreTest : public StoreTest
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_config.Open(ConfigPath(), DbAccess::ConfigDb), 1);
        ASSERT_EQ(m_site.Open(SitePath(), DbAccess::SiteDb), 1);
        m_prompts.Clear();
    }
    // A trigger that makes every insert into table fail with message.
    void RefuseInserts(const wxString& path, const wxString& table, const wxString& message)
    {
        RawDb(path).Exec("create trigger refuse before insert on " + table +
                         " begin select raise(abort, '" + message + "'); end");
    }

    DbAccess m_config;
    DbAccess m_site;
};
