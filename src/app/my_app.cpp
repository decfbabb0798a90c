#include "app/my_app.h"

#include "app/halvex_frame.h"
#include "alarm/alarm_actions.h"
#include "app/images.h"
#include "common/prompt_gui.h"

#include <wx/image.h>
#include <wx/splash.h>
#include <wx/utils.h>

bool MyApp::OnInit()
{
    InstallGuiPrompts();

    auto* frame = new HalvexFrame(nullptr, wxID_ANY, "Corvane", wxDefaultPosition, wxSize(800, 600),
                                  wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL);
    frame->SetIcon(AppIcon());
    SetTopWindow(frame);
    RegisterImageHandlers();

    new wxSplashScreen(SplashBitmap(), wxSPLASH_CENTRE_ON_SCREEN | wxSPLASH_TIMEOUT, 2000, nullptr,
                       wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSIMPLE_BORDER | wxSTAY_ON_TOP);
    // Let the splash paint, then hold it: the loop does not run during the
    // sleep, and the splash closes as soon as it runs again.
    wxYield();
    wxSleep(3);

    frame->Show(true);
    return true;
}

int MyApp::OnExit()
{
    // Alarm mails still waiting for a retry are dropped with the program.
    DropPendingAlarmMails();
    return wxApp::OnExit();
}
