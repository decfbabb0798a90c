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

// A second, plain connection to a store file: the tests read what DbAccess
// wrote, and set up what it must cope with, without going through it.
class RawDb
{
public:
    explicit RawDb(const wxString& path);
    ~RawDb();
    void Exec(const wxString& sql);
    std::vector<std::vector<wxString>> Rows(const wxString& sql);
    wxString Value(const wxString& sql); // first column of the first row
    wxSQLite3Database& Db() { return m_db; }

private:
    wxSQLite3Database m_db;
};

// Every store test gets a fresh program directory and records message boxes.
class StoreTest : public ::testing::Test
{
protected:
    StoreTest();
    ~StoreTest() override;

    wxString ConfigPath() const { return m_home.File("Corvane.db"); }
    wxString SitePath(const wxString& name = "site.db") const { return m_home.File(name); }

    TempHome m_home;
    PromptRecorder m_prompts;
};

// The SQLite header's file change counter: it grows by one per committed
// write transaction (rollback-journal mode).
unsigned FileChangeCounter(const wxString& path);
