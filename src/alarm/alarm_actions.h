#pragma once

#include "alarm/alarm_mail.h"
#include "store/records.h"

#include <wx/string.h>

// The alarm actions of a scan. Each only starts its work and returns at once;
// none reports success or failure. All may be called from a scan thread.

// Plays soundFile (resources/Alert.wav of the program directory when empty)
// once, asynchronously, through the desktop's sound server. A missing file or
// one that is not a WAV plays nothing. Always true.
bool PlayAlarmSound(const wxString& soundFile);

// Sends nothing; always 1.
int SendAlarmSms(const wxString& alarmText);

