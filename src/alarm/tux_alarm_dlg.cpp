#include "alarm/tux_alarm_dlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>

TuxAlarmDlg::TuxAlarmDlg(wxWindow* parent, wxWindowID id, const wxString& title,
                         const wxPoint& pos, const wxSize& size, long style)
    : wxDialog(parent, id, title, pos, size, style)
{
    RuleLayout layout = BeginRuleLayout(this);
    m_svrDied = AddConditionRow(layout.conditionsBox, layout.grid, "Server Died.  ", "..");
    m_noTran = AddConditionRow(layout.conditionsBox, layout.grid, "No Transaction LongTime.", "...");
    m_longBusy = AddConditionRow(layout.conditionsBox, layout.grid, "Busy for Long Time.", "...");
    m_queued = AddConditionRow(layout.conditionsBox, layout.grid, "When One Queued > ", "");
    m_playSound = AddActionBox(layout, "Play a Sound");
    m_email = AddActionBox(layout, "Email ");
    m_sms = AddActionBox(layout, "SMS");
    m_lifecycle = AddLifecycleGroup(this);
    EndRuleLayout(this, layout);
    m_actionSetting = layout.actionSetting;
    m_line = layout.line;
    m_buttons = layout.buttons;
    m_ok = layout.ok;
    m_cancel = layout.cancel;

    Bind(wxEVT_INIT_DIALOG, &TuxAlarmDlg::OnInitDialog, this);
    m_actionSetting->Bind(wxEVT_BUTTON, &TuxAlarmDlg::OnActionSetting, this);
    m_ok->Bind(wxEVT_BUTTON, &TuxAlarmDlg::OnOK, this);
}

TuxAlarmDlg::~TuxAlarmDlg()
{
    Unbind(wxEVT_INIT_DIALOG, &TuxAlarmDlg::OnInitDialog, this);
    m_actionSetting->Unbind(wxEVT_BUTTON, &TuxAlarmDlg::OnActionSetting, this);
    m_ok->Unbind(wxEVT_BUTTON, &TuxAlarmDlg::OnOK, this);
}
