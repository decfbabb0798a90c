// wxSMTP on a real socket against a scripted SMTP peer on loopback; the GUI
// event loop delivers the socket notifications and the timers. What the
// dialogue decides is proved against scripted lines in smtp_dialogue_test,
// what real servers answer in smtp_server_test; here are the parts only a
// real connection shows.
#include "smtp/smtp_client.h"
#include "support/loopback_server.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace
{
using Statuses = std::vector<MailStatus>;
using Texts = std::vector<std::string>;

class RecordingListener : public wxSMTPListener
{
public:
    void OnMessageStatus(MailStatus status, bool& stopRetrying) override
    {
        attempts.push_back(status);
        stopRetrying = stop;
    }
    Statuses attempts;
    bool stop = false;
};

// What the peer received, one entry per command or message, per connection.
struct Transcript
{
    std::mutex mutex;
    std::map<int, Texts> entries;

    void Add(int connection, const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        entries[connection].push_back(text);
    }
    Texts Of(int connection)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return entries[connection];
    }
};

// One scripted connection: reads commands, records them, answers.
struct Peer
{
    PeerConnection& peer;
    Transcript& log;
    int connection;

    void Exchange(const std::string& reply)
    {
        log.Add(connection, peer.ReadUntil("\r\n"));
        peer.Write(reply);
    }
    // A well-behaved server up to and including the 354 reply.
    void UpToData()
    {
        peer.Write("220 loopback ESMTP\r\n");
        for (const char* reply : {"250 hello\r\n", "250 sender ok\r\n", "250 recipient ok\r\n",
                                  "354 end with .\r\n"})
            Exchange(reply);
    }
    // Reads the message up to and including the end-of-data line, in chunks,
    // and accepts it.
    void ReadData()
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
        peer.Write("250 queued\r\n");
    }
};

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

// One alarm mail to ops@site through a client whose timers run timeScale as
// long as designed.
class SmtpLoopback : public ::testing::Test
{
protected:
    TestClient& Client(double timeScale = 1.0, const std::string& html = "<b>[ srv1] Died!!!</b>")
    {
        message = std::make_unique<MailMessage>(
            "Bug report", "Your code really sucks.\nFix your code", "from@here");
        message->AddAlternative(html, "text", "html");
        message->AddTo("ops@site");
        client = std::make_unique<TestClient>(&listener, timeScale);
        return *client;
    }
    void Send(const wxString& host, unsigned short port)
    {
        client->SetHost(host, port);
        client->Send(message.get());
    }
    bool Attempts(size_t n, int timeoutMs = 5000)
    {
        return PumpUntil([&] { return listener.attempts.size() >= n; }, timeoutMs);
    }

    Transcript log;
    RecordingListener listener;
    std::unique_ptr<MailMessage> message;
    std::unique_ptr<TestClient> client;
};
} // namespace

// Regression: what a closed connection still delivers must not reach the
// dialogue that has ended. Also resolves the host name off the GUI thread.
TEST_F(SmtpLoopback, LateInputOfAClosedConnectionIsDropped)
{
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            Peer p{peer, log, 0};
            p.UpToData();
            p.ReadData();
            p.Exchange("221 bye\r\n250 stale\r\n554 stale too\r\n");
            peer.WaitForClose();
        });
    Client();
    Send("localhost", server.Port());
    ASSERT_TRUE(Attempts(1));
    EXPECT_TRUE(client->IsAtRest());
    EXPECT_EQ(log.Of(0).back(), "QUIT\r\n");
    EXPECT_TRUE(PumpUntil([&] { return server.Finished() == 1; })); // we closed
    PumpFor(100); // room for any late notification
    EXPECT_EQ(listener.attempts, Statuses{Delivered});
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_TRUE(client->GetReceiveBuffer().empty());
}

TEST_F(SmtpLoopback, ConnectionLostAfterDataSendsAllAgain)
{
    std::atomic<int> connections{0};
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            Peer p{peer, log, connections++};
            p.UpToData();
            p.ReadData();
            if (p.connection > 0) // the first closes without waiting for QUIT
                p.Exchange("221 bye\r\n");
        });
    Client();
    Send("127.0.0.1", server.Port());
    ASSERT_TRUE(Attempts(1));
    EXPECT_EQ(listener.attempts, Statuses{TemporaryFailure});
    EXPECT_EQ(client->GetReplyTimer().GetInterval(), 1800 * 1000);

    client->FireRetry();
    ASSERT_TRUE(Attempts(2));
    EXPECT_EQ(listener.attempts.back(), Delivered);
    ASSERT_EQ(log.Of(0).size(), 5u);
    const Texts second = log.Of(1);
    ASSERT_EQ(second.size(), 6u);
    EXPECT_EQ(second[4], Expected(*message, second[4]));
    EXPECT_DOUBLE_EQ(client->GetElapsedRetryTime(), 1800.0);
}

// A real timer ends the attempt and leaves the client at rest from inside its
// own notification. Also connects through a numeric service name.
TEST_F(SmtpLoopback, ReplyTimerExpires)
{
    LoopbackServer server([](PeerConnection& peer) { peer.WaitForClose(); }); // says nothing
    listener.stop = true;
    int rests = 0;
    Client(0.005).SetRestHandler([&](wxSMTP& who) { ++rests; EXPECT_TRUE(who.IsAtRest()); });
    client->SetHost("127.0.0.1", wxString::Format("%u", server.Port())); // 60 s become 0.3 s
    client->Send(message.get());
    ASSERT_TRUE(Attempts(1));
    EXPECT_EQ(listener.attempts, Statuses{TemporaryFailure});
    EXPECT_EQ(rests, 1);
    EXPECT_TRUE(PumpUntil([&] { return server.Finished() == 1; })); // the client hung up
}

// A message larger than the socket takes at once arrives whole: what the
// socket refuses waits for it to drain.
TEST_F(SmtpLoopback, LargeMessageArrivesWhole)
{
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            Peer p{peer, log, 0};
            p.UpToData();
            std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let the buffers fill
            p.ReadData();
            p.Exchange("221 bye\r\n");
        });
    std::string html;
    for (int i = 0; html.size() < 6 * 1024 * 1024; ++i)
        html += "[ server" + std::to_string(i) + "] ";
    Client(1.0, html);
    Send("127.0.0.1", server.Port());
    ASSERT_TRUE(Attempts(1, 20000));
    EXPECT_EQ(listener.attempts, Statuses{Delivered});
    const Texts sent = log.Of(0);
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_TRUE(sent[4] == Expected(*message, sent[4]))
        << "message of " << sent[4].size() << " bytes differs";
}

