// The SMTP dialogue against scripted reply lines: the connection is replaced
// by a recorder, so every command sent and every timer started can be read
// back without a network or an event loop.
#include "smtp/smtp_client.h"

#include <gtest/gtest.h>
#include <wx/app.h>

#include <climits>
#include <thread>
#include <utility>
#include <vector>

namespace
{
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
    std::vector<MailStatus> attempts;
    bool stop = false;
};

class ScriptedSmtp : public wxSMTP
{
public:
    using wxSMTP::wxSMTP;

    void Connected()
    {
        wxSocketEvent event(1);
        event.m_event = wxSOCKET_CONNECTION;
        OnConnect(event);
    }
    void Lost()
    {
        wxSocketEvent event(1);
        event.m_event = wxSOCKET_LOST;
        OnDisconnect(event);
    }
    void Reply(const std::string& line) { OnResponse(line); }
    // The reply timer (or the retry wait) runs out now.
    void Expire()
    {
        ASSERT_TRUE(ReplyTimer().IsRunning()) << "no timer was running in " << GetStateName();
        ReplyTimer().Stop();
        ReplyTimer().Notify();
    }
    int TimerMs() const { return GetReplyTimer().IsRunning() ? GetReplyTimer().GetInterval() : -1; }
    std::string Sent() const
    {
        std::string all;
        for (const auto& s : sent)
            all += s;
        return all;
    }

    std::vector<std::string> sent;
    int connects = 0;

protected:
    void ConnectToHost() override { ++connects; }
    void SendText(const std::string& bytes) override { sent.push_back(bytes); }
};

std::unique_ptr<MailMessage> Message(std::initializer_list<const char*> to)
{
    auto message = std::make_unique<MailMessage>("Subject", "Body", "from@here");
    for (const char* address : to)
        message->AddTo(address);
    return message;
}

// Runs the dialogue up to the reply to MAIL FROM.
void ToRecipients(ScriptedSmtp& client)
{
    client.Connected();
    client.Reply("220 ready");
    client.Reply("250 hello");
    client.Reply("250 sender ok");
}
} // namespace

TEST(SmtpDialogue, DeliveryCommandsAndTimers)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    auto message = Message({"a@x", "b@y"});
    client.SetHost("mail.example", 25);
    client.Send(message.get());
    EXPECT_EQ(client.connects, 1);
    EXPECT_STREQ(client.GetStateName(), "InitialState");
    EXPECT_EQ(client.TimerMs(), -1); // no timer while connecting
    EXPECT_EQ(client.GetStatus(), InProgress);

    client.Connected();
    EXPECT_EQ(client.TimerMs(), 60000);
    client.Reply("220 mail.example ESMTP");
    EXPECT_EQ(client.TimerMs(), 30000);
    client.Reply("250 hello");
    client.Reply("250 sender ok");
    client.Reply("250 a ok");
    client.Reply("250 b ok");
    EXPECT_STREQ(client.GetStateName(), "StartDataState");
    client.Reply("354 go ahead");
    EXPECT_STREQ(client.GetStateName(), "DataState");
    client.Reply("250 queued");
    EXPECT_EQ(client.GetStatus(), Delivered);
    EXPECT_STREQ(client.GetStateName(), "QuitState");
    client.Reply("221 bye");

    ASSERT_EQ(client.sent.size(), 7u);
    EXPECT_EQ(client.sent[0], "HELO localhost\r\n");
    EXPECT_EQ(client.sent[1], "MAIL FROM:<from@here>\r\n");
    EXPECT_EQ(client.sent[2], "RCPT TO:<a@x>\r\n");
    EXPECT_EQ(client.sent[3], "RCPT TO:<b@y>\r\n");
    EXPECT_EQ(client.sent[4], "DATA\r\n");
    EXPECT_EQ(client.sent[5].substr(0, 17), "From: from@here\r\n");
    EXPECT_EQ(client.sent[5].substr(client.sent[5].size() - 5), "\r\n.\r\n");
    EXPECT_EQ(client.sent[6], "QUIT\r\n");

    EXPECT_STREQ(client.GetStateName(), "ClosedState");
    EXPECT_EQ(client.TimerMs(), -1);
    EXPECT_TRUE(client.IsAtRest());
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{Delivered});
    EXPECT_EQ(listener.recipients.size(), 2u);
    EXPECT_EQ(message->GetRecipients(Delivered), (std::vector<std::string>{"a@x", "b@y"}));
}

