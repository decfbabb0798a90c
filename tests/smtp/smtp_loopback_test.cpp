// wxSMTP on a real socket against a scripted SMTP peer on loopback; the GUI
// event loop delivers the socket notifications and the timers.
#include "smtp/smtp_client.h"
#include "support/loopback_server.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <mutex>
#include <sstream>
#include <thread>

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
        attempts.push_back(status);
        stopRetrying = stopAfter > 0 && attempts.size() >= stopAfter;
    }

    std::vector<std::pair<std::string, MailStatus>> recipients;
    std::vector<MailStatus> attempts;
    size_t stopAfter = 0; // stop retrying after this many attempts (0: never)
};

// What the peer received, one entry per command or message, per connection.
class Transcript
{
public:
    void Add(int connection, const std::string& text)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_entries.size() <= static_cast<size_t>(connection))
            m_entries.resize(connection + 1);
        m_entries[connection].push_back(text);
    }
    std::vector<std::string> Of(int connection) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<size_t>(connection) < m_entries.size() ? m_entries[connection]
                                                                  : std::vector<std::string>{};
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::vector<std::string>> m_entries;
};

// Reads one command, records it, and answers.
std::string Exchange(PeerConnection& peer, Transcript& log, int connection, const std::string& reply)
{
    const std::string command = peer.ReadUntil("\r\n");
    log.Add(connection, command);
    if (!reply.empty())
        peer.Write(reply);
    return command;
}

// A well-behaved server up to and including the 354 reply.
void UpToData(PeerConnection& peer, Transcript& log, int connection)
{
    peer.Write("220 loopback ESMTP\r\n");
    Exchange(peer, log, connection, "250 hello\r\n");
    Exchange(peer, log, connection, "250 sender ok\r\n");
    Exchange(peer, log, connection, "250 recipient ok\r\n");
    Exchange(peer, log, connection, "354 end with .\r\n");
}

// Reads the message up to and including the end-of-data line, in chunks.
std::string ReadData(PeerConnection& peer, Transcript& log, int connection)
{
    static const std::string end = "\r\n.\r\n";
    std::string data;
    char chunk[64 * 1024];
    while (data.size() < end.size() || data.compare(data.size() - end.size(), end.size(), end))
    {
        pollfd ready{peer.Fd(), POLLIN, 0};
        if (::poll(&ready, 1, 10000) <= 0)
            break;
        const ssize_t got = ::recv(peer.Fd(), chunk, sizeof chunk, 0);
        if (got <= 0)
            break;
        data.append(chunk, static_cast<size_t>(got));
    }
    log.Add(connection, data);
    return data;
}

// The message as it was sent, rebuilt with the boundary date found in data.
std::string Expected(const MailMessage& message, const std::string& data)
{
    const std::string mark = "boundary=\"---_";
    const size_t start = data.find(mark);
    if (start == std::string::npos)
        return "(no boundary)";
    const size_t from = start + mark.size();
    std::ostringstream out;
    message.WriteMessage(out, data.substr(from, data.find("-boundary-", from) - from));
    return out.str();
}

class TestClient : public wxSMTP
{
public:
    using wxSMTP::wxSMTP;
    // The retry wait ends now.
    void FireRetry()
    {
        ASSERT_STREQ(GetStateName(), "RetryState");
        ReplyTimer().Stop();
        ReplyTimer().Notify();
    }
};

std::unique_ptr<MailMessage> Message(std::initializer_list<const char*> to,
                                     const std::string& html = "<b>[ srv1] Died!!!</b>")
{
    auto message =
        std::make_unique<MailMessage>("Bug report", "Your code really sucks.\nFix your code",
                                      "from@here");
    message->AddAlternative(html, "text", "html");
    for (const char* address : to)
        message->AddTo(address);
    return message;
}

using Commands = std::vector<std::string>;
} // namespace

