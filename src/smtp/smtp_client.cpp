#include "smtp/smtp_client.h"

#include "common/text.h"

#include <wx/app.h>
#include <wx/thread.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <sstream>

// ---------------------------------------------------------------------------
// The states. "Fail" is a refused reply: QUIT and then the end of the attempt.
// In the states up to QuitState a reply first stops the reply timer; unless
// said otherwise it ends by starting it again for 30 seconds.

void MailState::OnTimeout(wxSMTP& client) const
{
    client.SetStatus(TemporaryFailure);
    client.SetFailureReason("no reply from the server in time");
    client.EndAttempt();
}

class ConnectedState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "ConnectedState"; }
};

class InitialState : public MailState
{
public:
    void OnConnect(wxSMTP& client, wxSocketEvent& event) const override;
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "InitialState"; }
};

// EHLO was sent: 250 lists the server's extensions; 500 or 502 means the
// server does not know EHLO, and HELO follows.
class EhloState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "EhloState"; }
};

class HeloState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "HeloState"; }
};

class StartTlsState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "StartTlsState"; }
};

// The login was sent whole (AUTH PLAIN, or the password of AUTH LOGIN).
class AuthState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "AuthState"; }
};

// AUTH LOGIN was sent: the server asks for the user name.
class LoginUserState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "LoginUserState"; }
};

// The user name was sent: the server asks for the password.
class LoginPasswordState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "LoginPasswordState"; }
};

class SendMailFromState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "SendMailFromState"; }
};

class RcptListState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "RcptListState"; }
};

class StartDataState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "StartDataState"; }
};

class DataState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "DataState"; }
};

class QuitState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    void OnTimeout(wxSMTP& client) const override;
    const char* Name() const override { return "QuitState"; }
};

class ClosedState : public MailState
{
public:
    const char* Name() const override { return "ClosedState"; }
};

class RetryState : public MailState
{
public:
    void OnTimeout(wxSMTP& client) const override;
    const char* Name() const override { return "RetryState"; }
};

namespace
{
const InitialState g_initialState;
const ConnectedState g_connectedState;
const EhloState g_ehloState;
const HeloState g_heloState;
const StartTlsState g_startTlsState;
const AuthState g_authState;
const LoginUserState g_loginUserState;
const LoginPasswordState g_loginPasswordState;
const SendMailFromState g_sendMailFromState;
const RcptListState g_rcptListState;
const StartDataState g_startDataState;
const DataState g_dataState;
const QuitState g_quitState;
const ClosedState g_closedState;
const RetryState g_retryState;

wxSMTPListener g_defaultListener;

bool StartsWith(const std::string& line, char c)
{
    return !line.empty() && line[0] == c;
}

// "250-..." is a line of a reply that goes on; the reply's last line has a
// blank (or nothing) after the code.
bool IsContinuation(const std::string& line)
{
    return line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
           std::isdigit(static_cast<unsigned char>(line[1])) &&
           std::isdigit(static_cast<unsigned char>(line[2])) && line[3] == '-';
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// What a server offers in its reply to EHLO (the lines after the first).
struct Extensions
{
    bool startTls = false;
    bool authPlain = false;
    bool authLogin = false;
};

Extensions ReadExtensions(const std::vector<std::string>& reply)
{
    Extensions offered;
    for (size_t i = 1; i < reply.size(); ++i)
    {
        const std::string line = reply[i].size() > 4 ? Upper(reply[i].substr(4)) : std::string();
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword == "STARTTLS")
            offered.startTls = true;
        // "AUTH=" is the form older servers still send.
        if (keyword == "AUTH" || keyword.compare(0, 5, "AUTH=") == 0)
        {
            std::string mechanism = keyword.size() > 5 ? keyword.substr(5) : std::string();
            do
            {
                offered.authPlain = offered.authPlain || mechanism == "PLAIN";
                offered.authLogin = offered.authLogin || mechanism == "LOGIN";
            } while (words >> mechanism);
        }
    }
    return offered;
}

// Base64 on one line, as AUTH wants it.
std::string Base64Line(const std::string& bytes)
{
    std::string encoded = Base64Encode(bytes.data(), bytes.size());
    std::string line;
    for (char c : encoded)
    {
        if (c != '\r' && c != '\n')
            line.push_back(c);
    }
    return line;
}
} // namespace

