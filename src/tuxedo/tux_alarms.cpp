#include "tuxedo/tux_alarms.h"

void FireTuxAlarmActions(const TuxAlarmRule& rule, const ActionSettings& settings,
                         const wxString& alarmText, const TuxAlarmActions& actions)
{
    if (alarmText.empty())
        return;
    if (FlagOn(rule.PlaySound) && actions.playSound)
        actions.playSound(settings.SoundFile);
    if (FlagOn(rule.SMS) && actions.sendSms)
        actions.sendSms(alarmText);
    if (FlagOn(rule.Email) && actions.sendMail)
        actions.sendMail(settings, alarmText);
}