TEST(SmtpLoopback, DeliversWithTheExactDialogue)
{
    Transcript log;
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            UpToData(peer, log, 0);
            ReadData(peer, log, 0);
            peer.Write("250 queued\r\n");
            Exchange(peer, log, 0, "221 bye\r\n");
            peer.WaitForClose();
        });
    RecordingListener listener;
    TestClient client(&listener);
    auto message = Message({"ops@site"});
    client.SetHost("127.0.0.1", server.Port());
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return !listener.attempts.empty(); }));

    const auto sent = log.Of(0);
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0], "HELO localhost\r\n");
    EXPECT_EQ(sent[1], "MAIL FROM:<from@here>\r\n");
    EXPECT_EQ(sent[2], "RCPT TO:<ops@site>\r\n");
    EXPECT_EQ(sent[3], "DATA\r\n");
    EXPECT_EQ(sent[4], Expected(*message, sent[4]));
    EXPECT_EQ(sent[5], "QUIT\r\n");
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{Delivered});
    EXPECT_TRUE(client.IsAtRest());
    EXPECT_TRUE(PumpUntil([&] { return server.Finished() == 1; })); // we closed
}

TEST(SmtpLoopback, TwoLineGreetingInOnePacket)
{
    Transcript log;
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            peer.Write("220-loopback first\r\n220 loopback second\r\n");
            Exchange(peer, log, 0, "");
            Exchange(peer, log, 0, "221 bye\r\n");
        });
    RecordingListener listener;
    TestClient client(&listener);
    auto message = Message({"ops@site"});
    client.SetHost("127.0.0.1", server.Port());
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return !listener.attempts.empty(); }));
    EXPECT_EQ(log.Of(0), (Commands{"HELO localhost\r\n", "QUIT\r\n"}));
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{PermanentFailure});
}

// Also resolves the host name off the GUI thread.
TEST(SmtpLoopback, DeferredRecipientThenDelivery)
{
    Transcript log;
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            peer.Write("220 loopback\r\n");
            Exchange(peer, log, 0, "250 hello\r\n");
            Exchange(peer, log, 0, "250 ok\r\n");
            Exchange(peer, log, 0, "452 too many recipients\r\n");
            Exchange(peer, log, 0, "354 go\r\n");
            ReadData(peer, log, 0);
            peer.Write("250 queued\r\n");
            Exchange(peer, log, 0, "221 bye\r\n");
        });
    RecordingListener listener;
    TestClient client(&listener);
    auto message = Message({"a@site", "b@site"});
    client.SetHost("localhost", server.Port());
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return !listener.attempts.empty(); }));
    const auto sent = log.Of(0);
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[2], "RCPT TO:<a@site>\r\n");
    EXPECT_EQ(sent[3], "DATA\r\n");
    EXPECT_EQ(listener.recipients,
              (std::vector<std::pair<std::string, MailStatus>>{{"a@site", TemporaryFailure}}));
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{Delivered});
    EXPECT_STREQ(client.GetStateName(), "ClosedState");
    EXPECT_EQ(message->GetPending(), (Commands{"b@site", "a@site"}));
}

// Also connects through a numeric service name instead of a port.
TEST(SmtpLoopback, ServiceClosingDuringRecipients)
{
    Transcript log;
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            peer.Write("220 loopback\r\n");
            Exchange(peer, log, 0, "250 hello\r\n");
            Exchange(peer, log, 0, "250 ok\r\n");
            Exchange(peer, log, 0, "421 closing down\r\n");
            Exchange(peer, log, 0, "221 bye\r\n");
        });
    RecordingListener listener;
    listener.stopAfter = 1;
    TestClient client(&listener);
    auto message = Message({"a@site", "b@site"});
    client.SetHost("127.0.0.1", wxString::Format("%u", server.Port()));
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return !listener.attempts.empty(); }));
    EXPECT_EQ(log.Of(0).back(), "QUIT\r\n");
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{TemporaryFailure});
    EXPECT_TRUE(client.IsAtRest());
}

