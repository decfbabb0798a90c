#pragma once

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

// Starts one alarm mail (subject "Bug report", the alarm text as a text/html
// alternative) to MailTo through SMTPSvr (host, or host:port; port 25 when
// none). Skipped when SMTPPwd, SMTPSvr, SMTPUsr or MailTo is empty. The mail
// dialogue runs on the GUI event loop. Always 1.
int SendAlarmMail(const ActionSettings& settings, const wxString& alarmText);
