#pragma once

#include "alarm/rule_dlg_layout.h"

#include <wx/dialog.h>

class wxStaticLine;
class wxStdDialogButtonSizer;

// Generated layout of the Tuxedo alarm rules dialog.
class TuxAlarmDlg : public wxDialog
{
public:
    TuxAlarmDlg(wxWindow* parent, wxWindowID id = wxID_ANY,
                const wxString& title = "Alarm Rules(Tuxedo)", const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxSize(451, 297), long style = wxDEFAULT_DIALOG_STYLE);
    ~TuxAlarmDlg() override;

protected:
    ConditionRow m_svrDied;  // "Server Died.  "
    ConditionRow m_noTran;   // "No Transaction LongTime."
    ConditionRow m_longBusy; // "Busy for Long Time."
    ConditionRow m_queued;   // "When One Queued > "
    wxCheckBox* m_playSound;
    wxCheckBox* m_email;
    wxCheckBox* m_sms;
    wxButton* m_actionSetting;
    LifecycleControls m_lifecycle; // below the designed groups
    wxStaticLine* m_line;
    wxStdDialogButtonSizer* m_buttons;
    wxButton* m_ok;
    wxButton* m_cancel;

    virtual void OnInitDialog(wxInitDialogEvent& event) { event.Skip(); }
    virtual void OnActionSetting(wxCommandEvent& event) { event.Skip(); }
    virtual void OnOK(wxCommandEvent& event) { event.Skip(); }
};
