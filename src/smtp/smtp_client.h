#pragma once

#include "smtp/cmdline_protocol.h"
#include "smtp/mail_message.h"

#include <wx/timer.h>

#include <functional>
#include <string>
#include <vector>

class wxSMTP;

// Told how each recipient and each attempt of a delivery went. The base
// versions do nothing; a client without a listener of its own uses a shared
// instance of this class.
class wxSMTPListener
{
public:
    virtual ~wxSMTPListener() = default;

    // Once per reply to RCPT TO.
    virtual void OnRecipientStatus(const std::string& address, MailStatus status) {}

    // Once at the end of every attempt, after the recipient lists were
    // regrouped. Setting stopRetrying cancels a retry that would follow.
    virtual void OnMessageStatus(MailStatus status, bool& stopRetrying) {}
};

// Bounds each wait for a reply and schedules the retries of one client.
class wxSMTPTimer : public wxTimer
{
public:
    explicit wxSMTPTimer(wxSMTP& client) : m_client(client) {}
    void Notify() override;

private:
    wxSMTP& m_client;
};

// One step of the SMTP dialogue. States hold no data: one shared instance of
// each exists and every client points at these.
class MailState
{
public:
    virtual ~MailState() = default;
    virtual void OnConnect(wxSMTP& client, wxSocketEvent& event) const {}
    virtual void OnResponse(wxSMTP& client, unsigned long code, const std::string& line) const {}
    // No reply in time: the attempt failed temporarily.
    virtual void OnTimeout(wxSMTP& client) const;
    virtual const char* Name() const = 0;
};

// Delivers one MailMessage to one server, retrying for up to six hours when
// the server or the network fails temporarily. Every step after Send runs on
// the GUI event loop, driven by the socket's notifications and the reply
// timer; nothing ever waits.
//
// The dialogue greets with EHLO (HELO when the server does not know it),
// turns to TLS when the server offers STARTTLS (or from the first byte with
// implicit TLS), and logs in when the server offers AUTH and a user is set:
// only over TLS unless plain-text login is allowed. Replies are judged by
// their last line.
//
// The client neither owns nor deletes its message or listener; it never
// deletes itself. GUI thread only, but for Send.
class wxSMTP : public wxCmdlineProtocol
{
public:
    // timeScale multiplies every timer duration (tests run the schedule
    // faster); the delays themselves and the retry arithmetic stay in seconds.
    explicit wxSMTP(wxSMTPListener* listener = nullptr, double timeScale = 1.0);
    ~wxSMTP() override;

    // Starts delivering message (ignored when null); the results arrive
    // through the listener. From another thread the start is handed to the
    // GUI thread (and dropped when the client is destroyed before it runs).
    void Send(MailMessage* message);

    // The account to log in with when the server offers AUTH (PLAIN, else
    // LOGIN); none when user is empty. Unless allowPlainText, the login is
    // only sent over TLS.
    void SetLogin(const std::string& user, const std::string& password, bool allowPlainText);

    // Called whenever an attempt's end leaves the client at rest: delivered,
    // given up, or retries stopped, with no timer left running. Runs inside
    // the client, so it must not delete the client at once.
    void SetRestHandler(std::function<void(wxSMTP&)> handler) { m_restHandler = std::move(handler); }

    // Stops the timer and the connection for good: no further notification,
    // attempt or listener call follows (program exit).
    void Abandon();

    MailStatus GetStatus() const { return m_status; }
    const char* GetStateName() const { return m_state->Name(); }
    bool IsAtRest() const;
    bool HasPartialRecipients() const { return m_partialRecipients; }
    double GetCurrentRetryDelay() const { return m_currentRetryDelay; }
    double GetElapsedRetryTime() const { return m_elapsedRetryTime; }
    const std::string& GetCurrentRecipient() const { return m_currentRecipient; }
    MailMessage* GetMessage() const { return m_message; }
    const wxSMTPTimer& GetReplyTimer() const { return m_timer; }
    // Why the last attempt did not deliver: the server's refusing line, or
    // what failed (connection, time-out, TLS); empty after a delivery.
    const std::string& GetFailureReason() const { return m_failureReason; }
    // The lines of the last complete reply.
    const std::vector<std::string>& GetReply() const { return m_reply; }

