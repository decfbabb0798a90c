#pragma once

#include <string>

#include <sys/types.h>

// A throw-away self-signed certificate (its own CA) and its key, made with
// `openssl req` in dir: <stem>.pem and <stem>.key. names is the subject
// alternative name list, e.g. "DNS:localhost,IP:127.0.0.1". Empty paths when
// openssl failed.
struct TestCertificate
{
    std::string cert;
    std::string key;
};
TestCertificate MakeTestCertificate(const std::string& dir, const std::string& stem,
                                    const std::string& names);

// Real SMTP servers (aiosmtpd, through tests/alarm/smtp_sink.py) on free
// loopback ports: "plain", and with a certificate "starttls" and "implicit"
// (see the script for what each does). Every message they accept lands in
// outDir/mailN/. Stopped by the destructor.
class AiosmtpdPeer
{
public:
    struct Options
    {
        TestCertificate tls; // none: only the plain server
        std::string login;   // "user:password" the TLS servers require
        bool bare = false;   // keep only the count of messages, not their parts
    };

    AiosmtpdPeer(const std::string& outDir, const Options& options);
    ~AiosmtpdPeer();
    AiosmtpdPeer(const AiosmtpdPeer&) = delete;
    AiosmtpdPeer& operator=(const AiosmtpdPeer&) = delete;

    // Waits (without an event loop: the servers run in their own process)
    // until every server listens; false when they did not in time.
    bool WaitReady(int timeoutMs = 20000);
    // The port of a server by name; 0 when it does not run.
    unsigned short Port(const std::string& server) const;
    // Messages accepted so far, and one file of message n (from 1).
    int Delivered() const;
    std::string Part(int n, const std::string& name) const;

private:
    std::string m_outDir;
    pid_t m_pid = -1;
};

// The servers of an AiosmtpdPeer with TLS, in a temporary folder of their
// own (removed after): the certificate names "localhost" only, and the TLS
// servers want the login kUser / kPassword. Meant for a whole test suite.
class TlsSmtpPeer
{
public:
    static constexpr const char* kUser = "operator";
    static constexpr const char* kPassword = "s3cret";

    explicit TlsSmtpPeer(bool bare = false);
    ~TlsSmtpPeer();

    // openssl made the certificate and every server listens.
    bool Ready() const { return m_ready; }
    AiosmtpdPeer& Peer() { return *m_peer; }
    // The server's certificate: the CA file a client must trust.
    const std::string& CaFile() const { return m_cert.cert; }

private:
    std::string m_dir;
    TestCertificate m_cert;
    AiosmtpdPeer* m_peer = nullptr;
    bool m_ready = false;
};

// The source tree: CORVANE_SOURCE_DIR, else where this was built from.
std::string TestSourceDir();
