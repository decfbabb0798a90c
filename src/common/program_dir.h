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
