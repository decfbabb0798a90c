// Entry point of the core test binaries: wxBase initialised, no display.
#include <gtest/gtest.h>
#include <wx/init.h>
#include <wx/log.h>

#include "support/prompt_recorder.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    wxInitializer init;
    if (!init.IsOk())
    {
        fprintf(stderr, "wxWidgets could not be initialised\n");
        return 2;
    }
    wxLog::SetActiveTarget(new wxLogStderr);
    InstallUnexpectedPromptGuard();
    return RUN_ALL_TESTS();
}
