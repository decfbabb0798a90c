#pragma once

#include <wx/event.h>
#include <wx/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TlsSession;
class wxCmdlineProtocol;

// Receives the socket notifications of a wxCmdlineProtocol (id 1) and passes
// on only those of its current connection: every connection gets a new
// generation number, carried as the socket's client data, so notifications a
// closed connection left in the queue are dropped. Also receives the result of
// a host name lookup done off the GUI thread.
class wxCmdlineProtocolSocketEventHandler : public wxEvtHandler
{
public:
    explicit wxCmdlineProtocolSocketEventHandler(wxCmdlineProtocol& owner);
    ~wxCmdlineProtocolSocketEventHandler() override;

    uint32_t Generation() const { return m_generation; }
    uint32_t NextGeneration() { return ++m_generation; }

    // Where a lookup thread delivers its answer; cut off when this handler goes.
    struct LookupTarget;
    std::shared_ptr<LookupTarget> GetLookupTarget() const { return m_lookupTarget; }

private:
    void OnSocketNotification(wxSocketEvent& event);
    void OnLookupDone(wxThreadEvent& event);

    wxCmdlineProtocol& m_owner;
    uint32_t m_generation = 1;
    std::shared_ptr<LookupTarget> m_lookupTarget;

    wxDECLARE_EVENT_TABLE();
};

// A line-oriented protocol client over a non-blocking TCP client socket. It
// never waits inside a handler: connects, reads and writes all return at
// once, and the GUI event loop brings the socket's notifications. Replies are
// framed by CR LF and handed to OnResponse one line at a time.
//
// TLS sits under the framing: with it on, the bytes of the socket pass
// through a TlsSession and the dialogue above sees the same lines and writes
// the same text as without it.
//
// ConnectToHost, SendText, StartTls and Close are the whole of what a derived
// dialogue needs from the connection; a test may override them to run a
// dialogue against a script. GUI thread only.
class wxCmdlineProtocol : public wxSocketClient
{
public:
    // Replies longer than this are not SMTP: each such stretch counts as a
    // reply without a code, and the buffer never grows past it.
    static constexpr size_t kMaxLineLength = 4096;
    static constexpr size_t kReadChunk = 256;

    wxCmdlineProtocol();
    ~wxCmdlineProtocol() override;

    // Ends the current connection; its late notifications are dropped.
    bool Close() override;

    virtual void SetHost(const wxString& host, const wxString& service);
    virtual void SetHost(const wxString& host, unsigned short port);

    virtual void OnConnect(wxSocketEvent& event) = 0;
    virtual void OnDisconnect(wxSocketEvent& event) = 0;
    virtual void OnResponse(const std::string& line) = 0;

    const wxString& GetHost() const { return m_host; }
    const wxString& GetService() const { return m_service; }
    unsigned short GetPort() const { return m_port; }

    // TLS from the first byte of every connection (a port such as 465).
    void SetImplicitTls(bool on) { m_implicitTls = on; }
    bool GetImplicitTls() const { return m_implicitTls; }
    // A PEM file of further CA certificates to trust besides the system's.
    void SetCaFile(const std::string& path) { m_caFile = path; }
    virtual bool IsTlsActive() const { return m_tls != nullptr; }

    // This host's fully qualified name when it has one, found once per
    // process by a look-up thread; empty until then or when it has none.
    static std::string KnownLocalName();

    // Bytes received but not yet handed over as a line.
    const std::string& GetReceiveBuffer() const { return m_receiveBuffer; }

protected:
    // Starts a new connection to the host without waiting: its outcome arrives
    // as a connection-established or connection-lost notification.
    virtual void ConnectToHost();

    // Queues bytes for the connection and writes what the socket takes now;
    // the rest follows as the socket drains.
    virtual void SendText(const std::string& bytes);

    // Starts TLS on the open connection (after STARTTLS was accepted): bytes
    // that came in the clear and were not read yet are dropped; what is sent
    // from here on is encrypted, held back until the handshake is done.
    // False, with the reason, when no session could be made.
    virtual bool StartTls(std::string& error);

    // The TLS layer failed (certificate refused, protocol broken): the
    // connection is of no further use. The base closes it.
    virtual void OnTlsFailure(const std::string& reason);

    // How this host names itself in a greeting: its fully qualified name, else
    // the connection's local address as a literal such as "[192.0.2.7]".
    virtual std::string GreetingName() const;

    // Runs fn on the GUI thread, unless this client is destroyed first.
    void CallAfterOnOwner(std::function<void()> fn);

    // Framing: appends received bytes and hands every complete line to
    // OnResponse, stopping when a line's handling closed the connection.
    void ReceiveBytes(const char* data, size_t count);

private:
    friend class wxCmdlineProtocolSocketEventHandler;

    void OnSocketEvent(wxSocketEvent& event);
    void OnInput(wxSocketEvent& event);
    void OnConnected(wxSocketEvent& event);
    bool TakeConnectionWithInput();
    void OnOutputReady();
    void FlushOutput();
    void UpdateNotifications();
    void StartConnect(const wxString& address, unsigned short port);
    void OnLookupDone(uint32_t generation, bool ok, const wxString& address,
                      unsigned short port);
    void PostLost(uint32_t generation);
    void PostNotification(wxSocketNotify kind, uint32_t generation);
    void ReceiveCipher(const char* data, size_t count);
    void TakeCipherOutput();
    void EndTls();

    wxString m_host;
    wxString m_service;
    unsigned short m_port = 0;
    wxCmdlineProtocolSocketEventHandler* m_handler;
    std::string m_receiveBuffer;

    bool m_insideConnect = false;  // Connect() closes the old socket itself
    bool m_connectSeen = false;    // this connection's start was handled
    std::string m_sendBuffer;      // bytes for the socket (encrypted when TLS is on)

    bool m_implicitTls = false;
    std::string m_caFile;
    std::unique_ptr<TlsSession> m_tls;
};
