#include "alarm/corvane_wls_alarm_dlg.h"

#include "alarm/corvane_action_dlg.h"

#include <wx/button.h>

CorvaneWlsAlarmDlg::CorvaneWlsAlarmDlg(wxWindow* parent) : WlsAlarmDlg(parent)
{
    // The button reads "Action Setting" here too; an operator expects it to
    // open the action settings, as it does in the Tuxedo dialog.
    m_actionSetting->Bind(wxEVT_BUTTON,
                          [this](wxCommandEvent&)
                          {
                              CorvaneActionDlg dialog(this);
                              dialog.ShowModal();
                          });
}

void CorvaneWlsAlarmDlg::OnInitDialog(wxInitDialogEvent&)
{
    ShowCondition(m_svrDied, m_rule.SvrDied);
    ShowCondition(m_freeHeap, m_rule.FreeHeap);
    ShowCondition(m_idleThread, m_rule.IdleThread);
    ShowCondition(m_idleJdbc, m_rule.IdleJDBC);
    ShowFlag(m_playSound, m_rule.PlaySound);
    ShowFlag(m_email, m_rule.Email);
    ShowFlag(m_sms, m_rule.SMS);
    ShowFlag(m_threadDump, m_rule.ThreadDump);
    ShowLifecycle(m_lifecycle, m_lifecycleSettings);
}

void CorvaneWlsAlarmDlg::OnOK(wxCommandEvent&)
{
    m_rule.SvrDied = ReadCondition(m_svrDied);
    m_rule.FreeHeap = ReadCondition(m_freeHeap);
    m_rule.IdleThread = ReadCondition(m_idleThread);
    m_rule.IdleJDBC = ReadCondition(m_idleJdbc);
    m_rule.PlaySound = ReadFlag(m_playSound);
    m_rule.Email = ReadFlag(m_email);
    m_rule.SMS = ReadFlag(m_sms);
    m_rule.ThreadDump = ReadFlag(m_threadDump);
    m_lifecycleSettings = ReadLifecycle(m_lifecycle);
    EndModal(1);
}