    // The fixed numbers of the dialogue, in seconds.
    static constexpr int kGreetingTimeout = 60;
    static constexpr int kReplyTimeout = 30;
    static constexpr double kFirstRetryDelay = 1800.0;
    static constexpr double kRetryDelayFactor = 1.5;
    static constexpr double kLongestRetryTime = 21600.0;
    static constexpr int kQuickRetryDelay = 20;
    // Continuation lines kept of one reply; further ones are read and dropped.
    static constexpr size_t kMaxReplyLines = 64;

    void OnConnect(wxSocketEvent& event) override;
    void OnDisconnect(wxSocketEvent& event) override;
    void OnResponse(const std::string& line) override;

    // The decimal number a reply line starts with; 0 when it does not start
    // with a digit. Saturates instead of wrapping.
    static unsigned long ReplyCode(const std::string& line);

protected:
    // The operations the states drive the dialogue with.
    friend class MailState;
    friend class InitialState;
    friend class ConnectedState;
    friend class EhloState;
    friend class HeloState;
    friend class StartTlsState;
    friend class AuthState;
    friend class LoginUserState;
    friend class LoginPasswordState;
    friend class SendMailFromState;
    friend class RcptListState;
    friend class StartDataState;
    friend class DataState;
    friend class QuitState;
    friend class ClosedState;
    friend class RetryState;
    friend class wxSMTPTimer;

    void StartTimer(int seconds);
    void StopTimer();
    void StartAttempt();
    void EndAttempt();
    void SendMailFrom();
    bool SendNextRecipient();
    void ReportRecipientStatus(MailStatus status);
    void SendMessageData();
    void ReportMessageStatus(bool& stopRetrying);
    void AddRetryTime();
    // Refused reply: TemporaryFailure for a 4xx line, else PermanentFailure;
    // then QUIT.
    void Fail(const std::string& line);
    void SendQuit();
    void SendEhlo();
    void SendHelo();
    // After the greeting was answered: STARTTLS, login or the sender, as the
    // server's extensions and the settings call for.
    void AfterGreeting();
    // The reply accepted STARTTLS: TLS on, then greet again. False when TLS
    // could not start (the attempt has ended).
    bool BeginTls();
    void SendLoginUser();
    void SendLoginPassword();
    // No recipient took the mail: QUIT without the data.
    void EndWithoutRecipients(const std::string& line);
    void SetFailureReason(const std::string& reason) { m_failureReason = reason; }
    void OnTlsFailure(const std::string& reason) override;

    void SetState(const MailState& state) { m_state = &state; }
    void SetStatus(MailStatus status) { m_status = status; }
    void SetPartialRecipients() { m_partialRecipients = true; }
    const MailState& GetState() const { return *m_state; }
    wxSMTPTimer& ReplyTimer() { return m_timer; }

private:
    void NotifyIfAtRest();

    wxSMTPListener* m_listener;
    MailMessage* m_message = nullptr;
    double m_firstRetryDelay = kFirstRetryDelay;
    double m_retryDelayFactor = kRetryDelayFactor;
    double m_longestRetryTime = kLongestRetryTime;
    int m_quickRetryDelay = kQuickRetryDelay;
    const MailState* m_state;
    MailStatus m_status = InProgress;
    bool m_partialRecipients = false;
    wxSMTPTimer m_timer;
    std::string m_currentRecipient;
    double m_currentRetryDelay = kFirstRetryDelay;
    double m_elapsedRetryTime = 0.0;

    double m_timeScale;
    bool m_abandoned = false;
    std::function<void(wxSMTP&)> m_restHandler;

    std::string m_user;
    std::string m_password;
    bool m_allowPlainLogin = false;
    std::vector<std::string> m_replyLines; // of the reply being read
    std::vector<std::string> m_reply;      // the last complete reply
    std::string m_failureReason;
    bool m_loginWithheld = false; // AUTH offered, but not over a plain connection
};
