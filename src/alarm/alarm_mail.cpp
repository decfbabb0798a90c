#include "alarm/alarm_mail.h"

#include "common/text.h"
#include "smtp/mail_message.h"
#include "smtp/smtp_client.h"

#include <wx/app.h>
#include <wx/log.h>
#include <wx/thread.h>

#include <map>
#include <memory>

namespace
{
const char kDefaultSender[] = "corvane-alarm@localhost";
const char kAlarmSubject[] = "Bug report";
const char kAlarmBody[] = "Your code really sucks.\nFix your code";
const char kTestSubject[] = "Corvane test mail";
const char kTestBody[] = "This is a test mail sent from Corvane's action settings.";
constexpr unsigned short kDefaultSmtpPort = 25;
// Submission over TLS from the first byte (RFC 8314); every other port
// starts in the clear and turns to TLS when the server offers STARTTLS.
constexpr unsigned short kImplicitTlsPort = 465;

// Everything one mail needs, as plain bytes: it may cross from a scan thread
// to the GUI thread.
struct MailJob
{
    std::string host;
    unsigned short port = kDefaultSmtpPort;
    bool implicitTls = false;
    std::vector<std::string> to;
    std::string from;
    std::string user;
    std::string password;
    bool allowPlainLogin = false;
    std::string caFile;
    std::string subject;
    std::string text;
    std::string html;
    bool retry = true;
    bool logOutcome = true;
    MailDone done;
};

// Keeps each refusal's line, and ends a mail without retries after its first
// attempt.
class MailListener : public wxSMTPListener
{
public:
    explicit MailListener(bool retry) : m_retry(retry) {}

    void OnRecipientStatus(const std::string& address, MailStatus status) override
    {
        if (status == PermanentFailure && client)
        {
            const auto& reply = client->GetReply();
            refusals.push_back(address + ": " + (reply.empty() ? std::string() : reply.back()));
        }
    }
    void OnMessageStatus(MailStatus, bool& stopRetrying) override
    {
        if (!m_retry)
            stopRetrying = true;
    }

    wxSMTP* client = nullptr;
    std::vector<std::string> refusals;

private:
    bool m_retry;
};

// One mail in its dialogue. The client goes before the listener and the
// message it points at.
struct PendingMail
{
    std::unique_ptr<MailMessage> message;
    std::unique_ptr<MailListener> listener;
    std::unique_ptr<wxSMTP> client;
    MailDone done;
    bool logOutcome = true;
    std::string subject;
};

// GUI thread only.
std::map<unsigned long, PendingMail>& PendingMails()
{
    static std::map<unsigned long, PendingMail> mails;
    return mails;
}

unsigned long g_nextMailId = 0; // GUI thread only

bool HasLineBreak(const wxString& text)
{
    return text.find_first_of("\r\n") != wxString::npos;
}

std::string EscapeHtml(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
    {
        switch (c)
        {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out.push_back(c); break;
        }
    }
    return out;
}

std::string Join(const std::vector<std::string>& parts, const char* separator)
{
    std::string out;
    for (const auto& part : parts)
        out += (out.empty() ? "" : separator) + part;
    return out;
}

MailOutcome OutcomeOf(const PendingMail& mail)
{
    MailOutcome outcome;
    const MailMessage& message = *mail.message;
    outcome.deliveredTo = message.GetRecipients(Delivered);
    for (MailStatus status : {PermanentFailure, TemporaryFailure, Accepted})
    {
        const auto& list = message.GetRecipients(status);
        outcome.notDelivered.insert(outcome.notDelivered.end(), list.begin(), list.end());
    }
    const auto& pending = message.GetPending();
    outcome.notDelivered.insert(outcome.notDelivered.end(), pending.begin(), pending.end());

    std::vector<std::string> reasons = mail.listener->refusals;
    const std::string& failure = mail.client->GetFailureReason();
    if (!failure.empty() && (reasons.empty() || reasons.back().find(failure) == std::string::npos))
        reasons.push_back(failure);
    outcome.reason = Join(reasons, "; ");
    return outcome;
}

void ReleaseMail(unsigned long id)
{
    auto& mails = PendingMails();
    const auto found = mails.find(id);
    if (found == mails.end() || !found->second.client->IsAtRest())
        return;
    const MailOutcome outcome = OutcomeOf(found->second);
    const MailDone done = std::move(found->second.done);
    const bool log = found->second.logOutcome;
    const std::string subject = found->second.subject;
    mails.erase(found);

    if (log && !outcome.notDelivered.empty())
        wxLogWarning("Alarm mail \"%s\" was not delivered to %s: %s", FromUtf8(subject),
                     FromUtf8(Join(outcome.notDelivered, ", ")), FromUtf8(outcome.reason));
    if (done)
        done(outcome);
}

// GUI thread.
void StartMail(MailJob& job)
{
    PendingMail mail;
    mail.listener = std::make_unique<MailListener>(job.retry);
    mail.client = std::make_unique<wxSMTP>(mail.listener.get());
    mail.listener->client = mail.client.get();
    wxSMTP& client = *mail.client;
    client.SetHost(wxString::FromUTF8(job.host), job.port);
    client.SetImplicitTls(job.implicitTls);
    client.SetCaFile(job.caFile);
    client.SetLogin(job.user, job.password, job.allowPlainLogin);

    mail.message = std::make_unique<MailMessage>(job.subject, job.text, job.from);
    if (!job.html.empty())
        mail.message->AddAlternative(EscapeHtml(job.html), "text", "html");
    for (const std::string& address : job.to)
        mail.message->AddTo(address);
    mail.done = std::move(job.done);
    mail.logOutcome = job.logOutcome;
    mail.subject = job.subject;

    const unsigned long id = ++g_nextMailId;
    client.SetRestHandler(
        [id](wxSMTP&)
        {
            // Called from inside the client: release it once it has returned.
            if (wxAppConsole* app = wxAppConsole::GetInstance())
                app->CallAfter([id] { ReleaseMail(id); });
        });

    MailMessage* message = mail.message.get();
    PendingMails()[id] = std::move(mail);
    client.Send(message);
}

enum class SettingsState
{
    Usable,
    Incomplete,
    LineBreak,
};

SettingsState Check(const ActionSettings& settings)
{
    if (settings.SMTPPwd.empty() || settings.SMTPSvr.empty() || settings.SMTPUsr.empty() ||
        SplitRecipients(settings.MailTo).empty())
        return SettingsState::Incomplete;
    if (HasMailLineBreak(settings))
        return SettingsState::LineBreak;
    return SettingsState::Usable;
}
} // namespace