struct RefusalCase
{
    const char* name;
    std::vector<std::string> before; // replies that are accepted
    std::string refusal;
    MailStatus status;
};

class SmtpRefusals : public ::testing::TestWithParam<RefusalCase>
{
};

// A refused reply sends QUIT; the reply to it ends the attempt with the
// status the refusal set.
TEST_P(SmtpRefusals, QuitThenEndWithStatus)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    auto message = Message({"a@x"});
    client.Send(message.get());
    client.Connected();
    for (const auto& line : GetParam().before)
        client.Reply(line);
    const size_t sentBefore = client.sent.size();
    client.Reply(GetParam().refusal);
    ASSERT_EQ(client.sent.size(), sentBefore + 1);
    EXPECT_EQ(client.sent.back(), "QUIT\r\n");
    EXPECT_STREQ(client.GetStateName(), "QuitState");
    EXPECT_EQ(client.TimerMs(), 30000);
    EXPECT_EQ(client.GetStatus(), GetParam().status);

    client.Reply("221 bye");
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{GetParam().status});
    if (GetParam().status == TemporaryFailure)
    {
        EXPECT_STREQ(client.GetStateName(), "RetryState");
        EXPECT_EQ(client.TimerMs(), 1800 * 1000);
    }
    else
    {
        EXPECT_STREQ(client.GetStateName(), "ClosedState");
        EXPECT_TRUE(client.IsAtRest());
    }
}

INSTANTIATE_TEST_SUITE_P(
    StateTable, SmtpRefusals,
    ::testing::Values(
        RefusalCase{"GreetingRefused", {}, "554 no service", PermanentFailure},
        RefusalCase{"GreetingBusy", {}, "421 busy", TemporaryFailure},
        // a line without digits gives code 0
        RefusalCase{"GreetingWithoutDigits", {}, "hello there", PermanentFailure},
        RefusalCase{"HeloRefused", {"220 hi"}, "501 syntax", PermanentFailure},
        // only the code counts: 220 is not the 250 HELO needs
        RefusalCase{"HeloAnsweredWith220", {"220 hi"}, "220 again", PermanentFailure},
        RefusalCase{"SenderDeferred", {"220 hi", "250 hello"}, "451 later", TemporaryFailure},
        RefusalCase{"DataRefused", {"220 hi", "250 hello", "250 ok", "250 ok"}, "503 no",
                    PermanentFailure},
        RefusalCase{"DataAnswered250", {"220 hi", "250 hello", "250 ok", "250 ok"}, "250 what",
                    PermanentFailure},
        RefusalCase{"MessageDeferred", {"220 hi", "250 hello", "250 ok", "250 ok", "354 go"},
                    "452 full", TemporaryFailure},
        RefusalCase{"MessageRefused", {"220 hi", "250 hello", "250 ok", "250 ok", "354 go"},
                    "554 spam", PermanentFailure}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SmtpDialogue, ReplyCodes)
{
    EXPECT_EQ(wxSMTP::ReplyCode("250 ok"), 250u);
    EXPECT_EQ(wxSMTP::ReplyCode("250-continued"), 250u);
    EXPECT_EQ(wxSMTP::ReplyCode("354"), 354u);
    EXPECT_EQ(wxSMTP::ReplyCode("ok"), 0u);
    EXPECT_EQ(wxSMTP::ReplyCode(""), 0u);
    EXPECT_EQ(wxSMTP::ReplyCode(" 250"), 0u);
    // an endless number must not wrap round to a code that passes
    EXPECT_EQ(wxSMTP::ReplyCode(std::string(40, '9')), ULONG_MAX);
}

TEST(SmtpDialogue, RecipientReplies)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    auto message = Message({"ok@x", "no@x", "full@x", "never@x"});
    client.Send(message.get());
    ToRecipients(client);
    client.Reply("250 ok");
    client.Reply("550 no such user");
    EXPECT_EQ(client.sent.back(), "RCPT TO:<full@x>\r\n"); // a refusal moves on
    client.Reply("552 mailbox full");                        // 552 counts as temporary
    EXPECT_EQ(client.sent.back(), "DATA\r\n");
    const std::vector<std::pair<std::string, MailStatus>> expected{
        {"ok@x", Accepted}, {"no@x", PermanentFailure}, {"full@x", TemporaryFailure}};
    EXPECT_EQ(listener.recipients, expected);
}

