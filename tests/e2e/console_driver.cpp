#include "console_driver.h"

#include "app/halvex_frame.h"
#include "common/ids.h"
#include "support/modal.h"
#include "support/pump.h"

#include <gtest/gtest.h>
#include <wx/aui/floatpane.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/toolbar.h>
#include <wx/wxsqlite3.h>

namespace
{
wxButton* ButtonLabelled(wxWindow* root, const wxString& label)
{
    for (wxButton* b : Descendants<wxButton>(root))
        if (b->GetLabel() == label)
            return b;
    return nullptr;
}

wxCheckBox* CheckBoxLabelled(wxWindow* root, const wxString& label)
{
    for (wxCheckBox* box : Descendants<wxCheckBox>(root))
        if (box->GetLabel() == label)
            return box;
    return nullptr;
}

// As a click on the box does: the new state, then its event.
void Tick(wxCheckBox* box, bool on)
{
    box->SetValue(on);
    wxCommandEvent event(wxEVT_CHECKBOX, box->GetId());
    event.SetEventObject(box);
    event.SetInt(on ? 1 : 0);
    box->ProcessWindowEvent(event);
}

template <typename T> T* Control(wxWindow* panel, int id)
{
    return dynamic_cast<T*>(panel->FindWindow(id));
}
} // namespace

Console::Console() : m_frame(new HalvexFrame(nullptr))
{
    m_frame->Show();
    PumpFor(20);
}

Console::~Console()
{
    if (m_frame)
        m_frame->Destroy();
    PumpUntil([this] { return !m_frame; }, 5000);
}

void Console::Menu(int id)
{
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(m_frame.get());
    m_frame->ProcessWindowEvent(event);
}

void Console::Tool(int id)
{
    wxCommandEvent event(wxEVT_TOOL, id);
    event.SetEventObject(m_frame->GetToolBar());
    m_frame->ProcessWindowEvent(event);
}

void Console::SetActionSettings(const ActionSettings& settings)
{
    bool shown = false;
    OnNextModal(
        [&](wxDialog& dialog)
        {
            shown = dialog.GetTitle() == "Action Setting";
            // The fields are named after the settings they edit.
            auto field = [&](const char* name)
            { return dynamic_cast<wxTextCtrl*>(dialog.FindWindow(name)); };
            const char* const names[] = {"SoundFile", "SMTPSvr", "SMTPUsr", "SMTPPwd", "MailTo",
                                         "SMSTo"};
            for (const char* name : names)
            {
                if (!field(name))
                {
                    ADD_FAILURE() << "the action dialog has no field " << name;
                    dialog.EndModal(wxID_CANCEL);
                    return;
                }
                field(name)->Clear();
            }
            Click(ButtonLabelled(&dialog, "Find..."));
            field("SMTPSvr")->ChangeValue(settings.SMTPSvr);
            field("SMTPUsr")->ChangeValue(settings.SMTPUsr);
            field("SMTPPwd")->ChangeValue(settings.SMTPPwd);
            field("MailTo")->ChangeValue(settings.MailTo);
            field("SMSTo")->ChangeValue(settings.SMSTo);
            Click(dialog.FindWindow(wxID_OK));
        });
    Menu(CorvaneId::AlarmSetting);
    EXPECT_TRUE(shown) << "Settings > Alarm showed no action dialog";
}

wxWindow* Console::OpenFromSiteList(const wxString& siteName, bool viaTool)
{
    wxString paneName;
    OnNextModal(
        [&](wxDialog& dialog)
        {
            const std::vector<wxListCtrl*> lists = Descendants<wxListCtrl>(&dialog);
            const long row = lists.empty() ? -1 : lists[0]->FindItem(-1, siteName);
            if (row < 0)
            {
                ADD_FAILURE() << "the site list does not show " << siteName.utf8_str().data();
                dialog.EndModal(wxID_CANCEL);
                return;
            }
            lists[0]->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
            SiteRecord shown;
            shown.SiteName = siteName;
            shown.SiteType = lists[0]->GetItemText(row, 1);
            shown.SiteIP = lists[0]->GetItemText(row, 2);
            shown.SitePort = lists[0]->GetItemText(row, 3);
            paneName = HalvexFrame::PaneName(shown);
            Click(ButtonLabelled(&dialog, "Connect"));
        });
    if (viaTool)
        Tool(CorvaneId::ToolSite);
    else
        Menu(CorvaneId::Connect);
    return paneName.empty() ? nullptr : PaneWindow(paneName);
}

