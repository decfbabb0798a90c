#pragma once

#include <memory>
#include <string>

// The client side of one TLS connection, kept off the socket: OpenSSL works
// on memory buffers, the caller moves the bytes. Encrypted bytes from the
// network go in through FeedCipher, what must go on the wire comes out of
// TakeCipher; plain text goes in through WritePlain and comes out of
// ReadPlain. Nothing here waits, so the event-driven client stays as it is.
//
// The server's certificate is checked against the system's CA store (and an
// extra CA file when given) and against the host name (or address) the
// client asked for; a failed check fails the session with its reason.
class TlsSession
{
public:
    // Null, with the reason in error, when no session can be made (an
    // unreadable CA file, for example).
    static std::unique_ptr<TlsSession> Create(const std::string& host, const std::string& caFile,
                                              std::string& error);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Bytes received from the network.
    void FeedCipher(const char* data, size_t count);
    // Plain text to send; held back until the handshake is done.
    void WritePlain(const std::string& bytes);
    // Plain text decrypted so far (drives the handshake too).
    std::string ReadPlain();
    // Bytes to put on the wire now.
    std::string TakeCipher();
    // Queues the closing alert (TakeCipher gives it).
    void Shutdown();

    bool Established() const { return m_established; }
    bool Failed() const { return !m_error.empty(); }
    // Why the session failed: a certificate check, or a protocol error.
    const std::string& Error() const { return m_error; }

private:
    struct Impl;
    explicit TlsSession(std::unique_ptr<Impl> impl);
    void Advance();
    void SetFailure(int result);

    std::unique_ptr<Impl> m_impl;
    std::string m_pendingPlain;
    bool m_established = false;
    std::string m_error;
};
