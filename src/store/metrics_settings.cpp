#include "store/metrics_settings.h"

#include "store/config_connection.h"

#include <wx/filename.h>

namespace
{
using config_connection::WithDatabase;

const char* const kCreateMetricsSet =
    "CREATE TABLE IF NOT EXISTS MetricsSet ([Enabled] varchar, [Address] varchar, [Port] varchar);";
} // namespace

bool LoadMetricsSettings(const wxString& configPath, MetricsSettings& settings, wxString* error)
{
    if (!wxFileName::FileExists(configPath))
        return true;
    return WithDatabase(configPath, error,
                        [&](wxSQLite3Database& db)
                        {
                            if (!db.TableExists("MetricsSet"))
                                return; // made by the first save
                            wxSQLite3ResultSet rows = db.ExecuteQuery("select Enabled, Address, Port from MetricsSet;");
                            while (rows.NextRow()) // the last row wins
                            {
                                settings.Enabled = rows.GetAsString(0);
                                settings.Address = rows.GetAsString(1);
                                settings.Port = rows.GetAsString(2);
                            }
                        });
}

bool SaveMetricsSettings(const wxString& configPath, const MetricsSettings& settings, wxString* error)
{
    return WithDatabase(configPath, error,
                        [&](wxSQLite3Database& db)
                        {
                            db.ExecuteUpdate(kCreateMetricsSet);
                            wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
                            db.ExecuteUpdate("delete from MetricsSet;");
                            wxSQLite3Statement insert =
                                db.PrepareStatement("insert into MetricsSet(Enabled, Address, Port) values (?, ?, ?);");
                            insert.Bind(1, settings.Enabled);
                            insert.Bind(2, settings.Address);
                            insert.Bind(3, settings.Port);
                            insert.ExecuteUpdate();
                            transaction.Commit();
                        });
}
