#pragma once

// A short-lived connection of its own to the configuration database, for the
// settings kept in tables of their own beside ActionSet and SiteList.

#include <wx/string.h>
#include <wx/wxsqlite3.h>

namespace config_connection
{
// The GUI thread waits at most this long for a file another connection holds.
inline constexpr int kBusyTimeoutMs = 5000;

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
} // namespace config_connection
