#include "store/mail_settings.h"

#include "store/config_connection.h"

#include <wx/filename.h>

namespace
{
using config_connection::WithDatabase;

const char* const kCreateMailSet =
    "CREATE TABLE IF NOT EXISTS MailSet ([Sender] varchar, [AllowPlainLogin] varchar, "
    "[CAFile] varchar);";
const char* const kSelectMailSet = "select Sender, AllowPlainLogin, CAFile from MailSet;";
const char* const kDeleteMailSet = "delete from MailSet;";
const char* const kInsertMailSet =
    "insert into MailSet(Sender, AllowPlainLogin, CAFile) values (?, ?, ?);";

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
