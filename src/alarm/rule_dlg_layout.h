#pragma once

#include <wx/string.h>

class wxButton;
class wxCheckBox;
class wxFlexGridSizer;
class wxTextCtrl;
class wxWindow;

// Both alarm rule dialogs lay out their conditions the same way: one grid row
// per condition with a check box, a stretching text field and, except on the
// last row, a small button.
struct ConditionRow
{
    wxCheckBox* check = nullptr;
    wxTextCtrl* text = nullptr;
    wxButton* button = nullptr; // null on the row without one
};

ConditionRow AddConditionRow(wxWindow* parent, wxFlexGridSizer* grid, const wxString& label,
                             const wxString& buttonLabel);

// Tick/field rules shared by the two dialogs: a condition is ticked when its
// field is not empty; an action box when its flag is not empty (any text).
void ShowCondition(const ConditionRow& row, const wxString& field);
wxString ReadCondition(const ConditionRow& row); // the text when ticked, else empty
void ShowFlag(wxCheckBox* box, const wxString& flag);
wxString ReadFlag(wxCheckBox* box); // "TRUE" when ticked, else empty

class wxDialog;
class wxSizer;
class wxStaticLine;
class wxStdDialogButtonSizer;

// The frame both rule dialogs share: the conditions group with its grid, the
// actions group with its row, then the separator and OK / Cancel.
struct RuleLayout
{
    wxWindow* conditionsBox = nullptr;
    wxFlexGridSizer* grid = nullptr;
    wxWindow* actionsBox = nullptr;
    wxSizer* actionsRow = nullptr;
    wxButton* actionSetting = nullptr;
    wxStaticLine* line = nullptr;
    wxStdDialogButtonSizer* buttons = nullptr;
    wxButton* ok = nullptr;
    wxButton* cancel = nullptr;
};

RuleLayout BeginRuleLayout(wxDialog* dialog);
wxCheckBox* AddActionBox(RuleLayout& layout, const wxString& label);
// Adds the "Action Setting" button, the line and the buttons, and lays out.
void EndRuleLayout(wxDialog* dialog, RuleLayout& layout);

// The lifecycle settings under the designed groups of both rule dialogs.
struct LifecycleSettings;
struct LifecycleControls
{
    wxTextCtrl* repeat = nullptr;     // minutes, 0 = every scan
    wxTextCtrl* raiseAfter = nullptr; // scans
    wxTextCtrl* clearAfter = nullptr; // scans
    wxCheckBox* notifyCleared = nullptr;
    wxTextCtrl* command = nullptr;    // absolute path, empty = none
};
// Call between the last AddActionBox and EndRuleLayout.
LifecycleControls AddLifecycleGroup(wxDialog* dialog);
void ShowLifecycle(const LifecycleControls& controls, const LifecycleSettings& settings);
// Numbers as typed (leading digits), kept within their bounds.
LifecycleSettings ReadLifecycle(const LifecycleControls& controls);
