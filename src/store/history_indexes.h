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
// holds where they are missing, one table per transaction. Never touches a
// table's layout. False, with SQLite's message in *error, when the file
// refused (locked, read-only).
bool EnsureHistoryIndexes(wxSQLite3Database& db, wxString* error = nullptr);

// Whether every history table the file holds has its range index (throws
// wxSQLite3Exception when the file cannot be read).
bool HasHistoryIndexes(wxSQLite3Database& db);

// For the opening of a site database on the GUI thread: a file of modest
// size gains its missing indexes at once; a large one (building them takes
// seconds per million rows) gains them from a background thread with a
// connection of its own, so the window stays responsive. Never fails: without
// the indexes, charts and purges only read more.
void EnsureHistoryIndexesSoon(wxSQLite3Database& db, const wxString& path);

// Waits for the background indexing of path, if any (tests, and the end of
// the program, which cuts it short: SQLite rolls an unfinished index back).
void WaitForHistoryIndexing(const wxString& path);
