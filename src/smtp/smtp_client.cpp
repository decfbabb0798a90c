#include "smtp/smtp_client.h"

#include <wx/app.h>
#include <wx/thread.h>

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

class HeloState : public MailState
{
public:
    void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const override;
    const char* Name() const override { return "HeloState"; }
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
const HeloState g_heloState;
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
    {
        client.SetState(g_heloState);
        client.SendText("HELO localhost\r\n");
    }
    else
    {
        client.Fail(line);
    }
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
    // DATA even when every recipient was refused: the server's refusal of it
    // fails the attempt.
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
        client.SetStatus(Delivered);
    else
        client.SetStatus(StartsWith(line, '4') ? TemporaryFailure : PermanentFailure);
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
        // Sockets and timers belong to the GUI thread; the client must then
        // outlive the hand-over, as it must outlive the whole dialogue.
        // The application as wxAppConsole: this core library does not assume
        // a GUI application (wxTheApp would downcast to wxApp).
        if (wxAppConsole* app = wxAppConsole::GetInstance())
            app->CallAfter([this, message] { Send(message); });
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

void wxSMTP::OnDisconnect(wxSocketEvent&)
{
    m_status = TemporaryFailure;
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
    ConnectToHost();
}

void wxSMTP::SendQuit()
{
    SendText("QUIT\r\n");
}

void wxSMTP::Fail(const std::string& line)
{
    m_status = StartsWith(line, '4') ? TemporaryFailure : PermanentFailure;
    m_state = &g_quitState;
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
