#pragma once

#include "store/records.h"

#include <wx/string.h>

#include <functional>

// The alarm actions a Tuxedo panel starts after a scan. The panel fills them
// with the alarm-delivery functions; tests put recorders in their place.
struct TuxAlarmActions
{
    std::function<bool(const wxString& soundFile)> playSound;
    std::function<int(const wxString& alarmText)> sendSms;
    std::function<int(const ActionSettings& settings, const wxString& alarmText)> sendMail;
};

// Starts the actions whose rule flag is exactly "TRUE", in the order sound,
// SMS, mail; nothing when the alarm text is empty. Runs on the scan thread.
void FireTuxAlarmActions(const TuxAlarmRule& rule, const ActionSettings& settings,
                         const wxString& alarmText, const TuxAlarmActions& actions);
