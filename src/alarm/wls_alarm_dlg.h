#pragma once

#include "alarm/rule_dlg_layout.h"

#include <wx/dialog.h>

class wxStaticLine;
class wxStdDialogButtonSizer;

// Generated layout of the WebLogic alarm rules dialog.
class WlsAlarmDlg : public wxDialog
{
public:
    WlsAlarmDlg(wxWindow* parent, wxWindowID id = wxID_ANY,
                const wxString& title = "Alarm Rules(WebLogic)",
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxSize(451, 297),
                long style = wxDEFAULT_DIALOG_STYLE);
    ~WlsAlarmDlg() override;

protected:
    ConditionRow m_svrDied;    // "Server unstable or Died.  "
    ConditionRow m_freeHeap;   // "JVM FreeHeap low than %"
    ConditionRow m_idleThread; // "Idle Thread low than %"
    ConditionRow m_idleJdbc;   // "Idle JDBC low than %"
    wxCheckBox* m_playSound;
    wxCheckBox* m_email;
    wxCheckBox* m_sms;
    wxCheckBox* m_threadDump;
    wxButton* m_actionSetting;
    LifecycleControls m_lifecycle; // below the designed groups
    wxStaticLine* m_line;
    wxStdDialogButtonSizer* m_buttons;
    wxButton* m_ok;
    wxButton* m_cancel;

    virtual void OnInitDialog(wxInitDialogEvent& event) { event.Skip(); }
    virtual void OnOK(wxCommandEvent& event) { event.Skip(); }
};
