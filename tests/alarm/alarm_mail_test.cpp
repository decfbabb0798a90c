// SendAlarmMail and the test mail: settings into a mail and a client, calls
// from a scan thread, what is logged, and the release of finished mails. The
// SMTP dialogue itself is proved in tests/smtp.
#include "alarm/alarm_actions.h"
#include "support/loopback_server.h"
#include "support/pump.h"
#include "support/smtp_peer.h"

#include <gtest/gtest.h>
#include <wx/log.h>

#include <atomic>
#include <functional>
#include <thread>

namespace
{
const char kAlarmText[] = "[ TuxSrv01] [ TuxSrv02]  Died!!!";

ActionSettings Settings(const wxString& server, const wxString& mailTo = "ops@site")
{
    ActionSettings settings;
    settings.SMTPSvr = server;
    settings.SMTPUsr = AiosmtpdPeer::kUser;
    settings.SMTPPwd = AiosmtpdPeer::kPassword;
    settings.MailTo = mailTo;
    return settings;
}

wxString Loopback(unsigned short port)
{
    return wxString::Format("127.0.0.1:%u", port);
}

// The warnings logged while it lives.
class LogCapture : public wxLog
{
public:
    LogCapture() : m_previous(wxLog::SetActiveTarget(this)) {}
    ~LogCapture() override { wxLog::SetActiveTarget(m_previous); }
    std::vector<wxString> warnings;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& text, const wxLogRecordInfo&) override
    {
        if (level == wxLOG_Warning)
            warnings.push_back(text);
    }

private:
    wxLog* m_previous;
};

class AlarmMail : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_peer = new AiosmtpdPeer("", true);
        s_ready = s_peer->WaitReady();
    }
    static void TearDownTestSuite() { delete s_peer; }
    void TearDown() override
    {
        DropPendingAlarmMails(); // whatever a failed test left behind
    }

    static AiosmtpdPeer* s_peer;
    static bool s_ready;
};

AiosmtpdPeer* AlarmMail::s_peer = nullptr;
bool AlarmMail::s_ready = false;
} // namespace

// Started on a scan thread, the mail goes over STARTTLS with the login, to
// every address of Mail To but the one the server refuses, which is logged.
// The sender is the one set, the alarm text is escaped in the HTML part.
TEST_F(AlarmMail, DeliveredOverTlsToEveryRecipientButTheRefused)
{
    ASSERT_TRUE(s_ready) << "openssl or aiosmtpd did not start";
    AiosmtpdPeer& peer = *s_peer;
    ActionSettings settings =
        Settings(wxString::Format("localhost:%u", peer.Port("starttls")),
                 " ops@corvane.test; refused@corvane.test ,,boss@corvane.test;");
    settings.Mail.Sender = "alarms@site.test";
    settings.Mail.CAFile = s_peer->CaFile();
    const int before = peer.Delivered();
    LogCapture log;
    std::thread scan([&] { SendAlarmMail(settings, "<b>[ srv&1]</b> Died!!!"); });
    scan.join();
    ASSERT_TRUE(PumpUntil(
        [&] { return peer.Delivered() == before + 1 && PendingAlarmMailCount() == 0; }, 10000));

    const int n = before + 1;
    EXPECT_EQ(peer.Part(n, "tls"), "yes");
    EXPECT_EQ(peer.Part(n, "login"), AiosmtpdPeer::kUser);
    EXPECT_EQ(peer.Part(n, "mail_from"), "alarms@site.test");
    EXPECT_EQ(peer.Part(n, "rcpt_tos"), "ops@corvane.test\nboss@corvane.test\n");
    EXPECT_EQ(peer.Part(n, "to"), "ops@corvane.test, refused@corvane.test, boss@corvane.test");
    EXPECT_EQ(peer.Part(n, "subject"), "Bug report");
    EXPECT_EQ(peer.Part(n, "html"), "&lt;b&gt;[ srv&amp;1]&lt;/b&gt; Died!!!");
    ASSERT_EQ(log.warnings.size(), 1u);
    EXPECT_TRUE(log.warnings[0].StartsWith("Alarm mail \"Bug report\" was not delivered to "
                                           "refused@corvane.test: refused@corvane.test: 550"))
        << log.warnings[0];
}

