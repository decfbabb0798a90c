// The SMTP dialogue against scripted reply lines: the connection is replaced
// by a recorder, so every command sent and every timer started can be read
// back without a network or an event loop. Before it, the framing of reply
// lines, fed byte pieces directly.
#include "smtp/cmdline_protocol.h"
#include "smtp/smtp_client.h"

#include <gtest/gtest.h>
#include <wx/app.h>

#include <climits>
#include <thread>
#include <utility>
#include <vector>

namespace
{
class LineRecorder : public wxCmdlineProtocol
{
public:
    void Feed(const std::string& bytes) { ReceiveBytes(bytes.data(), bytes.size()); }
    void OnConnect(wxSocketEvent&) override {}
    void OnDisconnect(wxSocketEvent&) override {}
    void OnResponse(const std::string& line) override
    {
        lines.push_back(line);
        if (closeAfter && lines.size() == closeAfter)
            Close();
        if (tlsAfter && lines.size() == tlsAfter)
        {
            std::string error;
            EXPECT_TRUE(StartTls(error)) << error;
        }
    }

    std::vector<std::string> lines;
    size_t closeAfter = 0;
    size_t tlsAfter = 0;
};

using Lines = std::vector<std::string>;
} // namespace

struct FramingCase
{
    const char* name;
    std::vector<std::string> pieces;
    Lines lines;
    std::string left; // still buffered
};

class LineFraming : public ::testing::TestWithParam<FramingCase>
{
};

