// wxSMTP against real SMTP servers (aiosmtpd from Debian's archive) on
// loopback: what servers in everyday use answer, TLS with a throw-away
// certificate, and logins. One server process serves the whole suite.
#include "smtp/smtp_client.h"
#include "support/pump.h"
#include "support/smtp_peer.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
const char* const kLogin = AiosmtpdPeer::kUser;
const char* const kPassword = AiosmtpdPeer::kPassword;

class RecordingListener : public wxSMTPListener
{
public:
    void OnMessageStatus(MailStatus status, bool& stopRetrying) override
    {
        attempts.push_back(status);
        stopRetrying = status == TemporaryFailure && stop;
    }
    std::vector<MailStatus> attempts;
    bool stop = false;
};

class SmtpServer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_peer = new AiosmtpdPeer("", true);
        s_ready = s_peer->WaitReady();
    }
    static void TearDownTestSuite() { delete s_peer; }
    void SetUp() override { ASSERT_TRUE(s_ready) << "openssl or aiosmtpd did not start"; }

    // One mail to `to` through the named server, timers scaled by timeScale;
    // runs until the client rests.
    void Deliver(const std::string& server, const std::string& host, std::vector<std::string> to,
                 const std::string& caFile, const std::string& password = kPassword,
                 double timeScale = 1.0)
    {
        message = std::make_unique<MailMessage>("Corvane alarm", body, "alarm@corvane.test");
        for (const auto& address : to)
            message->AddTo(address);
        client = std::make_unique<wxSMTP>(&listener, timeScale);
        client->SetHost(wxString::FromUTF8(host), s_peer->Port(server));
        client->SetImplicitTls(server == "implicit");
        client->SetCaFile(caFile);
        client->SetLogin(kLogin, password, false);
        client->Send(message.get());
        ASSERT_TRUE(PumpUntil([&] { return client->IsAtRest(); }, 10000))
            << "still in " << client->GetStateName();
    }

    static AiosmtpdPeer* s_peer;
    static bool s_ready;

    std::string body = "A line\nthen a bare LF\r\n.hidden behind a dot\r\n.\r\nlast";
    RecordingListener listener;
    std::unique_ptr<MailMessage> message;
    std::unique_ptr<wxSMTP> client;
};

AiosmtpdPeer* SmtpServer::s_peer = nullptr;
bool SmtpServer::s_ready = false;
} // namespace

// A three-line greeting and a multi-line EHLO reply; the message arrives with
// CR LF after every line and the lines that start with "." intact. (A refused
// recipient among others is delivered in tests/alarm.)
TEST_F(SmtpServer, PlainDeliveryKeepsTheLinesWhole)
{
    const int before = s_peer->Delivered();
    Deliver("plain", "127.0.0.1", {"ops@corvane.test"}, "");
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{Delivered});
    ASSERT_EQ(s_peer->Delivered(), before + 1);
    const int n = before + 1;
    EXPECT_EQ(s_peer->Part(n, "rcpt_tos"), "ops@corvane.test\n");
    const std::string known = wxCmdlineProtocol::KnownLocalName();
    EXPECT_EQ(s_peer->Part(n, "ehlo"), known.empty() ? "[127.0.0.1]" : known);
    const std::string raw = s_peer->Part(n, "raw");
    EXPECT_NE(raw.find("\r\nA line\r\nthen a bare LF\r\n.hidden behind a dot\r\n.\r\nlast\r\n"),
              std::string::npos)
        << raw;
    for (size_t at = raw.find('\n'); at != std::string::npos; at = raw.find('\n', at + 1))
        ASSERT_TRUE(at > 0 && raw[at - 1] == '\r') << "bare LF at " << at << " of\n" << raw;
}

// Greylisting: the only recipient is refused for now, so no data goes; the
// quick retry (20 s, run a hundred times faster) delivers.
TEST_F(SmtpServer, GreylistedThenDeliveredOnTheQuickRetry)
{
    const int before = s_peer->Delivered();
    Deliver("plain", "127.0.0.1", {"greylisted@corvane.test"}, "", kPassword, 0.01);
    EXPECT_EQ(listener.attempts, (std::vector<MailStatus>{TemporaryFailure, Delivered}));
    EXPECT_DOUBLE_EQ(client->GetElapsedRetryTime(), 20.0);
    ASSERT_EQ(s_peer->Delivered(), before + 1);
    EXPECT_EQ(s_peer->Part(before + 1, "rcpt_tos"), "greylisted@corvane.test\n");
}

struct TlsCase
{
    const char* name;
    const char* server; // "starttls" or "implicit"
    const char* host;
    bool trustCertificate; // the CA file names the server's certificate
    const char* password;
    MailStatus status;
    const char* reason; // what GetFailureReason() starts with
};

class SmtpServerTls : public SmtpServer, public ::testing::WithParamInterface<TlsCase>
{
};

TEST_P(SmtpServerTls, DeliversOnlyOverAVerifiedConnection)
{
    const TlsCase& c = GetParam();
    const int before = s_peer->Delivered();
    Deliver(c.server, c.host, {"ops@corvane.test"}, c.trustCertificate ? s_peer->CaFile() : "",
            c.password);
    EXPECT_EQ(listener.attempts, std::vector<MailStatus>{c.status});
    EXPECT_EQ(client->GetFailureReason().substr(0, std::string(c.reason).size()), c.reason)
        << client->GetFailureReason();
    const bool delivered = c.status == Delivered;
    ASSERT_EQ(s_peer->Delivered(), before + (delivered ? 1 : 0));
    if (delivered)
    {
        EXPECT_EQ(s_peer->Part(before + 1, "tls"), "yes");
        EXPECT_EQ(s_peer->Part(before + 1, "login"), kLogin);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, SmtpServerTls,
    ::testing::Values(
        TlsCase{"StartTlsThenLogin", "starttls", "localhost", true, kPassword, Delivered, ""},
        TlsCase{"ImplicitTls", "implicit", "localhost", true, kPassword, Delivered, ""},
        TlsCase{"WrongPassword", "starttls", "localhost", true, "wrong", PermanentFailure,
                "535 5.7.8 Authentication credentials invalid"},
        // the certificate names localhost, not the address asked for
        TlsCase{"CertificateOfAnotherHost", "starttls", "127.0.0.1", true, kPassword,
                PermanentFailure, "TLS: certificate verification failed: IP address mismatch"},
        TlsCase{"CertificateNotTrusted", "implicit", "localhost", false, kPassword,
                PermanentFailure, "TLS: certificate verification failed: self-signed"}),
    [](const auto& info) { return std::string(info.param.name); });
