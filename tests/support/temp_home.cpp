#include "support/temp_home.h"

#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

TempHome::TempHome()
{
    char pattern[] = "/tmp/corvane-test-XXXXXX";
    const char* dir = mkdtemp(pattern);
    m_dir = dir ? wxString(dir) : wxString("/tmp");
    m_hadPrevious = wxGetEnv("CORVANE_HOME", &m_previous);
    wxSetEnv("CORVANE_HOME", m_dir);
}

TempHome::~TempHome()
{
    if (m_hadPrevious)
        wxSetEnv("CORVANE_HOME", m_previous);
    else
        wxUnsetEnv("CORVANE_HOME");
    if (m_dir.StartsWith("/tmp/corvane-test-"))
        wxFileName::Rmdir(m_dir, wxPATH_RMDIR_RECURSIVE);
}

wxString TempHome::File(const wxString& name) const
{
    return m_dir + "/" + name;
}

bool TempHome::Exists(const wxString& name) const
{
    return wxFileExists(File(name));
}

std::string ReadFileBytes(const wxString& path)
{
    std::ifstream in(path.utf8_str().data(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const wxString& path, const std::string& bytes)
{
    std::ofstream out(path.utf8_str().data(), std::ios::binary | std::ios::trunc);
    out << bytes;
}