TEST_P(LineFraming, HandsOverCompleteLines)
{
    LineRecorder protocol;
    for (const auto& piece : GetParam().pieces)
        protocol.Feed(piece);
    EXPECT_EQ(protocol.lines, GetParam().lines);
    EXPECT_EQ(protocol.GetReceiveBuffer(), GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, LineFraming,
    ::testing::Values(
        FramingCase{"OneLine", {"220 hi\r\n"}, {"220 hi"}, ""},
        FramingCase{"SplitOverPackets", {"22", "0 h", "i\r\n"}, {"220 hi"}, ""},
        // a lone CR waits for its LF
        FramingCase{"LoneCrAtTheEnd", {"250 ok\r"}, {}, "250 ok\r"},
        FramingCase{"CrThenLfLater", {"250 ok\r", "\n"}, {"250 ok"}, ""},
        FramingCase{"SingleStrayByte", {"2"}, {}, "2"},
        // a CR not followed by LF belongs to the line
        FramingCase{"CrInsideLine", {"250 a\rb\r\n"}, {"250 a\rb"}, ""},
        FramingCase{"BareLfIsNoLineEnd", {"250 a\nb\r\n"}, {"250 a\nb"}, ""},
        FramingCase{"TwoLinesInOnePacket", {"220-first\r\n220 second\r\n"},
                    {"220-first", "220 second"}, ""},
        FramingCase{"LineAndAPiece", {"250 ok\r\n35"}, {"250 ok"}, "35"},
        FramingCase{"EmptyLine", {"\r\n"}, {""}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Regression: replies longer than any SMTP line never grow the buffer past
// its cap; each full buffer, and an overlong line with its end, counts as one
// reply without a code.
TEST(LineFraming, OverlongRepliesAreCappedAndFail)
{
    LineRecorder protocol;
    const std::string chunk(wxCmdlineProtocol::kReadChunk, 'x');
    for (size_t fed = 0; fed < 100 * wxCmdlineProtocol::kMaxLineLength; fed += chunk.size())
    {
        protocol.Feed(chunk);
        ASSERT_LE(protocol.GetReceiveBuffer().size(), wxCmdlineProtocol::kMaxLineLength);
    }
    EXPECT_GE(protocol.lines.size(), 90u);
    EXPECT_EQ(protocol.lines, Lines(protocol.lines.size(), ""));

    LineRecorder overlong;
    overlong.Feed(std::string(wxCmdlineProtocol::kMaxLineLength + 10, '2') + "\r\n250 ok\r\n");
    EXPECT_EQ(overlong.lines, (Lines{"", "250 ok"}));
}

TEST(LineFraming, StopsWhenALineClosesTheConnection)
{
    LineRecorder protocol;
    protocol.closeAfter = 1;
    protocol.Feed("221 bye\r\n250 stale\r\n");
    EXPECT_EQ(protocol.lines, (Lines{"221 bye"}));
    EXPECT_EQ(protocol.GetReceiveBuffer(), ""); // the rest went with the connection
}

// Regression guard: a reply sent in the clear behind the one that accepted
// STARTTLS must not pass for one the server sent over TLS.
TEST(LineFraming, ClearTextAfterStartTlsIsDropped)
{
    LineRecorder protocol;
    protocol.SetHost("mail.example", 25);
    protocol.tlsAfter = 1;
    protocol.Feed("220 go ahead\r\n235 injected\r\n");
    EXPECT_EQ(protocol.lines, (Lines{"220 go ahead"}));
    EXPECT_EQ(protocol.GetReceiveBuffer(), "");
    EXPECT_TRUE(protocol.IsTlsActive());
}

namespace
{
using Statuses = std::vector<MailStatus>;
using Texts = Lines;

class RecordingListener : public wxSMTPListener
{
public:
    void OnRecipientStatus(const std::string& address, MailStatus status) override
    {
        recipients.emplace_back(address, status);
    }
    void OnMessageStatus(MailStatus status, bool& stopRetrying) override
    {
        EXPECT_FALSE(stopRetrying); // false on entry
        attempts.push_back(status);
        stopRetrying = stop;
    }

    std::vector<std::pair<std::string, MailStatus>> recipients;
    Statuses attempts;
    bool stop = false;
};

class ScriptedSmtp : public wxSMTP
{
public:
    using wxSMTP::wxSMTP;

    void Connected() { Notify(wxSOCKET_CONNECTION); }
    void Lost() { Notify(wxSOCKET_LOST); }
    void Reply(std::initializer_list<const char*> lines)
    {
        for (const char* line : lines)
            OnResponse(line);
    }
    // The reply timer (or the retry wait) runs out now.
    void Expire()
    {
        ASSERT_TRUE(ReplyTimer().IsRunning()) << "no timer was running in " << GetStateName();
        ReplyTimer().Stop();
        ReplyTimer().Notify();
    }
    int TimerMs() const { return GetReplyTimer().IsRunning() ? GetReplyTimer().GetInterval() : -1; }
    bool IsTlsActive() const override { return tls; }

    Texts sent;
    int connects = 0;
    bool tls = false;
    static int allConnects; // of every client, also one already destroyed

protected:
    void ConnectToHost() override
    {
        ++connects;
        ++allConnects;
        tls = false;
    }
    void SendText(const std::string& bytes) override { sent.push_back(bytes); }
    bool StartTls(std::string&) override
    {
        sent.push_back("<TLS>");
        tls = true;
        return true;
    }
    std::string GreetingName() const override { return "client.example"; }

private:
    void Notify(wxSocketNotify kind)
    {
        wxSocketEvent event(1);
        event.m_event = kind;
        kind == wxSOCKET_CONNECTION ? OnConnect(event) : OnDisconnect(event);
    }
};

int ScriptedSmtp::allConnects = 0;

// A client of its own listener with a message to the given recipients.
class SmtpDialogue : public ::testing::Test
{
protected:
    void Send(Texts to, double timeScale = 1.0)
    {
        message = std::make_unique<MailMessage>("Subject", "Body", "from@here");
        for (const std::string& address : to)
            message->AddTo(address);
        client = std::make_unique<ScriptedSmtp>(&listener, timeScale);
        client->Send(message.get());
    }
    // Runs the dialogue up to the reply to MAIL FROM.
    void ToRecipients()
    {
        client->Connected();
        client->Reply({"220 ready", "250 hello", "250 sender ok"});
    }

    RecordingListener listener;
    std::unique_ptr<MailMessage> message;
    std::unique_ptr<ScriptedSmtp> client;
};
} // namespace

TEST_F(SmtpDialogue, DeliveryCommandsAndTimers)
{
    ScriptedSmtp idle(&listener);
    idle.Send(nullptr); // ignored
    EXPECT_EQ(idle.connects, 0);

    Send({"a@x", "b@y"});
    EXPECT_EQ(client->connects, 1);
    EXPECT_STREQ(client->GetStateName(), "InitialState");
    EXPECT_EQ(client->TimerMs(), -1); // no timer while connecting
    EXPECT_EQ(client->GetStatus(), InProgress);

    client->Connected();
    EXPECT_EQ(client->TimerMs(), 60000);
    client->Reply({"220 mail.example ESMTP"});
    EXPECT_EQ(client->TimerMs(), 30000);
    client->Reply({"250 hello", "250 sender ok", "250 a ok", "250 b ok"});
    EXPECT_STREQ(client->GetStateName(), "StartDataState");
    client->Reply({"354 go ahead"});
    EXPECT_STREQ(client->GetStateName(), "DataState");
    client->Reply({"250 queued"});
    EXPECT_EQ(client->GetStatus(), Delivered);
    EXPECT_STREQ(client->GetStateName(), "QuitState");
    client->Reply({"221 bye"});

    const Texts& sent = client->sent;
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_EQ(Texts(sent.begin(), sent.begin() + 5),
              (Texts{"EHLO client.example\r\n", "MAIL FROM:<from@here>\r\n", "RCPT TO:<a@x>\r\n",
                     "RCPT TO:<b@y>\r\n", "DATA\r\n"}));
    EXPECT_EQ(sent[5].substr(0, 17), "From: from@here\r\n");
    EXPECT_EQ(sent[5].substr(sent[5].size() - 5), "\r\n.\r\n");
    EXPECT_EQ(sent[6], "QUIT\r\n");

    EXPECT_STREQ(client->GetStateName(), "ClosedState");
    EXPECT_EQ(client->TimerMs(), -1);
    EXPECT_TRUE(client->IsAtRest());
    EXPECT_EQ(listener.attempts, Statuses{Delivered});
    EXPECT_EQ(listener.recipients.size(), 2u);
    EXPECT_EQ(message->GetRecipients(Delivered), (Texts{"a@x", "b@y"}));
}

struct RefusalCase
{
    const char* name;
    std::vector<const char*> before; // replies that are accepted
    const char* refusal;
    MailStatus status;
    int retryWait = 1800;     // seconds, after a temporary failure
    bool plainLogin = true;   // login allowed without TLS
    const char* because = ""; // what the failure reason adds to the line
};

class SmtpRefusals : public SmtpDialogue, public ::testing::WithParamInterface<RefusalCase>
{
};

// A refused reply sends QUIT; the reply to it ends the attempt with the
// status the refusal set, and a temporary failure waits for the retry.
TEST_P(SmtpRefusals, QuitThenEndWithStatus)
{
    const RefusalCase& c = GetParam();
    Send({"a@x", "b@y"});
    client->SetLogin("user", "pw", c.plainLogin);
    client->Connected();
    for (const char* line : c.before)
        client->Reply({line});
    const size_t sentBefore = client->sent.size();
    client->Reply({c.refusal});
    ASSERT_EQ(client->sent.size(), sentBefore + 1);
    EXPECT_EQ(client->sent.back(), "QUIT\r\n");
    EXPECT_STREQ(client->GetStateName(), "QuitState");
    EXPECT_EQ(client->TimerMs(), 30000);
    EXPECT_EQ(client->GetStatus(), c.status);
    // the server's line, for the operator
    EXPECT_EQ(client->GetFailureReason(), std::string(c.refusal) + c.because);

    client->Reply({"221 bye"});
    EXPECT_EQ(listener.attempts, Statuses{c.status});
    const bool retries = c.status == TemporaryFailure;
    EXPECT_STREQ(client->GetStateName(), retries ? "RetryState" : "ClosedState");
    EXPECT_EQ(client->TimerMs(), retries ? c.retryWait * 1000 : -1);
    EXPECT_EQ(client->IsAtRest(), !retries);
}

INSTANTIATE_TEST_SUITE_P(
    StateTable, SmtpRefusals,
    ::testing::Values(
        RefusalCase{"GreetingRefused", {}, "554 no service", PermanentFailure},
        RefusalCase{"GreetingBusy", {}, "421 busy", TemporaryFailure},
        // a line without digits gives code 0
        RefusalCase{"GreetingWithoutDigits", {}, "hello there", PermanentFailure},
        RefusalCase{"EhloRefused", {"220 hi"}, "501 syntax", PermanentFailure},
        // only the code counts: 220 is not the 250 EHLO needs
        RefusalCase{"EhloAnsweredWith220", {"220 hi"}, "220 again", PermanentFailure},
        RefusalCase{"HeloRefusedAfterEhlo", {"220 hi", "502 no EHLO"}, "501 syntax",
                    PermanentFailure},
        // never on in the clear when the server offered TLS
        RefusalCase{"StartTlsRefused", {"220 hi", "250-hi", "250 STARTTLS"},
                    "454 TLS not available", TemporaryFailure},
        RefusalCase{"LoginRefused", {"220 hi", "250-hi", "250 AUTH PLAIN"},
                    "535 5.7.8 Authentication credentials invalid", PermanentFailure},
        RefusalCase{"LoginUserRefused", {"220 hi", "250-hi", "250 AUTH LOGIN"}, "504 no LOGIN",
                    PermanentFailure},
        // the operator learns why no login was sent
        RefusalCase{"LoginWithheldInTheClear", {"220 hi", "250-hi", "250 AUTH PLAIN"},
                    "530 5.7.0 Authentication required", PermanentFailure, 0, false,
                    " (no login was sent: the connection is not encrypted)"},
        RefusalCase{"SenderDeferred", {"220 hi", "250 hello"}, "451 later", TemporaryFailure},
        // 421 while recipients are named: temporary, but no quick retry
        RefusalCase{"ServiceClosingDuringRecipients", {"220 hi", "250 hello", "250 ok", "250 ok"},
                    "421 shutting down", TemporaryFailure},
        // no DATA when no recipient took the mail
        RefusalCase{"AllRecipientsRefused", {"220 hi", "250 hello", "250 ok", "550 no"},
                    "550 no", PermanentFailure},
        // greylisting: a temporary refusal of every recipient is retried soon
        RefusalCase{"AllRecipientsGreylisted", {"220 hi", "250 hello", "250 ok"},
                    "451 4.7.1 greylisted", TemporaryFailure, 20},
        // 552 (mailbox full) counts as a temporary refusal
        RefusalCase{"MailboxFull", {"220 hi", "250 hello", "250 ok"}, "552 mailbox full",
                    TemporaryFailure, 20},
        RefusalCase{"DataRefused", {"220 hi", "250 hello", "250 ok", "250 ok", "250 ok"}, "503 no",
                    PermanentFailure},
        RefusalCase{"DataAnswered250", {"220 hi", "250 hello", "250 ok", "250 ok", "250 ok"},
                    "250 what", PermanentFailure},
        RefusalCase{"MessageDeferred",
                    {"220 hi", "250 hello", "250 ok", "250 ok", "250 ok", "354 go"}, "452 full",
                    TemporaryFailure},
        RefusalCase{"MessageRefused",
                    {"220 hi", "250 hello", "250 ok", "250 ok", "250 ok", "354 go"}, "554 spam",
                    PermanentFailure}),
    [](const auto& info) { return std::string(info.param.name); });

struct GreetingCase
{
    const char* name;
    bool tls = false;        // the connection is TLS from the first byte
    bool allowPlain = false; // login allowed over plain text
    std::string user = "user";
    std::vector<const char*> replies; // every line the server sends, in order
    Texts sent;                        // what the client sent up to MAIL FROM
};

class SmtpGreeting : public SmtpDialogue, public ::testing::WithParamInterface<GreetingCase>
{
};

// From the greeting to MAIL FROM: continuation lines, EHLO or HELO, STARTTLS
// and the login, as the server's extensions and the settings call for.
TEST_P(SmtpGreeting, CommandsUpToTheSender)
{
    const GreetingCase& c = GetParam();
    Send({"a@x"});
    client->SetLogin(c.user, "pw", c.allowPlain);
    client->Connected();
    client->tls = c.tls;
    for (const char* line : c.replies)
        client->Reply({line});
    EXPECT_EQ(client->sent, c.sent);
    EXPECT_STREQ(client->GetStateName(), "SendMailFromState");
    EXPECT_EQ(client->TimerMs(), 30000);
}

// "\0user\0pw" in Base64
#define PLAIN_LOGIN "AUTH PLAIN AHVzZXIAcHc=\r\n"

INSTANTIATE_TEST_SUITE_P(
    Extensions, SmtpGreeting,
    ::testing::Values(
        // a reply is read to its last line, whatever the lines before it say
        GreetingCase{"MultiLineReplies", false, false, "user",
                     {"220-mail.example ESMTP", "220-more words", "220 ready", "250-mail.example",
                      "250-SIZE 1000", "250 HELP"},
                     {"EHLO client.example\r\n", "MAIL FROM:<from@here>\r\n"}},
        GreetingCase{"HeloWhenEhloUnknown", false, false, "user",
                     {"220 old", "500 what?", "250 hello"},
                     {"EHLO client.example\r\n", "HELO client.example\r\n",
                      "MAIL FROM:<from@here>\r\n"}},
        GreetingCase{"StartTlsThenGreetAgainThenLogin", false, false, "user",
                     {"220 hi", "250-hi", "250-AUTH LOGIN", "250 STARTTLS", "220 go ahead",
                      "250-hi", "250 AUTH=LOGIN PLAIN", "235 ok"},
                     {"EHLO client.example\r\n", "STARTTLS\r\n", "<TLS>",
                      "EHLO client.example\r\n", PLAIN_LOGIN, "MAIL FROM:<from@here>\r\n"}},
        GreetingCase{"LoginWhenNoPlain", true, false, "user",
                     {"220 hi", "250-hi", "250 AUTH CRAM-MD5 login", "334 VXNlcm5hbWU6",
                      "334 UGFzc3dvcmQ6", "235 ok"},
                     {"EHLO client.example\r\n", "AUTH LOGIN\r\n", "dXNlcg==\r\n",
                      "cHc=\r\n", "MAIL FROM:<from@here>\r\n"}},
        // the password never goes out in the clear unless allowed
        GreetingCase{"NoLoginInTheClear", false, false, "user",
                     {"220 hi", "250-hi", "250 AUTH PLAIN"},
                     {"EHLO client.example\r\n", "MAIL FROM:<from@here>\r\n"}},
        GreetingCase{"LoginInTheClearWhenAllowed", false, true, "user",
                     {"220 hi", "250-hi", "250 AUTH PLAIN", "235 ok"},
                     {"EHLO client.example\r\n", PLAIN_LOGIN, "MAIL FROM:<from@here>\r\n"}},
        GreetingCase{"NoLoginWithoutUser", true, false, "",
                     {"220 hi", "250-hi", "250 AUTH PLAIN"},
                     {"EHLO client.example\r\n", "MAIL FROM:<from@here>\r\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SmtpReplyCode, LeadingDigitsOnly)
{
    const std::pair<std::string, unsigned long> cases[] = {
        {"250 ok", 250}, {"250-continued", 250}, {"354", 354}, {"ok", 0}, {"", 0}, {" 250", 0},
        // an endless number must not wrap round to a code that passes
        {std::string(40, '9'), ULONG_MAX},
    };
    for (const auto& [line, code] : cases)
        EXPECT_EQ(wxSMTP::ReplyCode(line), code) << line;
}

TEST_F(SmtpDialogue, NoPendingRecipientWaitsForTheTimer)
{
    Send({});
    ToRecipients();
    EXPECT_EQ(client->sent.back(), "MAIL FROM:<from@here>\r\n"); // nothing more sent
    EXPECT_EQ(client->TimerMs(), 30000);
    client->Expire();
    EXPECT_EQ(listener.attempts, Statuses{TemporaryFailure});
    EXPECT_EQ(client->TimerMs(), 1800 * 1000);
}

// No answer to QUIT: the timer ends the attempt with the status it had, and
// the client comes to rest from inside the timer's notification.
TEST_F(SmtpDialogue, QuitTimeoutKeepsTheStatus)
{
    Send({"a@x"});
    int rests = 0;
    client->SetRestHandler([&](wxSMTP& who) { ++rests; EXPECT_TRUE(who.IsAtRest()); });
    ToRecipients();
    client->Reply({"250 ok", "354 go", "250 queued"});
    client->Expire();
    EXPECT_EQ(listener.attempts, Statuses{Delivered});
    EXPECT_TRUE(client->IsAtRest());
    EXPECT_EQ(rests, 1);
}

// The time scale shortens the timers (a thousandth here: milliseconds for
// seconds), never the schedule, which is counted in seconds.
TEST_F(SmtpDialogue, RetryScheduleGivesUpAtTheFifthFailure)
{
    Send({"a@x"}, 0.001);
    client->Connected();
    EXPECT_EQ(client->TimerMs(), 60);
    double elapsed = 0;
    for (int wait : {1800, 2700, 4050, 6075})
    {
        client->Lost(); // connection refused, or lost
        client->Reply({"220 late"});  // nothing while waiting
        EXPECT_TRUE(client->sent.empty());
        EXPECT_STREQ(client->GetStateName(), "RetryState");
        EXPECT_EQ(client->TimerMs(), wait);
        EXPECT_DOUBLE_EQ(client->GetCurrentRetryDelay(), wait);
        client->Expire();
        elapsed += wait;
        EXPECT_DOUBLE_EQ(client->GetElapsedRetryTime(), elapsed);
        EXPECT_EQ(client->GetStatus(), InProgress);
    }
    // 14625 s so far; another 9112.5 would pass six hours.
    client->Lost();
    EXPECT_EQ(client->connects, 5);
    EXPECT_EQ(client->GetStatus(), PermanentFailure);
    EXPECT_TRUE(client->IsAtRest());
    EXPECT_EQ(listener.attempts, (Statuses{TemporaryFailure, TemporaryFailure, TemporaryFailure,
                                           TemporaryFailure, PermanentFailure}));
    EXPECT_EQ(message->GetRecipients(PermanentFailure), Texts{"a@x"});
}

// Deferred recipients retry after 20 s, even when the long schedule has run
// to its end: quick retries never test the six-hour limit nor grow the delay.
// The deferred one goes to the back of the queue each time.
TEST_F(SmtpDialogue, QuickRetriesHaveNoTimeLimit)
{
    Send({"a@x", "b@y"});
    for (int i = 0; i < 4; ++i) // 14625 s: the next long wait would give up
    {
        client->Lost();
        client->Expire();
    }
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        client->Connected();
        client->Reply({"220 ready", "250 hello", "250 sender ok"});
        ASSERT_EQ(client->sent.back(), attempt % 2 ? "RCPT TO:<b@y>\r\n" : "RCPT TO:<a@x>\r\n");
        client->Reply({"250 ok", "451 not now", "354 go", "451 later", "221 bye"});
        ASSERT_STREQ(client->GetStateName(), "RetryState");
        ASSERT_EQ(client->TimerMs(), 20000);
        client->Expire();
    }
    EXPECT_DOUBLE_EQ(client->GetElapsedRetryTime(), 14625.0 + 3 * 20.0);
    EXPECT_DOUBLE_EQ(client->GetCurrentRetryDelay(), 6075.0);
    EXPECT_EQ(client->connects, 8);
}

// A listener that stops the retries leaves the client at rest at once; a
// reply timer still running when the connection dropped expires in
// ClosedState and ends one more attempt.
TEST_F(SmtpDialogue, ListenerStopsRetrying)
{
    listener.stop = true;
    int rests = 0;
    for (bool lost : {false, true})
    {
        Send({"a@x"});
        client->SetRestHandler([&](wxSMTP&) { ++rests; });
        client->Connected(); // the greeting timer runs
        lost ? client->Lost() : client->Reply({"421 busy", "221 bye"});
        EXPECT_STREQ(client->GetStateName(), "ClosedState");
        EXPECT_EQ(client->IsAtRest(), !lost);
    }
    client->Expire();
    EXPECT_TRUE(client->IsAtRest());
    EXPECT_EQ(listener.attempts, Statuses(3, TemporaryFailure));
    EXPECT_EQ(rests, 2);
}

// Regression: a program without a GUI (this binary runs wxBase's console
// application) gets the start handed over too; taking its application for a
// GUI one was an invalid downcast, which UBSan stops on. Regression: a start
// handed over to a client destroyed before the GUI thread got to it used the
// freed client.
TEST_F(SmtpDialogue, SendFromAnotherThread)
{
    wxAppConsole* app = wxAppConsole::GetInstance();
    ASSERT_NE(app, nullptr);
    message = std::make_unique<MailMessage>("Subject", "Body", "from@here");
    message->AddTo("a@x");
    ScriptedSmtp other(&listener);
    auto doomed = std::make_unique<ScriptedSmtp>(&listener);
    const int before = ScriptedSmtp::allConnects;
    std::thread([&] { other.Send(message.get()); doomed->Send(message.get()); }).join();
    EXPECT_EQ(ScriptedSmtp::allConnects, before); // not started on the calling thread
    doomed.reset();
    app->ProcessPendingEvents();
    EXPECT_EQ(ScriptedSmtp::allConnects, before + 1); // the destroyed one's start went with it
    EXPECT_EQ(other.connects, 1);
    EXPECT_STREQ(other.GetStateName(), "InitialState");
}
