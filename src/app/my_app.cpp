#include "app/my_app.h"

#include "app/halvex_frame.h"
#include "alarm/alarm_actions.h"
#include "app/images.h"
#include "monitor/site_monitor.h"
#include "common/program_dir.h"
#include "common/prompt_gui.h"
#include "history/history_retention.h"

#include <wx/image.h>
#include <wx/log.h>
#include <wx/splash.h>
#include <wx/utils.h>

MyApp::MyApp() = default;
MyApp::~MyApp() = default;

bool MyApp::OnInit()
{
    InstallGuiPrompts();
    // The toolkit's log (a report the readers refuse, from a scan thread) is
    // never a message box: a Tuxedo panel routes it to CorvaneLog.txt while
    // it is open, and it goes to standard error otherwise.
    delete wxLog::SetActiveTarget(new wxLogStderr);

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
    // Its first pass comes well after start-up, which itself reads no database.
    m_purger = std::make_unique<HistoryPurger>(ConfigDbPath(), HistoryPurger::Timing());
    m_purger->Start();
    return true;
}

int MyApp::OnExit()
{
    // Alarm mails still waiting for a retry are dropped with the program;
    // a history write still going on (a scan's rows) is given a moment.
    DropPendingAlarmMails();
    SiteMonitor::WaitForHistoryWrites(5000);
    m_purger.reset(); // a batch under way ends first
    return wxApp::OnExit();
}
