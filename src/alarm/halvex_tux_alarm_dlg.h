#pragma once

#include "alarm/tux_alarm_dlg.h"
#include "alarm/alarm_book.h"
#include "store/records.h"

// Edits a copy of a Tuxedo site's alarm rule; ends with 1 on OK.
class HalvexTuxAlarmDlg : public TuxAlarmDlg
{
public:
    explicit HalvexTuxAlarmDlg(wxWindow* parent) : TuxAlarmDlg(parent) {}

    void SetRule(const TuxAlarmRule& rule) { m_rule = rule; }
    TuxAlarmRule GetRule() const { return m_rule; }
    void SetLifecycle(const LifecycleSettings& settings) { m_lifecycleSettings = settings; }
    LifecycleSettings GetLifecycle() const { return m_lifecycleSettings; }

protected:
    void OnInitDialog(wxInitDialogEvent& event) override;
    void OnActionSetting(wxCommandEvent& event) override;
    void OnOK(wxCommandEvent& event) override;

private:
    TuxAlarmRule m_rule;
    LifecycleSettings m_lifecycleSettings;
};
