#include "smtp/cmdline_protocol.h"

#include "common/text.h"
#include "smtp/tls_session.h"

#include <wx/log.h>
#include <wx/sckaddr.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <system_error>
#include <thread>

namespace
{
// The id under which the socket delivers its notifications to the handler.
constexpr int kSocketId = 1;
// The id of the host lookup results.
constexpr int kLookupId = 2;

constexpr wxSocketEventFlags kBaseNotifications =
    wxSOCKET_INPUT_FLAG | wxSOCKET_CONNECTION_FLAG | wxSOCKET_LOST_FLAG;

void* GenerationData(uint32_t generation)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(generation));
}

struct LookupResult
{
    uint32_t generation = 0;
    bool ok = false;
    std::string address; // dotted IPv4
    unsigned short port = 0;
};

bool IsNumericIpv4(const std::string& host)
{
    in_addr addr{};
    return ::inet_pton(AF_INET, host.c_str(), &addr) == 1;
}

// A name fit for a greeting: dotted, letters, digits and hyphens only, and
// not one of the local names every host has.
bool IsQualifiedName(const std::string& name)
{
    if (name.empty() || name.find('.') == std::string::npos || name.front() == '.' ||
        name.back() == '.' || name.find("..") != std::string::npos ||
        name.compare(0, 9, "localhost") == 0)
        return false;
    for (char c : name)
    {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.')
            return false;
    }
    return true;
}

// This host's fully qualified name, found once per process. Only the
// look-up threads ever wait for it; the GUI thread reads what is known.
std::once_flag g_localNameOnce;
std::atomic<bool> g_localNameKnown{false};
std::mutex g_localNameMutex;
std::string g_localName; // guarded by g_localNameMutex

// The host name when it is dotted, else the canonical name the resolver gives
// for it. Runs on a look-up thread: the resolver may wait on the network.
void FindLocalName()
{
    std::call_once(g_localNameOnce,
                   []
                   {
                       char host[256] = {};
                       std::string name;
                       if (::gethostname(host, sizeof host - 1) == 0)
                       {
                           name = host;
                           addrinfo hints{};
                           hints.ai_family = AF_UNSPEC;
                           hints.ai_flags = AI_CANONNAME;
                           addrinfo* found = nullptr;
                           if (!IsQualifiedName(name) &&
                               ::getaddrinfo(host, nullptr, &hints, &found) == 0 && found)
                           {
                               if (found->ai_canonname)
                                   name = found->ai_canonname;
                               ::freeaddrinfo(found);
                           }
                       }
                       std::lock_guard<std::mutex> lock(g_localNameMutex);
                       g_localName = IsQualifiedName(name) ? name : std::string();
                       g_localNameKnown = true;
                   });
}

bool LocalNameKnown()
{
    return g_localNameKnown;
}

// Runs on a lookup thread: name resolution can take many seconds and must
// not stall the GUI thread.
LookupResult Lookup(uint32_t generation, const std::string& host, const std::string& service,
                    unsigned short port)
{
    LookupResult result;
    result.generation = generation;
    FindLocalName();
    if (port != 0 && IsNumericIpv4(host))
    {
        result.ok = true;
        result.address = host;
        result.port = port;
        return result;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), port ? nullptr : service.c_str(), &hints,
                                      &found) != 0 || !found)
        return result;
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    char text[INET_ADDRSTRLEN] = {};
    if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
    {
        result.ok = true;
        result.address = text;
        result.port = port ? port : ntohs(in->sin_port);
    }
    ::freeaddrinfo(found);
    return result;
}
} // namespace

struct wxCmdlineProtocolSocketEventHandler::LookupTarget
{
    std::mutex mutex;
    wxEvtHandler* handler = nullptr;
};

wxBEGIN_EVENT_TABLE(wxCmdlineProtocolSocketEventHandler, wxEvtHandler)
    EVT_SOCKET(kSocketId, wxCmdlineProtocolSocketEventHandler::OnSocketNotification)
wxEND_EVENT_TABLE()

wxCmdlineProtocolSocketEventHandler::wxCmdlineProtocolSocketEventHandler(wxCmdlineProtocol& owner)
    : m_owner(owner), m_lookupTarget(std::make_shared<LookupTarget>())
{
    m_lookupTarget->handler = this;
    Bind(wxEVT_THREAD, &wxCmdlineProtocolSocketEventHandler::OnLookupDone, this, kLookupId);
}

