// SendAlarmMail end to end: a scripted SMTP peer on loopback, a real SMTP
// server (aiosmtpd), calls from a scan thread, and the release of finished
// mails.
#include "alarm/alarm_actions.h"
#include "smtp/mail_message.h"
#include "support/loopback_server.h"
#include "support/pump.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <sstream>
#include <thread>

extern char** environ;

namespace
{
const std::string kSender = "corvane-alarm@localhost";
const char kAlarmText[] = "[ TuxSrv01] [ TuxSrv02]  Died!!!";

ActionSettings MailSettings(const wxString& server, const wxString& mailTo = "ops@site")
{
    ActionSettings settings;
    settings.SMTPSvr = server;
    settings.SMTPUsr = "operator";
    settings.SMTPPwd = "secret";
    settings.MailTo = mailTo;
    return settings;
}

wxString Loopback(unsigned short port)
{
    return wxString::Format("127.0.0.1:%u", port);
}

// The commands and the message one connection received.
class Received
{
public:
    void Add(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back(text);
    }
    std::vector<std::string> Items() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_items;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_items;
};

// A server that accepts everything and records what it got.
LoopbackServer::Session Accepting(Received& received)
{
    return [&received](PeerConnection& peer)
    {
        auto exchange = [&](const std::string& reply)
        {
            received.Add(peer.ReadUntil("\r\n"));
            peer.Write(reply);
        };
        peer.Write("220 loopback ESMTP\r\n");
        exchange("250 hello\r\n");
        exchange("250 sender ok\r\n");
        exchange("250 recipient ok\r\n");
        exchange("354 go ahead\r\n");
        received.Add(peer.ReadUntil("\r\n.\r\n"));
        peer.Write("250 queued\r\n");
        exchange("221 bye\r\n");
        peer.WaitForClose();
    };
}

wxString SourceDir()
{
    wxString dir;
    if (wxGetEnv("CORVANE_SOURCE_DIR", &dir) && !dir.empty())
        return dir;
    return CORVANE_TEST_SOURCE_DIR;
}

class AlarmMail : public ::testing::Test
{
protected:
    void TearDown() override
    {
        DropPendingAlarmMails(); // whatever a failed test left behind
    }
};
} // namespace

TEST_F(AlarmMail, DialogueAndMessageBytes)
{
    Received received;
    LoopbackServer server(Accepting(received));
    EXPECT_EQ(SendAlarmMail(MailSettings(Loopback(server.Port()), "ops@site;boss@site"), kAlarmText),
              1);
    EXPECT_EQ(PendingAlarmMailCount(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return PendingAlarmMailCount() == 0; }));

    const auto items = received.Items();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0], "HELO localhost\r\n");
    EXPECT_EQ(items[1], "MAIL FROM:<" + kSender + ">\r\n");
    // The whole MailTo is one recipient, not split at ';'.
    EXPECT_EQ(items[2], "RCPT TO:<ops@site;boss@site>\r\n");
    EXPECT_EQ(items[3], "DATA\r\n");
    EXPECT_EQ(items[5], "QUIT\r\n");

    MailMessage expected("Bug report", "Your code really sucks.\nFix your code", kSender);
    expected.AddAlternative(kAlarmText, "text", "html");
    expected.AddTo("ops@site;boss@site");
    const std::string& data = items[4];
    const std::string mark = "boundary=\"---_";
    const size_t from = data.find(mark) + mark.size();
    std::ostringstream out;
    expected.WriteMessage(out, data.substr(from, data.find("-boundary-", from) - from));
    EXPECT_EQ(data, out.str());
    EXPECT_NE(data.find("To: ops@site;boss@site\r\n"), std::string::npos);
    EXPECT_NE(data.find("\r\nYour code really sucks.\nFix your code\r\n"), std::string::npos);
}

struct MissingSetting
{
    const char* name;
    wxString ActionSettings::*field;
};

class AlarmMailSkipped : public AlarmMail, public ::testing::WithParamInterface<MissingSetting>
{
};