TEST(SmtpLoopback, ConnectionLostAfterDataSendsAllAgain)
{
    Transcript log;
    std::atomic<int> connections{0};
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            const int n = connections++;
            UpToData(peer, log, n);
            ReadData(peer, log, n);
            peer.Write("250 queued\r\n");
            if (n == 0)
                return; // closes without waiting for QUIT
            Exchange(peer, log, n, "221 bye\r\n");
        });
    RecordingListener listener;
    TestClient client(&listener);
    auto message = Message({"ops@site"});
    client.SetHost("127.0.0.1", server.Port());
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return !listener.attempts.empty(); }));
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{TemporaryFailure});
    EXPECT_EQ(client.GetReplyTimer().GetInterval(), 1800 * 1000);

    client.FireRetry();
    ASSERT_TRUE(PumpUntil([&] { return listener.attempts.size() == 2; }));
    EXPECT_EQ(listener.attempts.back(), Delivered);
    const auto first = log.Of(0);
    const auto second = log.Of(1);
    ASSERT_EQ(first.size(), 5u);
    ASSERT_EQ(second.size(), 6u);
    EXPECT_EQ(second[4], Expected(*message, second[4]));
    EXPECT_DOUBLE_EQ(client.GetElapsedRetryTime(), 1800.0);
}

TEST(SmtpLoopback, ReplyTimerExpires)
{
    LoopbackServer server([](PeerConnection& peer) { peer.WaitForClose(); }); // says nothing
    RecordingListener listener;
    listener.stopAfter = 1;
    TestClient client(&listener, 0.005); // the 60 s greeting wait becomes 0.3 s
    auto message = Message({"ops@site"});
    client.SetHost("127.0.0.1", server.Port());
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return !listener.attempts.empty(); }));
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{TemporaryFailure});
    EXPECT_TRUE(client.IsAtRest());
    EXPECT_TRUE(PumpUntil([&] { return server.Finished() == 1; })); // the client hung up
}

TEST(SmtpLoopback, RefusedConnectionsGiveUpAtTheFifthFailure)
{
    RecordingListener listener;
    // Waits of 1800 s and on become 0.18 s and on; no reply timer is involved.
    TestClient client(&listener, 0.0001);
    auto message = Message({"ops@site"});
    client.SetHost("127.0.0.1", UnusedLoopbackPort());
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return listener.attempts.size() == 5; }, 20000));
    const std::vector<MailStatus> expected{TemporaryFailure, TemporaryFailure, TemporaryFailure,
                                           TemporaryFailure, PermanentFailure};
    EXPECT_EQ(listener.attempts, expected);
    EXPECT_DOUBLE_EQ(client.GetElapsedRetryTime(), 1800 + 2700 + 4050 + 6075);
    EXPECT_TRUE(client.IsAtRest());
}

TEST(SmtpLoopback, QuickRetriesUntilTheListenerStops)
{
    Transcript log;
    std::atomic<int> connections{0};
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            const int n = connections++;
            peer.Write("220 loopback\r\n");
            Exchange(peer, log, n, "250 hello\r\n");
            Exchange(peer, log, n, "250 ok\r\n");
            Exchange(peer, log, n, "451 mailbox busy\r\n");
            Exchange(peer, log, n, "451 no data now\r\n");
            Exchange(peer, log, n, "221 bye\r\n");
        });
    RecordingListener listener;
    listener.stopAfter = 3;
    TestClient client(&listener, 0.02); // 20 s quick retries become 0.4 s
    auto message = Message({"a@site", "b@site"});
    client.SetHost("127.0.0.1", server.Port());
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return listener.attempts.size() == 3; }, 15000));
    EXPECT_EQ(listener.attempts,
              (std::vector<MailStatus>{TemporaryFailure, TemporaryFailure, TemporaryFailure}));
    EXPECT_DOUBLE_EQ(client.GetElapsedRetryTime(), 40.0);
    EXPECT_TRUE(client.IsAtRest());
    // The deferred recipient goes to the back of the queue each time.
    EXPECT_EQ(log.Of(0)[2], "RCPT TO:<a@site>\r\n");
    EXPECT_EQ(log.Of(1)[2], "RCPT TO:<b@site>\r\n");
    EXPECT_EQ(log.Of(2)[2], "RCPT TO:<a@site>\r\n");
}

