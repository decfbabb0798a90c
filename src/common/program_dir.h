#pragma once

#include <wx/string.h>

// The program directory holds Corvane.db, the site databases, resources/ and
// help.html: the folder of the running executable, unless CORVANE_HOME names
// another one (the demo and the tests use that).
wxString ProgramDir();

// ProgramDir() joined with a file name by the platform's separator.
wxString ProgramFile(const wxString& name);

// Full path of the configuration database.
wxString ConfigDbPath();

// Whether a site's DatabaseFile names a file of its own in the program
// directory: a plain file name (no path separator, not "." or "..") that is
// not the configuration database nor one of SQLite's files beside it, in any
// letter case. Only such a file is opened or deleted as a site database.
bool IsSiteDatabaseFile(const wxString& name);
