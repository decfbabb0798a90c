#pragma once

#include "common/ids.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "weblogic/dunmere_panel.h"

#include <gtest/gtest.h>

#include <wx/textctrl.h>

// Drives a DunmerePanel as its operator and its timer would.

// Start with the shortest interval allowed; no message box may appear.
inline void StartPanel(DunmerePanel* panel)
{
    dynamic_cast<wxTextCtrl*>(panel->FindWindow(CorvaneId::Interval))->SetValue("15");
    PromptRecorder none;
    ASSERT_EQ(panel->StartMonitor(), 1);
    EXPECT_TRUE(none.Messages().empty());
}

// What a timer tick does, then waits until the scan's hand-offs are done.
inline void PollPanel(DunmerePanel* panel)
{
    const int ended = panel->ScansEnded();
    ASSERT_TRUE(panel->RunScanNow());
    ASSERT_TRUE(PumpUntil([&] { return panel->ScansEnded() > ended; }));
}

inline wxString PanelLog(DunmerePanel* panel)
{
    return dynamic_cast<wxTextCtrl*>(panel->FindWindow(CorvaneId::LogArea))->GetValue();
}
