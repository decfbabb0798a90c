#pragma once

#include <wx/string.h>

#include <vector>

// Records of the configuration and site databases. Every field is text in
// memory; records travel by value between the store, the dialogs and the panels.

// One row of SiteList, fields in column order.
struct SiteRecord
{
    wxString SiteName;
    wxString SiteType; // "TUXEDO" or "WEBLOGIC"
    wxString SiteIP;
    wxString SitePort;
    wxString SiteAuth;    // WebLogic console user
    wxString SitePwd;     // WebLogic console password, clear text
    wxString WlsAdminURL; // WebLogic console port
    wxString WlsVer;      // "WebLogic V8", "WebLogic V9", "WebLogic V10" or empty
    wxString SiteFlag;    // reserved, stored empty
    wxString DatabaseFile;

    bool operator==(const SiteRecord& o) const
    {
        return SiteName == o.SiteName && SiteType == o.SiteType && SiteIP == o.SiteIP &&
               SitePort == o.SitePort && SiteAuth == o.SiteAuth && SitePwd == o.SitePwd &&
               WlsAdminURL == o.WlsAdminURL && WlsVer == o.WlsVer && SiteFlag == o.SiteFlag &&
               DatabaseFile == o.DatabaseFile;
    }
};

// Condition fields hold the operator's text (server names or a threshold) or
// are empty (off); action flags are on only when exactly "TRUE".
struct TuxAlarmRule
{
    wxString SiteName;
    wxString SvrDied;
    wxString LongBusy;
    wxString NoTran;
    wxString Queued;
    wxString SMS;
    wxString PlaySound;
    wxString Email;

    bool operator==(const TuxAlarmRule& o) const
    {
        return SiteName == o.SiteName && SvrDied == o.SvrDied && LongBusy == o.LongBusy &&
               NoTran == o.NoTran && Queued == o.Queued && SMS == o.SMS &&
               PlaySound == o.PlaySound && Email == o.Email;
    }
};

struct WlsAlarmRule
{
    wxString SiteName;
    wxString SvrDied;
    wxString FreeHeap;
    wxString IdleThread;
    wxString IdleJDBC;
    wxString SMS;
    wxString PlaySound;
    wxString Email;
    wxString ThreadDump;

    bool operator==(const WlsAlarmRule& o) const
    {
        return SiteName == o.SiteName && SvrDied == o.SvrDied && FreeHeap == o.FreeHeap &&
               IdleThread == o.IdleThread && IdleJDBC == o.IdleJDBC && SMS == o.SMS &&
               PlaySound == o.PlaySound && Email == o.Email && ThreadDump == o.ThreadDump;
    }
};

// Mail settings that came after ActionSet was laid out; they live in a table
// of their own (MailSet, store/mail_settings.h). Empty fields keep the
// behaviour from before they existed.
struct MailOptions
{
    wxString Sender;          // From address; empty: the built-in sender
    wxString AllowPlainLogin; // "TRUE": log in even over an unencrypted connection
    wxString CAFile;          // PEM file of further CA certificates to trust

    bool operator==(const MailOptions& o) const
    {
        return Sender == o.Sender && AllowPlainLogin == o.AllowPlainLogin && CAFile == o.CAFile;
    }
};

// The one row of ActionSet, shared by all sites, with the mail options kept
// beside it.
struct ActionSettings
{
    wxString SoundFile;
    wxString SMTPSvr; // host, or host:port
    wxString SMTPUsr;
    wxString SMTPPwd;
    wxString MailTo;
    wxString SMSTo;
    MailOptions Mail{}; // not part of ActionSet

    bool operator==(const ActionSettings& o) const
    {
        return SoundFile == o.SoundFile && SMTPSvr == o.SMTPSvr && SMTPUsr == o.SMTPUsr &&
               SMTPPwd == o.SMTPPwd && MailTo == o.MailTo && SMSTo == o.SMSTo && Mail == o.Mail;
    }
};

// A flag of a rule is on only when it holds exactly "TRUE".
inline bool FlagOn(const wxString& flag)
{
    return flag == "TRUE";
}
