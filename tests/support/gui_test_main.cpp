// Entry point of the GUI test binaries: a real wxApp with an active event
// loop, run in-process under Xvfb. Message boxes go through the prompt seam;
// a test that does not expect one fails (see PromptRecorder).
#include "support/prompt_recorder.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/log.h>

namespace
{
class TestApp : public wxApp
{
public:
    bool OnInit() override
    {
        wxInitAllImageHandlers();
        return true;
    }
};
} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new TestApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp || !wxTheApp->CallOnInit())
    {
        fprintf(stderr, "GUI could not be initialised (is DISPLAY set? run under xvfb-run)\n");
        return 2;
    }
    wxLog::SetActiveTarget(new wxLogStderr);
    InstallUnexpectedPromptGuard();
    int rc;
    {
        wxEventLoop loop;
        wxEventLoopActivator activate(&loop);
        rc = RUN_ALL_TESTS();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
