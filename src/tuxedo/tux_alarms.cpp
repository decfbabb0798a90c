#include "tuxedo/tux_alarms.h"

ScanAlarms TuxScanAlarms(const TuxAlarmRule& rule, const ActionSettings& settings,
                         const wxString& alarmText)
{
    ScanAlarms alarms;
    alarms.text = alarmText;
    alarms.playSound = FlagOn(rule.PlaySound);
    alarms.sendSms = FlagOn(rule.SMS);
    alarms.sendMail = FlagOn(rule.Email);
    alarms.settings = settings;
    return alarms;
}

AlarmActions ToAlarmActions(const TuxAlarmActions& tux)
{
    AlarmActions actions;
    if (tux.playSound)
        actions.playSound = [play = tux.playSound](const wxString& file) { play(file); };
    if (tux.sendSms)
        actions.sendSms = [send = tux.sendSms](const wxString& text) { send(text); };
    if (tux.sendMail)
        actions.sendMail = [send = tux.sendMail](const ActionSettings& settings, const wxString& text)
        { send(settings, text); };
    return actions;
}

void FireTuxAlarmActions(const TuxAlarmRule& rule, const ActionSettings& settings,
                         const wxString& alarmText, const TuxAlarmActions& actions)
{
    FireScanAlarms(TuxScanAlarms(rule, settings, alarmText), ToAlarmActions(actions));
}
