#include "alarm/rule_dlg_layout.h"

#include "alarm/alarm_book.h"
#include "common/text.h"
#include "common/window_fit.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/dialog.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

ConditionRow AddConditionRow(wxWindow* parent, wxFlexGridSizer* grid, const wxString& label,
                             const wxString& buttonLabel)
{
    ConditionRow row;
    row.check = new wxCheckBox(parent, wxID_ANY, label);
    grid->Add(row.check, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    row.text = new wxTextCtrl(parent, wxID_ANY);
    grid->Add(row.text, 1, wxEXPAND | wxALL, 5);
    if (buttonLabel.empty())
    {
        grid->AddSpacer(0);
    }
    else
    {
        row.button = new wxButton(parent, wxID_ANY, buttonLabel, wxDefaultPosition, wxDefaultSize,
                                  wxBU_EXACTFIT);
        grid->Add(row.button, 0, wxALL, 5);
    }
    return row;
}

void ShowCondition(const ConditionRow& row, const wxString& field)
{
    row.check->SetValue(!field.empty());
    row.text->WriteText(field);
}

wxString ReadCondition(const ConditionRow& row)
{
    return row.check->GetValue() ? row.text->GetValue() : wxString();
}

void ShowFlag(wxCheckBox* box, const wxString& flag)
{
    box->SetValue(!flag.empty());
}

wxString ReadFlag(wxCheckBox* box)
{
    return box->GetValue() ? wxString("TRUE") : wxString();
}

RuleLayout BeginRuleLayout(wxDialog* dialog)
{
    RuleLayout layout;
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* conditions = new wxStaticBoxSizer(
        wxVERTICAL, dialog, "For these happend(in one scan unit). Fill in Server Name in Blank.");
    layout.conditionsBox = conditions->GetStaticBox();
    layout.grid = new wxFlexGridSizer(3, 0, 0);
    layout.grid->AddGrowableCol(1);
    conditions->Add(layout.grid, 1, wxEXPAND);
    top->Add(conditions, 1, wxEXPAND | wxALL, 5);

    auto* actions = new wxStaticBoxSizer(wxHORIZONTAL, dialog, "For these happend, do");
    layout.actionsBox = actions->GetStaticBox();
    layout.actionsRow = actions;
    top->Add(actions, 0, wxEXPAND | wxALL, 5);
    dialog->SetSizer(top);
    return layout;
}

wxCheckBox* AddActionBox(RuleLayout& layout, const wxString& label)
{
    auto* box = new wxCheckBox(layout.actionsBox, wxID_ANY, label);
    layout.actionsRow->Add(box, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    return box;
}

void EndRuleLayout(wxDialog* dialog, RuleLayout& layout)
{
    layout.actionsRow->AddStretchSpacer();
    layout.actionSetting = new wxButton(layout.actionsBox, wxID_ANY, "Action Setting");
    layout.actionsRow->Add(layout.actionSetting, 0, wxALL, 5);

    wxSizer* top = dialog->GetSizer();
    layout.line = new wxStaticLine(dialog, wxID_ANY);
    top->Add(layout.line, 0, wxEXPAND | wxALL, 5);
    layout.buttons = new wxStdDialogButtonSizer();
    layout.ok = new wxButton(dialog, wxID_OK);
    layout.buttons->AddButton(layout.ok);
    layout.cancel = new wxButton(dialog, wxID_CANCEL);
    layout.buttons->AddButton(layout.cancel);
    layout.buttons->Realize();
    top->Add(layout.buttons, 0, wxEXPAND | wxALL, 5);
    GrowToFit(dialog);
}

namespace
{
wxTextCtrl* AddLifecycleRow(wxWindow* parent, wxFlexGridSizer* grid, const wxString& label, const wxString& unit)
{
    grid->Add(new wxStaticText(parent, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    auto* text = new wxTextCtrl(parent, wxID_ANY);
    grid->Add(text, 1, wxEXPAND | wxALL, 5);
    grid->Add(new wxStaticText(parent, wxID_ANY, unit), 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    return text;
}
} // namespace

LifecycleControls AddLifecycleGroup(wxDialog* dialog)
{
    LifecycleControls c;
    auto* group = new wxStaticBoxSizer(wxVERTICAL, dialog, "Alarm lifecycle");
    wxWindow* box = group->GetStaticBox();
    auto* grid = new wxFlexGridSizer(3, 0, 0);
    grid->AddGrowableCol(1);
    c.repeat = AddLifecycleRow(box, grid, "Repeat notice every", "minutes (0 = every scan)");
    c.raiseAfter = AddLifecycleRow(box, grid, "Raise after", "scans in a row");
    c.clearAfter = AddLifecycleRow(box, grid, "Clear after", "scans in a row without it");
    c.command = AddLifecycleRow(box, grid, "Command per event", "absolute path, empty = none");
    group->Add(grid, 0, wxEXPAND);
    c.notifyCleared = new wxCheckBox(box, wxID_ANY, "Notify when cleared (recovered mail)");
    group->Add(c.notifyCleared, 0, wxALL, 5);
    dialog->GetSizer()->Add(group, 0, wxEXPAND | wxALL, 5);
    return c;
}

void ShowLifecycle(const LifecycleControls& c, const LifecycleSettings& s)
{
    c.repeat->ChangeValue(wxString::Format("%d", s.repeatMinutes));
    c.raiseAfter->ChangeValue(wxString::Format("%d", s.raiseAfter));
    c.clearAfter->ChangeValue(wxString::Format("%d", s.clearAfter));
    c.notifyCleared->SetValue(s.notifyCleared);
    c.command->ChangeValue(s.command);
}

LifecycleSettings ReadLifecycle(const LifecycleControls& c)
{
    LifecycleSettings s;
    s.repeatMinutes = std::max(0, AtoiText(c.repeat->GetValue()));
    s.raiseAfter = std::max(1, AtoiText(c.raiseAfter->GetValue()));
    s.clearAfter = std::max(1, AtoiText(c.clearAfter->GetValue()));
    s.notifyCleared = c.notifyCleared->GetValue();
    s.command = c.command->GetValue().Strip(wxString::both);
    return s;
}