TEST(SmtpDialogue, AllRecipientsRefusedStillSendsData)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    auto message = Message({"a@x"});
    client.Send(message.get());
    ToRecipients(client);
    client.Reply("550 unknown");
    EXPECT_EQ(client.sent.back(), "DATA\r\n");
    client.Reply("503 no valid recipients");
    client.Reply("221 bye");
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{PermanentFailure});
    EXPECT_EQ(message->GetRecipients(PermanentFailure), std::vector<std::string>{"a@x"});
}

TEST(SmtpDialogue, ServiceClosingDuringRecipients)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    auto message = Message({"a@x", "b@y"});
    client.Send(message.get());
    ToRecipients(client);
    client.Reply("250 ok");
    client.Reply("421 shutting down");
    EXPECT_EQ(client.sent.back(), "QUIT\r\n");
    EXPECT_EQ(client.TimerMs(), 30000);
    client.Reply("221 bye");
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{TemporaryFailure});
    EXPECT_STREQ(client.GetStateName(), "RetryState");
    EXPECT_EQ(client.TimerMs(), 1800 * 1000); // not a quick retry
    EXPECT_EQ(message->GetPending(), (std::vector<std::string>{"b@y", "a@x"}));
}

TEST(SmtpDialogue, NoPendingRecipientWaitsForTheTimer)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    auto message = Message({});
    client.Send(message.get());
    ToRecipients(client);
    EXPECT_EQ(client.sent.back(), "MAIL FROM:<from@here>\r\n"); // nothing more sent
    EXPECT_EQ(client.TimerMs(), 30000);
    client.Expire();
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{TemporaryFailure});
    EXPECT_EQ(client.TimerMs(), 1800 * 1000);
}

TEST(SmtpDialogue, QuitTimeoutKeepsTheStatus)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    auto message = Message({"a@x"});
    client.Send(message.get());
    ToRecipients(client);
    client.Reply("250 ok");
    client.Reply("354 go");
    client.Reply("250 queued");
    client.Expire(); // no answer to QUIT
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{Delivered});
    EXPECT_TRUE(client.IsAtRest());
}

TEST(SmtpDialogue, RetryScheduleGivesUpAtTheFifthFailure)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    auto message = Message({"a@x"});
    client.Send(message.get());
    const int waits[] = {1800, 2700, 4050, 6075};
    double elapsed = 0;
    for (int wait : waits)
    {
        client.Lost(); // connection refused
        EXPECT_STREQ(client.GetStateName(), "RetryState");
        EXPECT_EQ(client.TimerMs(), wait * 1000);
        client.Expire();
        elapsed += wait;
        EXPECT_DOUBLE_EQ(client.GetElapsedRetryTime(), elapsed);
        EXPECT_EQ(client.GetStatus(), InProgress);
    }
    // 14625 s so far; another 9112.5 would pass six hours.
    client.Lost();
    EXPECT_EQ(client.connects, 5);
    EXPECT_EQ(client.GetStatus(), PermanentFailure);
    EXPECT_TRUE(client.IsAtRest());
    const std::vector<MailStatus> expected{TemporaryFailure, TemporaryFailure, TemporaryFailure,
                                           TemporaryFailure, PermanentFailure};
    EXPECT_EQ(listener.attempts, expected);
    EXPECT_EQ(message->GetRecipients(PermanentFailure), std::vector<std::string>{"a@x"});
}

