#include "common/ids.h"
#include "store/db_access.h"
#include "support/modal.h"
#include "support/prompt_recorder.h"
#include "support/pump.h"
#include "support/temp_home.h"
#include "support/test_site.h"
#include "tuxedo/halvex_panel.h"
#include "weblogic/dunmere_panel.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

namespace
{
// Ticks the first condition, types text into it and ticks the first action,
// then presses OK (or Cancel).
void EditNextRules(const wxString& text, bool ok)
{
    OnNextModal(
        [=](wxDialog& dialog)
        {
            auto boxes = Descendants<wxCheckBox>(&dialog);
            auto fields = Descendants<wxTextCtrl>(&dialog);
            boxes[0]->SetValue(true);
            fields[0]->ChangeValue(text);
            boxes[4]->SetValue(true); // "Play a Sound"
            if (ok)
                Click(dialog.FindWindow(wxID_OK));
            else
                dialog.EndModal(wxID_CANCEL);
        });
}

void ClickAlarmSet(wxWindow* panel)
{
    Click(panel->FindWindow(CorvaneId::AlarmSet));
}

struct AlarmSetTest : ::testing::Test
{
    TempHome home;
    PromptRecorder prompts;
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "host");
    ~AlarmSetTest() override
    {
        frame->Destroy();
        PumpFor(10);
    }
};
} // namespace

// Saving a Tuxedo rule from its panel is shown end to end; Cancel changes
// neither the panel's rule nor the stored one.
TEST_F(AlarmSetTest, CancelKeepsTheTuxedoRule)
{
    auto* panel = new HalvexPanel(frame);
    panel->SetSite(TestSite("tux1", "TUXEDO"));
    EditNextRules("SVR1", true);
    ClickAlarmSet(panel);
    EditNextRules("OTHER", false);
    ClickAlarmSet(panel);
    EXPECT_EQ(panel->Rule().SvrDied, "SVR1");
    DbAccess db;
    db.Open(home.File("tux1.db"), DbAccess::SiteDb);
    ASSERT_EQ(db.LoadTuxRule("tux1"), 1);
    EXPECT_EQ(db.TuxRule().SvrDied, "SVR1");
}

TEST_F(AlarmSetTest, WebLogicRuleIsSavedUnderTheSiteName)
{
    auto* panel = new DunmerePanel(frame);
    panel->SetSite(TestSite("wls1", "WEBLOGIC"));
    EditNextRules("anything", true); // the died condition is stored, not evaluated
    ClickAlarmSet(panel);
    EXPECT_EQ(panel->Rule().SvrDied, "anything");
    EXPECT_EQ(panel->Rule().SiteName, "wls1");

    DbAccess db;
    db.Open(home.File("wls1.db"), DbAccess::SiteDb);
    ASSERT_EQ(db.LoadWlsRule("wls1"), 1);
    EXPECT_EQ(db.WlsRule(), panel->Rule());
}
