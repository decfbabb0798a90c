#pragma once

#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>

// What every target shares: wxBase set up once, and a log target that formats
// each message (the formatting is code under test too) and drops it, so that
// the thousands of rejected inputs per second do not flood the terminal.
class DroppingLog : public wxLog
{
protected:
    void DoLogTextAtLevel(wxLogLevel, const wxString& text) override { m_last = text; }

private:
    wxString m_last;
};

inline void InitFuzzTarget()
{
    static wxInitializer init;
    if (!init.IsOk())
    {
        std::fprintf(stderr, "wxWidgets could not be initialised\n");
        std::abort();
    }
    delete wxLog::SetActiveTarget(new DroppingLog);
}

// A broken invariant is a finding like a crash: libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do                                                                                             \
    {                                                                                              \
        if (!(condition))                                                                          \
        {                                                                                          \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
