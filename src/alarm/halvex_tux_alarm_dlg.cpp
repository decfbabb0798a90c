#include "alarm/halvex_tux_alarm_dlg.h"

#include "alarm/corvane_action_dlg.h"

void HalvexTuxAlarmDlg::OnInitDialog(wxInitDialogEvent&)
{
    ShowCondition(m_svrDied, m_rule.SvrDied);
    ShowCondition(m_noTran, m_rule.NoTran);
    ShowCondition(m_longBusy, m_rule.LongBusy);
    ShowCondition(m_queued, m_rule.Queued);
    ShowFlag(m_playSound, m_rule.PlaySound);
    ShowFlag(m_email, m_rule.Email);
    ShowFlag(m_sms, m_rule.SMS);
    ShowLifecycle(m_lifecycle, m_lifecycleSettings);
}

void HalvexTuxAlarmDlg::OnActionSetting(wxCommandEvent&)
{
    CorvaneActionDlg dialog(this);
    dialog.ShowModal();
}

void HalvexTuxAlarmDlg::OnOK(wxCommandEvent&)
{
    m_rule.SvrDied = ReadCondition(m_svrDied);
    m_rule.NoTran = ReadCondition(m_noTran);
    m_rule.LongBusy = ReadCondition(m_longBusy);
    m_rule.Queued = ReadCondition(m_queued);
    m_rule.PlaySound = ReadFlag(m_playSound);
    m_rule.Email = ReadFlag(m_email);
    m_rule.SMS = ReadFlag(m_sms);
    m_lifecycleSettings = ReadLifecycle(m_lifecycle);
    EndModal(1);
}