TEST_P(AlarmMailSkipped, IncompleteSettingsSendNothing)
{
    Received received;
    LoopbackServer server(Accepting(received));
    ActionSettings settings = MailSettings(Loopback(server.Port()));
    settings.*(GetParam().field) = wxString();
    EXPECT_EQ(SendAlarmMail(settings, kAlarmText), 1);
    EXPECT_EQ(PendingAlarmMailCount(), 0u);
    PumpFor(50);
    EXPECT_EQ(server.Accepted(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, AlarmMailSkipped,
    ::testing::Values(MissingSetting{"Password", &ActionSettings::SMTPPwd},
                      MissingSetting{"Server", &ActionSettings::SMTPSvr},
                      MissingSetting{"User", &ActionSettings::SMTPUsr},
                      MissingSetting{"MailTo", &ActionSettings::MailTo}),
    [](const auto& info) { return std::string(info.param.name); });

// Started on a scan thread, the mail runs on the GUI thread; the server is
// named by host name and port.
TEST_F(AlarmMail, FromAScanThread)
{
    Received received;
    LoopbackServer server(Accepting(received));
    int result = 0;
    std::thread scan(
        [&]
        {
            result = SendAlarmMail(
                MailSettings(wxString::Format("localhost:%u", server.Port())), kAlarmText);
        });
    scan.join();
    EXPECT_EQ(result, 1);
    ASSERT_TRUE(PumpUntil([&] { return received.Items().size() == 6; }));
    EXPECT_EQ(received.Items()[2], "RCPT TO:<ops@site>\r\n");
    EXPECT_TRUE(PumpUntil([&] { return PendingAlarmMailCount() == 0; }));
}

// Regression for the client and message of every alarm mail living forever:
// a mail given up is released like a delivered one.
TEST_F(AlarmMail, GivenUpMailIsReleased)
{
    std::atomic<int> quits{0};
    LoopbackServer server(
        [&](PeerConnection& peer)
        {
            peer.Write("554 no service here\r\n");
            if (peer.ReadUntil("\r\n") == "QUIT\r\n")
                ++quits;
            peer.Write("221 bye\r\n");
        });
    SendAlarmMail(MailSettings(Loopback(server.Port())), kAlarmText);
    EXPECT_EQ(PendingAlarmMailCount(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return PendingAlarmMailCount() == 0; }));
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(server.Accepted(), 1);
}

// A mail waiting for its retry stays until the program exits, which drops it.
TEST_F(AlarmMail, PendingMailsAreDroppedAtExit)
{
    SendAlarmMail(MailSettings(Loopback(UnusedLoopbackPort())), kAlarmText);
    SendAlarmMail(MailSettings(Loopback(UnusedLoopbackPort())), kAlarmText);
    PumpFor(100); // both connections are refused; the retries wait 30 minutes
    EXPECT_EQ(PendingAlarmMailCount(), 2u);
    DropPendingAlarmMails();
    EXPECT_EQ(PendingAlarmMailCount(), 0u);
    PumpFor(50); // nothing left behind fires
}

// Interoperability with a real SMTP server from Debian's archive.
TEST_F(AlarmMail, DeliveredToAiosmtpd)
{
    TempHome outdir;
    const std::string script = std::string(SourceDir().utf8_str()) + "/tests/alarm/smtp_sink.py";
    const std::string dir = std::string(outdir.Dir().utf8_str());
    std::vector<char*> argv{const_cast<char*>("/usr/bin/python3"), const_cast<char*>(script.c_str()),
                            const_cast<char*>(dir.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    struct Stop
    {
        pid_t pid;
        ~Stop()
        {
            ::kill(pid, SIGTERM);
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
    } stop{pid};

    ASSERT_TRUE(PumpUntil([&] { return outdir.Exists("port"); }, 20000)) << "aiosmtpd did not start";
    const wxString port = wxString::FromUTF8(ReadFileBytes(outdir.File("port")));
    const wxString alarm = wxString::FromUTF8("[ WlsSrv\xc3\xa9] Free heap < 10%");
    SendAlarmMail(MailSettings("127.0.0.1:" + port, "ops@example.com"), alarm);
    ASSERT_TRUE(PumpUntil([&] { return outdir.Exists("mail1/done"); }, 10000));

    EXPECT_EQ(ReadFileBytes(outdir.File("mail1/mail_from")), kSender);
    EXPECT_EQ(ReadFileBytes(outdir.File("mail1/rcpt_tos")), "ops@example.com\n");
    EXPECT_EQ(ReadFileBytes(outdir.File("mail1/subject")), "Bug report");
    EXPECT_EQ(ReadFileBytes(outdir.File("mail1/from")), kSender);
    EXPECT_EQ(ReadFileBytes(outdir.File("mail1/to")), "ops@example.com");
    EXPECT_EQ(ReadFileBytes(outdir.File("mail1/html")), std::string(alarm.utf8_str()));
    // The CR LF before a boundary belongs to the boundary; the bare LF stays.
    EXPECT_EQ(ReadFileBytes(outdir.File("mail1/plain")), "Your code really sucks.\nFix your code");
    EXPECT_TRUE(PumpUntil([&] { return PendingAlarmMailCount() == 0; }));
}