void InitialState::OnConnect(wxSMTP& client, wxSocketEvent&) const
{
    client.SetState(g_connectedState);
    client.StartTimer(wxSMTP::kGreetingTimeout);
}

void InitialState::OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const
{
    g_connectedState.OnResponse(client, code, line);
}

void ConnectedState::OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const
{
    client.StopTimer();
    if (code == 220)
        client.SendEhlo();
    else
        client.Fail(line);
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void EhloState::OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const
{
    client.StopTimer();
    if (code == 250)
        client.AfterGreeting();
    else if (code == 500 || code == 502)
        client.SendHelo();
    else
        client.Fail(line);
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void StartTlsState::OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const
{
    client.StopTimer();
    if (code == 220)
    {
        if (!client.BeginTls())
            return; // TLS could not start: the attempt has ended
    }
    else
    {
        client.Fail(line); // never on without the encryption the server offered
    }
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void AuthState::OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const
{
    client.StopTimer();
    if (code == 235)
    {
        client.SetState(g_sendMailFromState);
        client.SendMailFrom();
    }
    else
    {
        client.Fail(line);
    }
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void LoginUserState::OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const
{
    client.StopTimer();
    if (code == 334)
        client.SendLoginUser();
    else
        client.Fail(line);
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void LoginPasswordState::OnResponse(wxSMTP& client, unsigned long code,
                                    const std::string& line) const
{
    client.StopTimer();
    if (code == 334)
        client.SendLoginPassword();
    else
        client.Fail(line);
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void HeloState::OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const
{
    client.StopTimer();
    if (code == 250)
    {
        client.SetState(g_sendMailFromState);
        client.SendMailFrom();
    }
    else
    {
        client.Fail(line);
    }
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void SendMailFromState::OnResponse(wxSMTP& client, unsigned long code,
                                   const std::string& line) const
{
    client.StopTimer();
    if (code == 250)
    {
        client.SetState(g_rcptListState);
        // With no recipient pending nothing is sent and the timer runs out.
        client.SendNextRecipient();
    }
    else
    {
        client.Fail(line);
    }
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void RcptListState::OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const
{
    client.StopTimer();
    if (code == 421)
    {
        client.SetStatus(TemporaryFailure);
        client.SetFailureReason(line);
        client.SetState(g_quitState);
        client.StartTimer(wxSMTP::kReplyTimeout);
        client.SendQuit();
        return;
    }
    if (StartsWith(line, '2'))
    {
        client.ReportRecipientStatus(Accepted);
        if (client.SendNextRecipient())
        {
            client.StartTimer(wxSMTP::kReplyTimeout);
            return;
        }
    }
    else if (StartsWith(line, '4') || (StartsWith(line, '5') && code == 552))
    {
        // No further recipient in this attempt; the rest stay pending and a
        // temporary failure of the attempt is retried quickly.
        client.ReportRecipientStatus(TemporaryFailure);
        client.SetPartialRecipients();
    }
    else
    {
        client.ReportRecipientStatus(PermanentFailure);
        if (client.SendNextRecipient())
        {
            client.StartTimer(wxSMTP::kReplyTimeout);
            return;
        }
    }
    // No recipient took the mail (greylisting answers 4xx to every one): no
    // data, and a temporary refusal leaves the mail to the retry.
    if (client.GetMessage()->GetRecipients(Accepted).empty())
    {
        client.EndWithoutRecipients(line);
        return;
    }
    client.SendText("DATA\r\n");
    client.SetState(g_startDataState);
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void StartDataState::OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const
{
    client.StopTimer();
    if (code == 354)
    {
        client.SetState(g_dataState);
        client.SendMessageData();
    }
    else
    {
        client.Fail(line);
    }
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void DataState::OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const
{
    client.StopTimer();
    if (code == 250)
    {
        client.SetStatus(Delivered);
        client.SetFailureReason(std::string());
    }
    else
    {
        client.SetStatus(StartsWith(line, '4') ? TemporaryFailure : PermanentFailure);
        client.SetFailureReason(line);
    }
    client.SetState(g_quitState);
    client.SendQuit();
    client.StartTimer(wxSMTP::kReplyTimeout);
}

void QuitState::OnResponse(wxSMTP& client, unsigned long, const std::string&) const
{
    client.StopTimer();
    client.EndAttempt();
}

void QuitState::OnTimeout(wxSMTP& client) const
{
    client.EndAttempt(); // the status the attempt already had stands
}

void RetryState::OnTimeout(wxSMTP& client) const
{
    client.AddRetryTime();
    client.StartAttempt();
}

// ---------------------------------------------------------------------------

void wxSMTPTimer::Notify()
{
    m_client.GetState().OnTimeout(m_client);
}

wxSMTP::wxSMTP(wxSMTPListener* listener, double timeScale)
    : m_listener(listener ? listener : &g_defaultListener), m_state(&g_initialState), m_timer(*this),
      m_timeScale(timeScale > 0.0 ? timeScale : 1.0)
{
}

wxSMTP::~wxSMTP()
{
    m_timer.Stop();
}

void wxSMTP::Send(MailMessage* message)
{
    if (!message)
        return;
    if (!wxIsMainThread())
    {
        // Sockets and timers belong to the GUI thread. The call is queued on
        // the client's own handler, so a client destroyed before the GUI
        // thread gets to it takes the call with it.
        CallAfterOnOwner([this, message] { Send(message); });
        return;
    }
    m_message = message;
    m_abandoned = false;
    m_currentRetryDelay = 0.0;
    m_elapsedRetryTime = 0.0;
    StartAttempt();
}

void wxSMTP::Abandon()
{
    m_abandoned = true;
    m_timer.Stop();
    m_state = &g_closedState;
    Close();
}

bool wxSMTP::IsAtRest() const
{
    return !m_message || m_abandoned || (m_state == &g_closedState && !m_timer.IsRunning());
}

void wxSMTP::OnConnect(wxSocketEvent& event)
{
    m_state->OnConnect(*this, event);
}

void wxSMTP::SetLogin(const std::string& user, const std::string& password, bool allowPlainText)
{
    m_user = user;
    m_password = password;
    m_allowPlainLogin = allowPlainText;
}

void wxSMTP::OnDisconnect(wxSocketEvent&)
{
    m_status = TemporaryFailure;
    m_failureReason = m_state == &g_initialState
                          ? "cannot connect to " + ToUtf8(GetHost()) + ":" +
                                (GetPort() ? std::to_string(GetPort()) : ToUtf8(GetService()))
                          : "the server closed the connection";
    EndAttempt();
}

void wxSMTP::OnTlsFailure(const std::string& reason)
{
    // A certificate that does not check out is not a passing fault: no
    // retry, and never on without encryption.
    StopTimer();
    m_status = PermanentFailure;
    m_failureReason = "TLS: " + reason;
    EndAttempt();
}

unsigned long wxSMTP::ReplyCode(const std::string& line)
{
    unsigned long code = 0;
    for (char c : line)
    {
        if (c < '0' || c > '9')
            break;
        const unsigned long digit = static_cast<unsigned long>(c - '0');
        code = code > (ULONG_MAX - digit) / 10 ? ULONG_MAX : code * 10 + digit;
    }
    return code;
}

void wxSMTP::OnResponse(const std::string& line)
{
    // A reply may run over several lines; its last line decides.
    if (IsContinuation(line))
    {
        if (m_replyLines.size() < kMaxReplyLines)
            m_replyLines.push_back(line);
        return;
    }
    m_replyLines.push_back(line);
    m_reply.swap(m_replyLines);
    m_replyLines.clear();
    m_state->OnResponse(*this, ReplyCode(line), line);
}

void wxSMTP::StartTimer(int seconds)
{
    if (m_abandoned)
        return;
    const double ms = std::floor(seconds * 1000.0 * m_timeScale);
    m_timer.Start(ms < 1.0 ? 1 : ms > INT_MAX ? INT_MAX : static_cast<int>(ms), wxTIMER_ONE_SHOT);
}

void wxSMTP::StopTimer()
{
    m_timer.Stop();
}

void wxSMTP::StartAttempt()
{
    m_status = InProgress;
    m_partialRecipients = false;
    m_state = &g_initialState;
    m_replyLines.clear();
    m_reply.clear();
    m_failureReason.clear();
    m_loginWithheld = false;
    ConnectToHost();
}

void wxSMTP::SendQuit()
{
    SendText("QUIT\r\n");
}

void wxSMTP::Fail(const std::string& line)
{
    m_status = StartsWith(line, '4') ? TemporaryFailure : PermanentFailure;
    m_failureReason = line;
    if (m_loginWithheld)
        m_failureReason += " (no login was sent: the connection is not encrypted)";
    m_state = &g_quitState;
    SendQuit();
}

void wxSMTP::SendEhlo()
{
    m_state = &g_ehloState;
    SendText("EHLO " + GreetingName() + "\r\n");
}

void wxSMTP::SendHelo()
{
    m_state = &g_heloState;
    SendText("HELO " + GreetingName() + "\r\n");
}

void wxSMTP::AfterGreeting()
{
    const Extensions offered = ReadExtensions(m_reply);
    if (offered.startTls && !IsTlsActive())
    {
        m_state = &g_startTlsState;
        SendText("STARTTLS\r\n");
        return;
    }
    if (!m_user.empty() && (offered.authPlain || offered.authLogin))
    {
        if (IsTlsActive() || m_allowPlainLogin)
        {
            if (offered.authPlain)
            {
                m_state = &g_authState;
                SendText("AUTH PLAIN " + Base64Line(std::string(1, '\0') + m_user +
                                                    std::string(1, '\0') + m_password) +
                         "\r\n");
            }
            else
            {
                m_state = &g_loginUserState;
                SendText("AUTH LOGIN\r\n");
            }
            return;
        }
        m_loginWithheld = true; // a server that insists will say so
    }
    m_state = &g_sendMailFromState;
    SendMailFrom();
}

bool wxSMTP::BeginTls()
{
    std::string error;
    if (!StartTls(error))
    {
        m_status = PermanentFailure;
        m_failureReason = "TLS: " + error;
        EndAttempt();
        return false;
    }
    SendEhlo(); // sent once the handshake is done
    return true;
}

void wxSMTP::SendLoginUser()
{
    m_state = &g_loginPasswordState;
    SendText(Base64Line(m_user) + "\r\n");
}

void wxSMTP::SendLoginPassword()
{
    m_state = &g_authState;
    SendText(Base64Line(m_password) + "\r\n");
}

void wxSMTP::EndWithoutRecipients(const std::string& line)
{
    m_status = m_partialRecipients ? TemporaryFailure : PermanentFailure;
    m_failureReason = line;
    m_state = &g_quitState;
    StartTimer(kReplyTimeout);
    SendQuit();
}

void wxSMTP::SendMailFrom()
{
    SendText("MAIL FROM:<" + m_message->GetFrom() + ">\r\n");
}

bool wxSMTP::SendNextRecipient()
{
    std::string address;
    if (!m_message->GetNextRecipient(address))
        return false;
    m_currentRecipient = address;
    SendText("RCPT TO:<" + address + ">\r\n");
    return true;
}

void wxSMTP::ReportRecipientStatus(MailStatus status)
{
    m_message->SetRecipientStatus(m_currentRecipient, status);
    m_listener->OnRecipientStatus(m_currentRecipient, status);
}

void wxSMTP::SendMessageData()
{
    std::ostringstream out;
    m_message->WriteMessage(out);
    SendText(out.str());
}

void wxSMTP::ReportMessageStatus(bool& stopRetrying)
{
    m_message->UpdateRecipientLists(m_status);
    m_listener->OnMessageStatus(m_status, stopRetrying);
}

void wxSMTP::AddRetryTime()
{
    m_elapsedRetryTime += m_partialRecipients ? m_quickRetryDelay : m_currentRetryDelay;
}

void wxSMTP::EndAttempt()
{
    bool stopRetrying = false;
    m_state = &g_closedState;
    Close(); // late notifications of this connection are dropped from here on

    if (m_status != TemporaryFailure)
    {
        ReportMessageStatus(stopRetrying);
        NotifyIfAtRest();
        return;
    }

    int wait;
    if (m_partialRecipients)
    {
        wait = m_quickRetryDelay;
    }
    else
    {
        m_currentRetryDelay =
            m_currentRetryDelay == 0.0 ? m_firstRetryDelay : m_currentRetryDelay * m_retryDelayFactor;
        if (m_elapsedRetryTime + m_currentRetryDelay > m_longestRetryTime)
        {
            m_status = PermanentFailure; // six hours are up: give the message up
            ReportMessageStatus(stopRetrying);
            NotifyIfAtRest();
            return;
        }
        wait = static_cast<int>(m_currentRetryDelay);
    }

    ReportMessageStatus(stopRetrying);
    if (!stopRetrying && !m_abandoned)
    {
        m_state = &g_retryState;
        StartTimer(wait);
    }
    NotifyIfAtRest();
}

void wxSMTP::NotifyIfAtRest()
{
    if (m_restHandler && IsAtRest())
        m_restHandler(*this);
}
