#include "alarm/wls_alarm_dlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>

WlsAlarmDlg::WlsAlarmDlg(wxWindow* parent, wxWindowID id, const wxString& title,
                         const wxPoint& pos, const wxSize& size, long style)
    : wxDialog(parent, id, title, pos, size, style)
{
    RuleLayout layout = BeginRuleLayout(this);
    m_svrDied = AddConditionRow(layout.conditionsBox, layout.grid, "Server unstable or Died.  ", "..");
    m_freeHeap = AddConditionRow(layout.conditionsBox, layout.grid, "JVM FreeHeap low than %", "...");
    m_idleThread = AddConditionRow(layout.conditionsBox, layout.grid, "Idle Thread low than %", "...");
    m_idleJdbc = AddConditionRow(layout.conditionsBox, layout.grid, "Idle JDBC low than %", "");
    m_playSound = AddActionBox(layout, "Play a Sound");
    m_email = AddActionBox(layout, "Email ");
    m_sms = AddActionBox(layout, "SMS");
    m_threadDump = AddActionBox(layout, "ThreadDump!");
    m_lifecycle = AddLifecycleGroup(this);
    EndRuleLayout(this, layout);
    m_actionSetting = layout.actionSetting;
    m_line = layout.line;
    m_buttons = layout.buttons;
    m_ok = layout.ok;
    m_cancel = layout.cancel;

    Bind(wxEVT_INIT_DIALOG, &WlsAlarmDlg::OnInitDialog, this);
    m_ok->Bind(wxEVT_BUTTON, &WlsAlarmDlg::OnOK, this);
}

WlsAlarmDlg::~WlsAlarmDlg()
{
    Unbind(wxEVT_INIT_DIALOG, &WlsAlarmDlg::OnInitDialog, this);
    m_ok->Unbind(wxEVT_BUTTON, &WlsAlarmDlg::OnOK, this);
}
