#include "bench.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include <malloc.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>

namespace
{
bool g_failed = false;

// A value in kB of /proc/self/status, in MiB.
double StatusMiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key)
    {
        if (key == field)
        {
            double kib = 0;
            status >> kib;
            return kib / 1024.0;
        }
        std::getline(status, key);
    }
    return 0;
}
} // namespace

std::vector<BenchSection>& BenchSections()
{
    static std::vector<BenchSection> sections;
    return sections;
}

void BenchFailed(const char* figure, const char* unit, const std::string& why)
{
    std::fprintf(stderr, "corvane-bench: %s: %s\n", figure, why.c_str());
    PrintFigure(figure, -1, unit);
    g_failed = true;
}

bool BenchHadFailure()
{
    return g_failed;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double ResidentMiB()
{
    return StatusMiB("VmRSS:");
}

double PeakResidentMiB()
{
    return StatusMiB("VmHWM:");
}

double HeapInUseKiB()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / 1024.0;
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > end)
            return done();
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
            loop->YieldFor(wxEVT_CATEGORY_ALL);
        else if (wxTheApp)
            wxTheApp->ProcessPendingEvents();
        // Short naps: a mail's dialogue is a handful of loopback round trips.
        wxMicroSleep(200);
    }
    return true;
}

ScratchHome::ScratchHome()
{
    char pattern[] = "/tmp/corvane-bench-XXXXXX";
    m_dir = mkdtemp(pattern);
    m_cwd = wxGetCwd();
    wxSetEnv("CORVANE_HOME", m_dir);
    wxSetWorkingDirectory(m_dir);
    m_previous = SetMessageHandler(
        [](const MessageRequest& request)
        {
            // New site databases are announced; anything else is worth seeing.
            if (!request.text.StartsWith("Can't find database"))
                std::fprintf(stderr, "corvane-bench: [%s] %s\n", request.caption.utf8_str().data(),
                             request.text.utf8_str().data());
            return (request.style & wxYES_NO) ? wxYES : wxOK;
        });
}

ScratchHome::~ScratchHome()
{
    SetMessageHandler(m_previous);
    wxSetWorkingDirectory(m_cwd);
    wxUnsetEnv("CORVANE_HOME");
    wxFileName::Rmdir(m_dir, wxPATH_RMDIR_RECURSIVE);
}
