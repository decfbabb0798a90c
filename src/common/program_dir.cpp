#include "common/program_dir.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

wxString ProgramDir()
{
    wxString home;
    if (wxGetEnv("CORVANE_HOME", &home) && !home.empty())
    {
        wxFileName dir = wxFileName::DirName(home);
        dir.MakeAbsolute();
        return dir.GetPath();
    }
    return wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath();
}

wxString ProgramFile(const wxString& name)
{
    return ProgramDir() + wxFileName::GetPathSeparator() + name;
}

wxString ConfigDbPath()
{
    return ProgramFile("Corvane.db");
}

bool IsSiteDatabaseFile(const wxString& name)
{
    if (name.empty() || name == "." || name == ".." || name.find(wxUniChar(0)) != wxString::npos ||
        name.find_first_of(wxFileName::GetPathSeparators()) != wxString::npos)
        return false;
    const wxString lower = name.Lower();
    return lower != "corvane.db" && !lower.StartsWith("corvane.db-");
}
