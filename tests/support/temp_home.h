#pragma once

#include <wx/string.h>

// A fresh program directory for one test: a temporary folder named by
// CORVANE_HOME while the object lives, removed with everything in it after.
class TempHome
{
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const wxString& Dir() const { return m_dir; }
    wxString File(const wxString& name) const; // Dir() + "/" + name
    bool Exists(const wxString& name) const;

private:
    wxString m_dir;
    wxString m_previous;
    bool m_hadPrevious = false;
};

// Reads a whole file as bytes ("" when missing).
std::string ReadFileBytes(const wxString& path);
void WriteFileBytes(const wxString& path, const std::string& bytes);
