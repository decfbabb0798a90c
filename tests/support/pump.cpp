#include "support/pump.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/utils.h>

#include <chrono>

namespace
{
void PumpOnce()
{
    // wxAppConsole: the core tests run on wxBase's own application object.
    if (wxAppConsole* app = wxAppConsole::GetInstance())
    {
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
            loop->YieldFor(wxEVT_CATEGORY_ALL);
        else
            app->ProcessPendingEvents();
    }
}
} // namespace

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > end)
            return done();
        PumpOnce();
        wxMilliSleep(2);
    }
    return true;
}

void PumpFor(int milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}
