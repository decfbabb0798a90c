#include "store/mail_settings.h"

#include <wx/filename.h>
#include <wx/wxsqlite3.h>

namespace
{
const char* const kCreateMailSet =
    "CREATE TABLE IF NOT EXISTS MailSet ([Sender] varchar, [AllowPlainLogin] varchar, "
    "[CAFile] varchar);";
const char* const kSelectMailSet = "select Sender, AllowPlainLogin, CAFile from MailSet;";
const char* const kDeleteMailSet = "delete from MailSet;";
const char* const kInsertMailSet =
    "insert into MailSet(Sender, AllowPlainLogin, CAFile) values (?, ?, ?);";

// The GUI thread waits at most this long for a file another connection holds.
constexpr int kBusyTimeoutMs = 5000;

// Runs work on a fresh connection to an existing file; false with SQLite's
// message (naming the file) on failure.
template <typename Fn> bool WithDatabase(const wxString& path, wxString* error, Fn&& work)
{
    try
    {
        wxSQLite3Database db;
        db.Open(path, wxEmptyString, WXSQLITE_OPEN_READWRITE);
        db.SetBusyTimeout(kBusyTimeoutMs);
        work(db);
        db.Close();
        return true;
    }
    catch (const wxSQLite3Exception& e)
    {
        if (error)
            *error = wxString::Format("Database [%s]: %s", path, e.GetMessage());
        return false;
    }
}
} // namespace

bool LoadMailOptions(const wxString& configPath, MailOptions& options, wxString* error)
{
    if (!wxFileName::FileExists(configPath))
        return true; // nothing stored yet: the defaults
    return WithDatabase(configPath, error,
                        [&](wxSQLite3Database& db)
                        {
                            if (!db.TableExists("MailSet"))
                            {
                                // Made on first sight; a read-only file still reads.
                                try
                                {
                                    db.ExecuteUpdate(kCreateMailSet);
                                }
                                catch (const wxSQLite3Exception&)
                                {
                                }
                                return;
                            }
                            wxSQLite3ResultSet rows = db.ExecuteQuery(kSelectMailSet);
                            while (rows.NextRow()) // the last row wins
                            {
                                options.Sender = rows.GetAsString(0);
                                options.AllowPlainLogin = rows.GetAsString(1);
                                options.CAFile = rows.GetAsString(2);
                            }
                        });
}

bool SaveMailOptions(const wxString& configPath, const MailOptions& options, wxString* error)
{
    return WithDatabase(configPath, error,
                        [&](wxSQLite3Database& db)
                        {
                            db.ExecuteUpdate(kCreateMailSet);
                            wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
                            db.ExecuteUpdate(kDeleteMailSet);
                            wxSQLite3Statement insert = db.PrepareStatement(kInsertMailSet);
                            insert.Bind(1, options.Sender);
                            insert.Bind(2, options.AllowPlainLogin);
                            insert.Bind(3, options.CAFile);
                            insert.ExecuteUpdate();
                            transaction.Commit();
                        });
}
