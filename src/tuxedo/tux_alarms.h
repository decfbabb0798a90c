#pragma once

#include "alarm/scan_alarms.h"
#include "store/records.h"

#include <wx/string.h>

#include <functional>

// The alarm actions of a Tuxedo panel's scans, as the panel's tests and
// tools hand them in (the monitor's AlarmActions with the design's results).
struct TuxAlarmActions
{
    std::function<bool(const wxString& soundFile)> playSound;
    std::function<int(const wxString& alarmText)> sendSms;
    std::function<int(const ActionSettings& settings, const wxString& alarmText)> sendMail;
};

// A Tuxedo scan's alarm text with the rule's flags (on when exactly "TRUE")
// and the settings, as the alarm handler takes them.
ScanAlarms TuxScanAlarms(const TuxAlarmRule& rule, const ActionSettings& settings,
                         const wxString& alarmText);

// The same actions in the monitor's shape.
AlarmActions ToAlarmActions(const TuxAlarmActions& actions);

// Starts the actions whose rule flag is exactly "TRUE", in the order sound,
// SMS, mail; nothing when the alarm text is empty: the designed reaction
// (FireScanAlarms) to TuxScanAlarms. Runs on the scan thread.
void FireTuxAlarmActions(const TuxAlarmRule& rule, const ActionSettings& settings,
                         const wxString& alarmText, const TuxAlarmActions& actions);
