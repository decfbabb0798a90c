#include "store/history_indexes.h"

#include <wx/wxsqlite3.h>

const HistoryTable kHistoryTables[7] = {
    {"ServerList", "ProgName"},    {"QueueList", "ProgName"},   {"ClientList", "ClientStatus"},
    {"WlsSvrlist", "ServerName"},  {"wlsjvmlist", "ServerName"}, {"wlsthdlist", "ServerName"},
    {"wlsjdbclist", "JDBCName"},
};

namespace
{
wxString IndexName(const HistoryTable& t)
{
    return wxString::Format("%s_%s_RecTime", t.table, t.key);
}
} // namespace

bool EnsureHistoryIndexes(wxSQLite3Database& db, wxString* error)
{
    try
    {
        if (HasHistoryIndexes(db))
            return true;
        // One transaction: a file either gains all of them or none.
        wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
        for (const HistoryTable& t : kHistoryTables)
        {
            if (db.TableExists(t.table))
                db.ExecuteUpdate(wxString::Format("CREATE INDEX IF NOT EXISTS [%s] ON [%s] "
                                                  "([%s], [RecTime]);",
                                                  IndexName(t), t.table, t.key));
        }
        transaction.Commit();
        return true;
    }
    catch (const wxSQLite3Exception& e)
    {
        if (error)
            *error = e.GetMessage();
        return false;
    }
}

bool HasHistoryIndexes(wxSQLite3Database& db)
{
    for (const HistoryTable& t : kHistoryTables)
    {
        if (!db.TableExists(t.table))
            continue;
        wxSQLite3Statement s =
            db.PrepareStatement("select count(*) from sqlite_master where type = 'index' and name = ?;");
        s.Bind(1, IndexName(t));
        if (s.ExecuteScalar() == 0)
            return false;
    }
    return true;
}