MailServer ParseMailServer(const wxString& server)
{
    MailServer parsed;
    parsed.host = ToUtf8(server);
    const size_t colon = server.rfind(':');
    if (colon != wxString::npos)
    {
        const wxString digits = server.Mid(colon + 1);
        const long value = digits.length() <= 5 &&
                                   digits.find_first_not_of("0123456789") == wxString::npos
                               ? AtoiText(digits)
                               : 0;
        if (value >= 1 && value <= 65535)
        {
            parsed.host = ToUtf8(server.Left(colon));
            parsed.port = static_cast<unsigned short>(value);
        }
    }
    parsed.implicitTls = parsed.port == kImplicitTlsPort;
    return parsed;
}

const char kMailLineBreakRefused[] = "Mail To and Sender may not hold a line break.";

bool HasMailLineBreak(const ActionSettings& settings)
{
    return HasLineBreak(settings.MailTo) || HasLineBreak(settings.Mail.Sender);
}

std::vector<wxString> SplitRecipients(const wxString& mailTo)
{
    std::vector<wxString> recipients;
    wxString rest = mailTo;
    rest.Replace(",", ";");
    for (wxString address : wxSplit(rest, ';', '\0'))
    {
        address.Trim(true).Trim(false);
        if (!address.empty())
            recipients.push_back(address);
    }
    return recipients;
}

wxString DescribeOutcome(const MailOutcome& outcome)
{
    const wxString reason = FromUtf8(outcome.reason);
    if (outcome.deliveredTo.empty())
        return "Not delivered: " + (reason.empty() ? wxString("no recipient took it") : reason);
    wxString text = "Delivered to " + FromUtf8(Join(outcome.deliveredTo, ", "));
    if (!outcome.notDelivered.empty())
        text += "; not delivered: " +
                (reason.empty() ? FromUtf8(Join(outcome.notDelivered, ", ")) : reason);
    return text;
}

wxString MailSettingsProblem(const ActionSettings& settings)
{
    switch (Check(settings))
    {
    case SettingsState::Incomplete:
        return "SMTP Svr, User, Pwd and Mail To are needed to send a mail.";
    case SettingsState::LineBreak:
        return kMailLineBreakRefused;
    default:
        return wxString();
    }
}

int SendMail(const ActionSettings& settings, const MailContent& content, bool retry,
             MailDone done)
{
    switch (Check(settings))
    {
    case SettingsState::Incomplete:
        return 1; // skipped without a word, as it always was
    case SettingsState::LineBreak:
        // Stored by an older copy or by hand: never sent.
        wxLogWarning("Mail \"%s\" not sent: %s", content.subject,
                     MailSettingsProblem(settings));
        return 1;
    default:
        break;
    }

    auto job = std::make_shared<MailJob>();
    const MailServer server = ParseMailServer(settings.SMTPSvr);
    job->host = server.host;
    job->port = server.port;
    job->implicitTls = server.implicitTls;
    for (const wxString& address : SplitRecipients(settings.MailTo))
        job->to.push_back(ToUtf8(address));
    const wxString sender = wxString(settings.Mail.Sender).Trim(true).Trim(false);
    job->from = sender.empty() ? std::string(kDefaultSender) : ToUtf8(sender);
    job->user = ToUtf8(settings.SMTPUsr);
    job->password = ToUtf8(settings.SMTPPwd);
    job->allowPlainLogin = FlagOn(settings.Mail.AllowPlainLogin);
    job->caFile = ToUtf8(settings.Mail.CAFile);
    job->subject = ToUtf8(content.subject);
    job->text = ToUtf8(content.text);
    job->html = ToUtf8(content.html);
    job->retry = retry;
    job->logOutcome = !done; // a caller that asked for the outcome reports it itself
    job->done = std::move(done);

    if (wxIsMainThread())
        StartMail(*job);
    else if (wxAppConsole* app = wxAppConsole::GetInstance())
        app->CallAfter([job] { StartMail(*job); });
    return 1;
}

int SendAlarmMail(const ActionSettings& settings, const wxString& alarmText)
{
    return SendMail(settings, MailContent{kAlarmSubject, kAlarmBody, alarmText});
}

int SendTestMail(const ActionSettings& settings, MailDone done)
{
    return SendMail(settings, MailContent{kTestSubject, kTestBody, wxString()}, false,
                    std::move(done));
}

size_t PendingAlarmMailCount()
{
    return PendingMails().size();
}

void DropPendingAlarmMails()
{
    auto& mails = PendingMails();
    for (auto& entry : mails)
        entry.second.client->Abandon();
    mails.clear();
}
