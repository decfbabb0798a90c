#pragma once

#include "alarm/wls_alarm_dlg.h"
#include "alarm/alarm_book.h"
#include "store/records.h"

// Edits a copy of a WebLogic site's alarm rule; ends with 1 on OK.
class CorvaneWlsAlarmDlg : public WlsAlarmDlg
{
public:
    explicit CorvaneWlsAlarmDlg(wxWindow* parent);

    void SetRule(const WlsAlarmRule& rule) { m_rule = rule; }
    WlsAlarmRule GetRule() const { return m_rule; }
    void SetLifecycle(const LifecycleSettings& settings) { m_lifecycleSettings = settings; }
    LifecycleSettings GetLifecycle() const { return m_lifecycleSettings; }

protected:
    void OnInitDialog(wxInitDialogEvent& event) override;
    void OnOK(wxCommandEvent& event) override;

private:
    WlsAlarmRule m_rule;
    LifecycleSettings m_lifecycleSettings;
};