wxCmdlineProtocolSocketEventHandler::~wxCmdlineProtocolSocketEventHandler()
{
    std::lock_guard<std::mutex> lock(m_lookupTarget->mutex);
    m_lookupTarget->handler = nullptr;
}

void wxCmdlineProtocolSocketEventHandler::OnSocketNotification(wxSocketEvent& event)
{
    if (reinterpret_cast<uintptr_t>(event.GetClientData()) != m_generation)
        return; // left behind by a connection that has been closed since
    m_owner.OnSocketEvent(event);
}

void wxCmdlineProtocolSocketEventHandler::OnLookupDone(wxThreadEvent& event)
{
    const auto result = event.GetPayload<LookupResult>();
    if (result.generation != m_generation)
        return;
    m_owner.OnLookupDone(result.generation, result.ok, wxString::FromUTF8(result.address),
                         result.port);
}

wxCmdlineProtocol::wxCmdlineProtocol()
    : wxSocketClient(wxSOCKET_NOWAIT), m_handler(new wxCmdlineProtocolSocketEventHandler(*this))
{
}

wxCmdlineProtocol::~wxCmdlineProtocol()
{
    Notify(false);
    wxSocketClient::Close();
    delete m_handler; // takes its queued notifications with it
    m_handler = nullptr;
}

bool wxCmdlineProtocol::Close()
{
    // Connect() closes the previous socket itself; that must not start a new
    // generation behind the one the new connection was given.
    if (!m_insideConnect)
    {
        m_handler->NextGeneration();
        m_receiveBuffer.clear();
        m_sendBuffer.clear();
        EndTls();
    }
    return wxSocketClient::Close();
}

void wxCmdlineProtocol::EndTls()
{
    if (!m_tls)
        return;
    // A polite close_notify when the socket takes it at once; nobody waits
    // for it.
    m_tls->Shutdown();
    const std::string alert = m_tls->TakeCipher();
    if (!alert.empty() && IsConnected())
        ::send(static_cast<int>(GetSocket()), alert.data(), alert.size(),
               MSG_NOSIGNAL | MSG_DONTWAIT);
    m_tls.reset();
}

std::string wxCmdlineProtocol::KnownLocalName()
{
    std::lock_guard<std::mutex> lock(g_localNameMutex);
    return g_localName;
}

std::string wxCmdlineProtocol::GreetingName() const
{
    const std::string name = KnownLocalName();
    if (!name.empty())
        return name;
    wxIPV4address local;
    if (IsOk() && GetLocal(local) && !local.IPAddress().empty())
        return "[" + ToUtf8(local.IPAddress()) + "]";
    return "[127.0.0.1]";
}

void wxCmdlineProtocol::CallAfterOnOwner(std::function<void()> fn)
{
    // Queued on the handler this client owns: a client destroyed before the
    // call runs takes the call with it.
    m_handler->CallAfter(std::move(fn));
}

void wxCmdlineProtocol::SetHost(const wxString& host, const wxString& service)
{
    m_host = host;
    m_service = service;
    m_port = 0;
}

void wxCmdlineProtocol::SetHost(const wxString& host, unsigned short port)
{
    m_host = host;
    m_service.clear();
    m_port = port;
}

void wxCmdlineProtocol::ConnectToHost()
{
    if (IsConnected())
        Close();
    m_receiveBuffer.clear();
    m_sendBuffer.clear();
    m_tls.reset();

    const uint32_t generation = m_handler->NextGeneration();
    SetClientData(GenerationData(generation));
    SetTimeout(60);
    SetEventHandler(*m_handler, kSocketId);
    SetNotify(kBaseNotifications);
    Notify(true);

    const std::string host = ToUtf8(m_host);
    if (m_port != 0 && IsNumericIpv4(host) && LocalNameKnown())
    {
        StartConnect(m_host, m_port);
        return;
    }
    std::shared_ptr<wxCmdlineProtocolSocketEventHandler::LookupTarget> target =
        m_handler->GetLookupTarget();
    try
    {
        std::thread(
            [target, generation, host, service = ToUtf8(m_service), port = m_port]
            {
                LookupResult result = Lookup(generation, host, service, port);
                std::lock_guard<std::mutex> lock(target->mutex);
                if (!target->handler)
                    return; // the client is gone
                auto* event = new wxThreadEvent(wxEVT_THREAD, kLookupId);
                event->SetPayload(result);
                wxQueueEvent(target->handler, event);
            })
            .detach();
    }
    catch (const std::system_error& e)
    {
        // Out of threads: this attempt fails like an unreachable host and the
        // dialogue's retry comes back later.
        wxLogWarning("Mail: cannot start the look-up of %s: %s", m_host, e.what());
        PostLost(generation);
    }
}