// The test mail's outcome is told, not logged.
TEST_F(AlarmMail, TestMailTellsItsOutcome)
{
    ASSERT_TRUE(s_ready) << "openssl or aiosmtpd did not start";
    ActionSettings settings =
        Settings(wxString::Format("localhost:%u", s_peer->Port("starttls")), "ops@corvane.test");
    settings.Mail.CAFile = s_peer->CaFile();
    LogCapture log;
    wxString outcome;
    SendTestMail(settings, [&](const MailOutcome& o) { outcome = DescribeOutcome(o); });
    ASSERT_TRUE(PumpUntil([&] { return !outcome.empty(); }, 10000));
    EXPECT_EQ(outcome, "Delivered to ops@corvane.test");
    EXPECT_TRUE(log.warnings.empty());
}

struct UnsentSettings
{
    const char* name;
    std::function<void(ActionSettings&)> change;
    bool logged; // incomplete settings are skipped without a word, as designed
};

class AlarmMailNotSent : public AlarmMail, public ::testing::WithParamInterface<UnsentSettings>
{
};

TEST_P(AlarmMailNotSent, NothingReachesTheServer)
{
    LoopbackServer server([](PeerConnection& peer) { peer.Write("220 here\r\n"); });
    ActionSettings settings = Settings(Loopback(server.Port()));
    GetParam().change(settings);
    LogCapture log;
    EXPECT_EQ(SendAlarmMail(settings, kAlarmText), 1);
    EXPECT_EQ(PendingAlarmMailCount(), 0u);
    PumpFor(50);
    EXPECT_EQ(server.Accepted(), 0);
    EXPECT_EQ(log.warnings.size(), GetParam().logged ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, AlarmMailNotSent,
    ::testing::Values(
        UnsentSettings{"NoPassword", [](ActionSettings& s) { s.SMTPPwd.clear(); }, false},
        UnsentSettings{"NoServer", [](ActionSettings& s) { s.SMTPSvr.clear(); }, false},
        UnsentSettings{"NoUser", [](ActionSettings& s) { s.SMTPUsr.clear(); }, false},
        UnsentSettings{"NoMailTo", [](ActionSettings& s) { s.MailTo.clear(); }, false},
        UnsentSettings{"OnlySeparators", [](ActionSettings& s) { s.MailTo = " ; , "; }, false},
        // Regression: a stored line break went out as commands of its own.
        UnsentSettings{"LineBreakInMailTo",
                       [](ActionSettings& s) { s.MailTo = "a@x>\r\nRCPT TO:<spy@x"; }, true},
        UnsentSettings{"LineBreakInSender",
                       [](ActionSettings& s) { s.Mail.Sender = "a@x\nDATA"; }, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MailServerSetting, PortAndImplicitTls)
{
    struct Row
    {
        const char* setting;
        const char* host;
        unsigned short port;
        bool implicitTls;
    };
    const Row rows[] = {
        {"mail.example", "mail.example", 25, false},
        {"mail.example:587", "mail.example", 587, false},
        {"mail.example:465", "mail.example", 465, true},
        // not a port: part of the host name
        {"mail.example:smtp", "mail.example:smtp", 25, false},
        {"mail.example:70000", "mail.example:70000", 25, false},
    };
    for (const Row& row : rows)
    {
        const MailServer server = ParseMailServer(row.setting);
        EXPECT_EQ(server.host, row.host) << row.setting;
        EXPECT_EQ(server.port, row.port) << row.setting;
        EXPECT_EQ(server.implicitTls, row.implicitTls) << row.setting;
    }
}

// Regression for the client and message of every alarm mail living forever:
// a mail given up is released like a delivered one, and the server's reason
// is logged.
TEST_F(AlarmMail, GivenUpMailIsReleasedAndLogged)
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
    LogCapture log;
    SendAlarmMail(Settings(Loopback(server.Port())), kAlarmText);
    EXPECT_EQ(PendingAlarmMailCount(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return PendingAlarmMailCount() == 0; }));
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(log.warnings,
              std::vector<wxString>{
                  "Alarm mail \"Bug report\" was not delivered to ops@site: 554 no service here"});
}

// A mail waiting for its retry stays until the program exits, which drops it.
TEST_F(AlarmMail, PendingMailsAreDroppedAtExit)
{
    SendAlarmMail(Settings(Loopback(UnusedLoopbackPort())), kAlarmText);
    SendAlarmMail(Settings(Loopback(UnusedLoopbackPort())), kAlarmText);
    PumpFor(100); // both connections are refused; the retries wait 30 minutes
    EXPECT_EQ(PendingAlarmMailCount(), 2u);
    DropPendingAlarmMails();
    EXPECT_EQ(PendingAlarmMailCount(), 0u);
    PumpFor(50); // nothing left behind fires
}