wxWindow* Console::PaneWindow(const wxString& paneName) const
{
    wxAuiPaneInfo& pane = m_frame->GetAuiManager().GetPane(paneName);
    return pane.IsOk() ? pane.window : nullptr;
}

void Console::CloseFloatingPane(const wxString& paneName)
{
    wxAuiPaneInfo& pane = m_frame->GetAuiManager().GetPane(paneName);
    ASSERT_TRUE(pane.IsOk()) << paneName.utf8_str().data();
    ASSERT_NE(pane.frame, nullptr) << "the pane is not floating";
    pane.frame->Close(); // what its close box does
}

void SetRecording(wxWindow* panel, bool on)
{
    wxCheckBox* box = CheckBoxLabelled(panel, "Record to Database!");
    ASSERT_NE(box, nullptr);
    Tick(box, on);
}

void SetIntervalText(wxWindow* panel, const wxString& seconds)
{
    Control<wxTextCtrl>(panel, CorvaneId::Interval)->SetValue(seconds);
}

void PressStartStop(wxWindow* panel)
{
    Click(panel->FindWindow(CorvaneId::StartStop));
}

wxString StartStopLabel(wxWindow* panel)
{
    return panel->FindWindow(CorvaneId::StartStop)->GetLabel();
}

wxString LogText(wxWindow* panel)
{
    return Control<wxTextCtrl>(panel, CorvaneId::LogArea)->GetValue();
}

wxString SummaryCell(wxWindow* panel, long row)
{
    // The summary is the first list of the panel's left column.
    return Descendants<wxListCtrl>(panel).front()->GetItemText(row, 1);
}

long ListRows(wxWindow* panel, int listId)
{
    return Control<wxListCtrl>(panel, listId)->GetItemCount();
}

void EditAlarmRules(wxWindow* panel, const std::map<wxString, wxString>& conditions,
                    const std::set<wxString>& actions)
{
    size_t conditionsSet = 0;
    size_t actionsSet = 0;
    OnNextModal(
        [&](wxDialog& dialog)
        {
            const std::vector<wxCheckBox*> boxes = Descendants<wxCheckBox>(&dialog);
            const std::vector<wxTextCtrl*> fields = Descendants<wxTextCtrl>(&dialog);
            // One field per condition row (four in either dialog), in the
            // order of their boxes; the action boxes follow, then the
            // lifecycle group's, which stays as it is.
            const size_t conditionRows = 4;
            for (size_t i = 0; i < boxes.size(); ++i)
            {
                const wxString label = boxes[i]->GetLabel();
                if (label.StartsWith("Notify when cleared"))
                    continue;
                if (i < conditionRows)
                {
                    const auto condition = conditions.find(label);
                    const bool on = condition != conditions.end();
                    Tick(boxes[i], on);
                    fields[i]->ChangeValue(on ? condition->second : wxString());
                    conditionsSet += on;
                }
                else
                {
                    const bool on = actions.count(label) > 0;
                    Tick(boxes[i], on);
                    actionsSet += on;
                }
            }
            Click(dialog.FindWindow(wxID_OK));
        });
    Click(panel->FindWindow(CorvaneId::AlarmSet));
    EXPECT_EQ(conditionsSet, conditions.size()) << "a condition label was not found";
    EXPECT_EQ(actionsSet, actions.size()) << "an action label was not found";
}

void TickTimer(const wxTimer& timer)
{
    // Notify() is what the running timer calls: it sends the tick to its owner.
    const_cast<wxTimer&>(timer).Notify();
}

int Occurrences(const wxString& haystack, const wxString& text)
{
    int count = 0;
    for (size_t at = haystack.find(text); at != wxString::npos; at = haystack.find(text, at + 1))
        ++count;
    return count;
}

long long QueryNumber(const wxString& dbPath, const wxString& sql)
{
    try
    {
        wxSQLite3Database db;
        db.Open(dbPath);
        const long long value = db.ExecuteScalar(sql);
        db.Close();
        return value;
    }
    catch (const wxSQLite3Exception& e)
    {
        ADD_FAILURE() << sql.utf8_str().data() << ": " << e.GetMessage().utf8_str().data();
        return -1;
    }
}