void wxCmdlineProtocol::OnLookupDone(uint32_t generation, bool ok, const wxString& address,
                                     unsigned short port)
{
    if (!ok)
    {
        PostLost(generation);
        return;
    }
    StartConnect(address, port);
}

void wxCmdlineProtocol::StartConnect(const wxString& address, unsigned short port)
{
    const uint32_t generation = m_handler->Generation();
    wxIPV4address addr;
    if (!addr.Hostname(address) || !addr.Service(port))
    {
        PostLost(generation);
        return;
    }
    m_connectSeen = false;
    m_insideConnect = true;
    const bool connected = Connect(addr, false);
    m_insideConnect = false;
    if (connected)
        PostNotification(wxSOCKET_CONNECTION, generation); // done at once: say so as usual
    else if (LastError() != wxSOCKET_WOULDBLOCK)
        PostLost(generation);
    // else still in progress: the socket reports the outcome
}

void wxCmdlineProtocol::PostLost(uint32_t generation)
{
    PostNotification(wxSOCKET_LOST, generation);
}

void wxCmdlineProtocol::PostNotification(wxSocketNotify kind, uint32_t generation)
{
    wxSocketEvent event(kSocketId);
    event.m_event = kind;
    event.m_clientData = GenerationData(generation);
    event.SetEventObject(this);
    m_handler->AddPendingEvent(event);
}

void wxCmdlineProtocol::OnSocketEvent(wxSocketEvent& event)
{
    switch (event.GetSocketEvent())
    {
    case wxSOCKET_INPUT:
        if (!m_connectSeen)
        {
            // The server spoke before its connection was reported: the
            // connection is handled first, so that the dialogue sees it in
            // its order. Its own notice, when it comes, is dropped.
            const uint32_t generation = m_handler->Generation();
            if (!IsConnected() && !TakeConnectionWithInput())
                break;
            OnConnected(event);
            if (m_handler->Generation() != generation)
                break;
        }
        OnInput(event);
        break;
    case wxSOCKET_OUTPUT:
        OnOutputReady();
        break;
    case wxSOCKET_CONNECTION:
        OnConnected(event);
        break;
    case wxSOCKET_LOST:
        OnDisconnect(event);
        break;
    default:
        break;
    }
}

void wxCmdlineProtocol::OnConnected(wxSocketEvent& event)
{
    if (m_connectSeen)
        return;
    m_connectSeen = true;
    if (m_implicitTls)
    {
        std::string error;
        if (!StartTls(error))
        {
            OnTlsFailure(error);
            return;
        }
    }
    // With implicit TLS the greeting arrives once the handshake is done.
    OnConnect(event);
}

// wxBase's epoll loop (a program without a GUI) reports a socket that became
// writable and readable in one wake-up as readable only. When the connection
// completes and the server's greeting is already there, the completion is
// never reported, Read() gives nothing on a socket wx still counts as
// connecting, and the input notice comes back at once, for ever: the program
// spins and the mail never leaves. Input proves the connection is up; tell wx.
bool wxCmdlineProtocol::TakeConnectionWithInput()
{
    if (IsClosed())
        return false;
    int error = 0;
    int length = sizeof error;
    if (!GetOption(SOL_SOCKET, SO_ERROR, &error, &length) || error != 0)
    {
        PostLost(m_handler->Generation());
        return false;
    }
    OnRequest(wxSOCKET_CONNECTION);
    return IsConnected();
}

