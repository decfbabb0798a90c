#pragma once

#include <wx/string.h>

class wxSQLite3Database;

// The history tables of a site database and the column its charts and the
// retention purge select rows by: the object's name (for clients, their
// status, since a client's name lives only as long as its connection).
struct HistoryTable
{
    const char* table;
    const char* key;
};

extern const HistoryTable kHistoryTables[7];

// Creates the range indexes (key, RecTime) of the history tables the file
// holds, where they are missing. Never touches a table's layout. False, with
// SQLite's message in *error, when the file refused (locked, read-only).
bool EnsureHistoryIndexes(wxSQLite3Database& db, wxString* error = nullptr);

// Whether every history table the file holds has its range index (throws
// wxSQLite3Exception when the file cannot be read).
bool HasHistoryIndexes(wxSQLite3Database& db);
