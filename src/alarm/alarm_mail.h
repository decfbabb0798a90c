#pragma once

#include "store/records.h"

#include <wx/string.h>

#include <functional>
#include <string>
#include <vector>

// Mail through Corvane's own SMTP client. Each mail's dialogue runs on the
// GUI event loop; the calls here may come from any thread and return at once.

// What one mail says. The HTML text is escaped before it is sent.
struct MailContent
{
    wxString subject;
    wxString text; // the plain-text body
    wxString html; // the text of the HTML alternative; empty: none
};

// How a mail's dialogue ended.
struct MailOutcome
{
    // The server took the message for these recipients.
    std::vector<std::string> deliveredTo;
    // Refused, or never offered before the dialogue ended.
    std::vector<std::string> notDelivered;
    // Why not (everyone) got it: the server's line, or what failed.
    std::string reason;
};

using MailDone = std::function<void(const MailOutcome&)>;

// One line for the operator: "Delivered to ...", or "Not delivered: " and why.
wxString DescribeOutcome(const MailOutcome& outcome);

// Where SMTPSvr points: "host" or "host:port" (port 25 when none; a suffix
// that is no port number stays part of the host). Port 465 speaks TLS from
// the first byte; every other port starts in the clear and turns to TLS when
// the server offers STARTTLS.
struct MailServer
{
    std::string host;
    unsigned short port = 25;
    bool implicitTls = false;
};
MailServer ParseMailServer(const wxString& smtpSvr);

// The recipients of a Mail To text: split at ";" and ",", blanks trimmed,
// empty entries dropped.
std::vector<wxString> SplitRecipients(const wxString& mailTo);

// Mail To or the sender holds a CR or LF: such settings are never stored by
// the dialog and never sent.
bool HasMailLineBreak(const ActionSettings& settings);
extern const char kMailLineBreakRefused[];

// Why these settings cannot send a mail, or empty when they can: a server,
// user, password or recipient is missing, or Mail To or the sender holds a
// line break (it would smuggle commands into the dialogue).
wxString MailSettingsProblem(const ActionSettings& settings);

// Starts one mail to the recipients of MailTo through SMTPSvr
// (ParseMailServer), logging in with SMTPUsr and SMTPPwd when the server asks for it. With retry
// the mail is tried again for up to six hours as long as the failures are
// temporary; without, one attempt. done runs on the GUI thread once the
// dialogue has ended; it is not called when the settings cannot send
// (MailSettingsProblem) or when the mail is dropped at exit. A mail without
// done that ends undelivered is logged. Always 1.
int SendMail(const ActionSettings& settings, const MailContent& content, bool retry = true,
             MailDone done = {});

// The alarm mail: subject "Bug report", the sample body, the alarm text as
// the HTML alternative. Always 1.
int SendAlarmMail(const ActionSettings& settings, const wxString& alarmText);

// The test mail of the action settings dialog: one attempt; its outcome goes
// to done (GUI thread). Always 1.
int SendTestMail(const ActionSettings& settings, MailDone done);

// Alarm mails still in their dialogue (GUI thread). Each mail's client and
// message are released once the dialogue has ended: delivered, given up, or
// retries stopped.
size_t PendingAlarmMailCount();

// Drops every alarm mail still in its dialogue or waiting for a retry; the
// application calls it from OnExit (GUI thread).
void DropPendingAlarmMails();