void wxCmdlineProtocol::OnInput(wxSocketEvent&)
{
    if (!IsOk())
        return;
    // TLS records are up to 16 KiB: read them whole.
    char chunk[16 * 1024 + 512];
    Read(chunk, m_tls ? sizeof chunk : kReadChunk);
    const wxUint32 got = LastReadCount();
    if (got > 0)
    {
        if (m_tls)
            ReceiveCipher(chunk, got);
        else
            ReceiveBytes(chunk, got);
    }
    // Whatever is still unread raises the next input notification.
}

bool wxCmdlineProtocol::StartTls(std::string& error)
{
    // Nothing that came in the clear may pass for what the server says over
    // TLS (a reply smuggled in behind the one that accepted STARTTLS).
    m_receiveBuffer.clear();
    m_tls = TlsSession::Create(ToUtf8(m_host), m_caFile, error);
    if (!m_tls)
        return false;
    TakeCipherOutput(); // the client's hello
    return true;
}

void wxCmdlineProtocol::OnTlsFailure(const std::string&)
{
    Close();
}

void wxCmdlineProtocol::ReceiveCipher(const char* data, size_t count)
{
    const uint32_t generation = m_handler->Generation();
    m_tls->FeedCipher(data, count);
    const std::string plain = m_tls->ReadPlain();
    TakeCipherOutput();
    if (!plain.empty())
        ReceiveBytes(plain.data(), plain.size());
    if (m_handler->Generation() != generation || !m_tls)
        return; // a reply ended the connection
    if (m_tls->Failed())
    {
        const std::string reason = m_tls->Error();
        m_tls.reset(); // nothing more goes through it, not even the closing alert
        OnTlsFailure(reason);
    }
}

void wxCmdlineProtocol::TakeCipherOutput()
{
    const std::string cipher = m_tls->TakeCipher();
    if (cipher.empty())
        return;
    m_sendBuffer += cipher;
    FlushOutput();
}

void wxCmdlineProtocol::ReceiveBytes(const char* data, size_t count)
{
    const uint32_t generation = m_handler->Generation();
    m_receiveBuffer.append(data, count);
    while (m_handler->Generation() == generation)
    {
        const size_t end = m_receiveBuffer.find("\r\n");
        if (end == std::string::npos)
        {
            if (m_receiveBuffer.size() <= kMaxLineLength)
                return; // wait for the rest of the line
            // A flood without CR LF: every full buffer of it counts as a
            // reply without a code. A trailing CR stays: its LF may follow.
            const bool cr = m_receiveBuffer.back() == '\r';
            m_receiveBuffer.assign(cr ? "\r" : "");
            OnResponse(std::string());
            continue;
        }
        if (end > kMaxLineLength)
        {
            m_receiveBuffer.erase(0, end + 2);
            OnResponse(std::string());
            continue;
        }
        const std::string line = m_receiveBuffer.substr(0, end);
        m_receiveBuffer.erase(0, end + 2);
        OnResponse(line);
    }
}

void wxCmdlineProtocol::SendText(const std::string& bytes)
{
    if (!IsConnected())
        return; // nothing to write to; the missing reply ends the attempt
    if (m_tls)
    {
        m_tls->WritePlain(bytes);
        TakeCipherOutput();
        return;
    }
    m_sendBuffer += bytes;
    FlushOutput();
}

void wxCmdlineProtocol::OnOutputReady()
{
    FlushOutput();
}

void wxCmdlineProtocol::FlushOutput()
{
    constexpr size_t kWriteChunk = 64 * 1024;
    size_t sent = 0;
    while (sent < m_sendBuffer.size() && IsConnected())
    {
        const size_t n = std::min(kWriteChunk, m_sendBuffer.size() - sent);
        Write(m_sendBuffer.data() + sent, static_cast<wxUint32>(n));
        const wxUint32 written = LastWriteCount();
        if (written == 0)
            break; // the socket is full: the output notification brings us back
        sent += written;
    }
    m_sendBuffer.erase(0, sent);
    if (!IsConnected())
        m_sendBuffer.clear(); // the connection is gone; its loss is reported separately
    UpdateNotifications();
}

void wxCmdlineProtocol::UpdateNotifications()
{
    SetNotify(kBaseNotifications | (m_sendBuffer.empty() ? 0 : wxSOCKET_OUTPUT_FLAG));
}