// Regression: what a closed connection still delivers must not reach the
// dialogue that has ended.
TEST(SmtpLoopback, LateInputOfAClosedConnectionIsDropped)
{
    Transcript log;
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            UpToData(peer, log, 0);
            ReadData(peer, log, 0);
            peer.Write("250 queued\r\n");
            Exchange(peer, log, 0, "221 bye\r\n250 stale\r\n554 stale too\r\n");
        });
    RecordingListener listener;
    TestClient client(&listener);
    auto message = Message({"ops@site"});
    client.SetHost("127.0.0.1", server.Port());
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return !listener.attempts.empty(); }));
    PumpUntil([&] { return server.Finished() == 1; });
    PumpFor(100); // room for any late notification
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{Delivered});
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_TRUE(client.GetReceiveBuffer().empty());
}

TEST(SmtpLoopback, FloodWithoutLineEndsFailsTheAttempt)
{
    Transcript log;
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            peer.Write("220 loopback\r\n");
            Exchange(peer, log, 0, "");
            peer.Write(std::string(256 * 1024, 'x'));
            log.Add(0, peer.ReadUntil("\r\n"));
        });
    RecordingListener listener;
    TestClient client(&listener);
    auto message = Message({"ops@site"});
    client.SetHost("127.0.0.1", server.Port());
    client.Send(message.get());
    size_t largest = 0;
    ASSERT_TRUE(PumpUntil(
        [&]
        {
            largest = std::max(largest, client.GetReceiveBuffer().size());
            return !listener.attempts.empty();
        }));
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{PermanentFailure});
    EXPECT_LE(largest, wxCmdlineProtocol::kMaxLineLength);
    EXPECT_TRUE(PumpUntil([&] { return log.Of(0).size() == 2; }));
    EXPECT_EQ(log.Of(0), (Commands{"HELO localhost\r\n", "QUIT\r\n"}));
}

// A message larger than the socket takes at once arrives whole: what the
// socket refuses waits for it to drain.
TEST(SmtpLoopback, LargeMessageArrivesWhole)
{
    Transcript log;
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            UpToData(peer, log, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let the buffers fill
            ReadData(peer, log, 0);
            peer.Write("250 queued\r\n");
            Exchange(peer, log, 0, "221 bye\r\n");
        });
    std::string html;
    for (int i = 0; html.size() < 6 * 1024 * 1024; ++i)
        html += "[ server" + std::to_string(i) + "] ";
    RecordingListener listener;
    TestClient client(&listener);
    auto message = Message({"ops@site"}, html);
    client.SetHost("127.0.0.1", server.Port());
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return !listener.attempts.empty(); }, 20000));
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{Delivered});
    const auto sent = log.Of(0);
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_TRUE(sent[4] == Expected(*message, sent[4])) << "message of " << sent[4].size()
                                                         << " bytes differs";
}

// The end of an attempt found by a timer (no answer to QUIT) leaves the
// client at rest from inside the timer's own notification.
TEST(SmtpLoopback, RestAfterUnansweredQuit)
{
    Transcript log;
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            UpToData(peer, log, 0);
            ReadData(peer, log, 0);
            peer.Write("250 queued\r\n");
            log.Add(0, peer.ReadUntil("\r\n"));
            peer.WaitForClose(); // never answers QUIT
        });
    RecordingListener listener;
    TestClient client(&listener, 0.01); // the 30 s wait for the answer becomes 0.3 s
    int rests = 0;
    client.SetRestHandler([&](wxSMTP& who) { ++rests; EXPECT_TRUE(who.IsAtRest()); });
    auto message = Message({"ops@site"});
    client.SetHost("127.0.0.1", server.Port());
    client.Send(message.get());
    ASSERT_TRUE(PumpUntil([&] { return rests == 1; }));
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{Delivered});
    EXPECT_EQ(log.Of(0).back(), "QUIT\r\n");
}

// Send may come from any thread; the dialogue still runs on the GUI thread.
TEST(SmtpLoopback, SendFromAnotherThread)
{
    Transcript log;
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            UpToData(peer, log, 0);
            ReadData(peer, log, 0);
            peer.Write("250 queued\r\n");
            Exchange(peer, log, 0, "221 bye\r\n");
        });
    RecordingListener listener;
    TestClient client(&listener);
    auto message = Message({"ops@site"});
    client.SetHost("127.0.0.1", server.Port());
    std::thread([&] { client.Send(message.get()); }).join();
    ASSERT_TRUE(PumpUntil([&] { return !listener.attempts.empty(); }));
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{Delivered});
}