TEST(SmtpDialogue, QuickRetriesHaveNoTimeLimit)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    auto message = Message({"a@x", "b@y"});
    client.Send(message.get());
    for (int attempt = 0; attempt < 1100; ++attempt) // 1100 x 20 s is past six hours
    {
        ToRecipients(client);
        client.Reply("451 try later");
        client.Reply("451 not now");
        client.Reply("221 bye");
        ASSERT_STREQ(client.GetStateName(), "RetryState");
        ASSERT_EQ(client.TimerMs(), 20000);
        client.Expire();
    }
    EXPECT_DOUBLE_EQ(client.GetElapsedRetryTime(), 1100 * 20.0);
    EXPECT_DOUBLE_EQ(client.GetCurrentRetryDelay(), 0.0); // quick retries do not grow it
    EXPECT_EQ(client.connects, 1101);
}

TEST(SmtpDialogue, ListenerStopsRetrying)
{
    RecordingListener listener;
    listener.stop = true;
    ScriptedSmtp client(&listener);
    int rests = 0;
    client.SetRestHandler([&](wxSMTP&) { ++rests; });
    auto message = Message({"a@x"});
    client.Send(message.get());
    client.Connected();
    client.Reply("421 busy");
    client.Reply("221 bye");
    EXPECT_STREQ(client.GetStateName(), "ClosedState");
    EXPECT_EQ(client.TimerMs(), -1);
    EXPECT_TRUE(client.IsAtRest());
    EXPECT_EQ(rests, 1);
}

// A reply timer still running when the connection drops and retries are
// stopped expires in ClosedState and ends one more attempt.
TEST(SmtpDialogue, TimerLeftRunningAfterStoppedRetryReportsOnceMore)
{
    RecordingListener listener;
    listener.stop = true;
    ScriptedSmtp client(&listener);
    int rests = 0;
    client.SetRestHandler([&](wxSMTP&) { ++rests; });
    auto message = Message({"a@x"});
    client.Send(message.get());
    client.Connected(); // the greeting timer runs
    client.Lost();
    EXPECT_STREQ(client.GetStateName(), "ClosedState");
    EXPECT_FALSE(client.IsAtRest());
    EXPECT_EQ(rests, 0);
    client.Expire();
    EXPECT_EQ(listener.attempts, (std::vector<MailStatus>{TemporaryFailure, TemporaryFailure}));
    EXPECT_TRUE(client.IsAtRest());
    EXPECT_EQ(rests, 1);
}

TEST(SmtpDialogue, IgnoresNullMessageAndLateReplies)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    client.Send(nullptr);
    EXPECT_EQ(client.connects, 0);

    auto message = Message({"a@x"});
    client.Send(message.get());
    client.Lost();
    client.Reply("220 late"); // RetryState: nothing
    EXPECT_TRUE(client.sent.empty());
    EXPECT_EQ(client.TimerMs(), 1800 * 1000);
}

TEST(SmtpDialogue, TimeScaleShortensTimersNotTheSchedule)
{
    RecordingListener listener;
    ScriptedSmtp client(&listener, 0.001);
    auto message = Message({"a@x"});
    client.Send(message.get());
    client.Connected();
    EXPECT_EQ(client.TimerMs(), 60);
    client.Lost();
    EXPECT_EQ(client.TimerMs(), 1800);
    EXPECT_DOUBLE_EQ(client.GetCurrentRetryDelay(), 1800.0);
}

// Regression: a program without a GUI (this binary runs wxBase's console
// application) gets the start handed over too. Taking its application for a
// GUI one was an invalid downcast, which UBSan stops on.
TEST(SmtpDialogue, SendFromAnotherThreadInAConsoleProgram)
{
    wxAppConsole* app = wxAppConsole::GetInstance();
    ASSERT_NE(app, nullptr);
    RecordingListener listener;
    ScriptedSmtp client(&listener);
    auto message = Message({"a@x"});
    std::thread([&] { client.Send(message.get()); }).join();
    EXPECT_EQ(client.connects, 0); // not started on the calling thread
    app->ProcessPendingEvents();
    EXPECT_EQ(client.connects, 1);
    EXPECT_STREQ(client.GetStateName(), "InitialState");
}
