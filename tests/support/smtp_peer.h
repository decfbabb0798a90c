#pragma once

#include <string>

#include <sys/types.h>

// Real SMTP servers (aiosmtpd, through tests/alarm/smtp_sink.py) on free
// loopback ports: "plain", and with TLS also "starttls" and "implicit", which
// present a throw-away certificate for "localhost" only (made with `openssl
// req`) and want the login kUser / kPassword. See the script for what each
// server does. Every message they take lands in OutDir()/mailN/. Stopped,
// and a folder of its own removed, by the destructor.
class AiosmtpdPeer
{
public:
    static constexpr const char* kUser = "operator";
    static constexpr const char* kPassword = "s3cret";

    // outDir empty: a temporary folder of its own. bare: the server keeps
    // only the count of messages, not their parts (timings).
    explicit AiosmtpdPeer(const std::string& outDir, bool tls = false, bool bare = false);
    ~AiosmtpdPeer();
    AiosmtpdPeer(const AiosmtpdPeer&) = delete;
    AiosmtpdPeer& operator=(const AiosmtpdPeer&) = delete;

    // Waits (without an event loop: the servers run in their own process)
    // until every server listens; false when they did not in time.
    bool WaitReady(int timeoutMs = 20000);
    // The port of a server by name; 0 when it does not run.
    unsigned short Port(const std::string& server) const;
    // Messages taken so far, and one file of message n (from 1).
    int Delivered() const;
    std::string Part(int n, const std::string& name) const;
    // The certificate the TLS servers present: the CA file a client must trust.
    const std::string& CaFile() const { return m_caFile; }

private:
    std::string m_outDir;
    bool m_ownDir = false;
    std::string m_caFile;
    pid_t m_pid = -1;
};

// The source tree: CORVANE_SOURCE_DIR, else where this was built from.
std::string TestSourceDir();
