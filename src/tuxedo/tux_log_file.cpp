#include "tuxedo/tux_log_file.h"

#include <wx/log.h>

#include <cstdio>
#include <unistd.h>

namespace
{
struct SharedLog
{
    std::FILE* file = nullptr;
    wxLog* target = nullptr;
    wxLog* before = nullptr;
    wxString timestampBefore;
    int users = 0;
};

SharedLog& Shared()
{
    static SharedLog shared;
    return shared;
}
} // namespace

TuxLogFile::TuxLogFile()
{
    SharedLog& s = Shared();
    ++s.users;
    if (!s.file) // the first panel, or none could open the file yet
    {
        s.file = std::fopen(FileName(), "w+");
        if (s.file)
        {
            s.target = new wxLogStderr(s.file);
            s.before = wxLog::SetActiveTarget(s.target);
            s.timestampBefore = wxLog::GetTimestamp();
        }
    }
    else if (s.file)
    {
        // A new panel empties the file, as opening it anew with "w+" would.
        std::fflush(s.file);
        if (::ftruncate(fileno(s.file), 0) == 0)
            std::rewind(s.file);
        if (wxLog::GetActiveTarget() != s.target)
            wxLog::SetActiveTarget(s.target); // whoever replaced it keeps theirs
    }
    wxLog::SetTimestamp("[%d/%m/%y %H:%M:%S] ");
}

TuxLogFile::~TuxLogFile()
{
    SharedLog& s = Shared();
    if (--s.users > 0)
        return;
    if (!s.file)
    {
        s = SharedLog();
        return;
    }
    if (wxLog::GetActiveTarget() == s.target)
    {
        wxLog::FlushActive();
        wxLog::SetActiveTarget(s.before);
        wxLog::SetTimestamp(s.timestampBefore);
        delete s.target;
        std::fclose(s.file);
    }
    // Otherwise someone else made another target active and may hand ours back
    // later: it stays alive, writing into its still open file.
    s = SharedLog();
}
