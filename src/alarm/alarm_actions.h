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

// Alarm mails still in their dialogue (GUI thread). Each mail's client and
// message are released once the dialogue has ended: delivered, given up, or
// retries stopped.
size_t PendingAlarmMailCount();

// Drops every alarm mail still in its dialogue or waiting for a retry; the
// application calls it from OnExit (GUI thread).
void DropPendingAlarmMails();
