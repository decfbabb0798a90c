#include "agent/agent_link.h"

#include "common/text.h"

#include <wx/event.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

namespace
{
// The link tags its own notifications with the connection they belong to, so
// FilterEvent can tell a notification that is still queued from a connection
// closed since (or replaced by a new Connect) from one about the current one.
class LinkLostEvent : public wxSocketEvent
{
public:
    LinkLostEvent(int id, const void* link, std::uint64_t generation)
        : wxSocketEvent(id), m_link(link), m_generation(generation)
    {
        m_event = wxSOCKET_LOST;
        m_clientData = nullptr;
    }
    wxEvent* Clone() const override { return new LinkLostEvent(*this); }

    const void* m_link;
    std::uint64_t m_generation;
};

enum class IoResult
{
    Ok,
    TimedOut,
    Closed, // EOF, reset or the socket shut down
};
} // namespace

struct AgentLink::Impl
{
    explicit Impl(Timeouts t) : timeouts(t) {}

    Timeouts timeouts;

    // Held for every whole operation that uses the socket: exchanges never
    // overlap, and the descriptor is only replaced or closed under it.
    std::mutex exchange;

    // Guards the fields below. Held only briefly, never across blocking I/O,
    // so Abort and the watcher never wait for an exchange.
    std::mutex state;
    int fd = -1;
    bool broken = false;          // shut down by Abort or by a reply out of step
    bool inExchange = false;      // a Request is on the wire
    bool aborted = false;         // Abort: no new exchange until Close or Connect
    wxString watchFailure;        // why the last Connect could not watch its connection
    std::uint64_t generation = 0; // changes whenever a connection opens or ends
    bool lostPosted = false;
    wxEvtHandler* target = nullptr;
    int targetId = 0;

    // The idle watch. A thread per connection sleeps in poll() for POLLRDHUP
    // (peer closed) plus the always-reported POLLHUP/POLLERR, and for a wake-up
    // descriptor. It asks for no POLLIN, so unread input never wakes it and it
    // cannot spin; it posts at most one notification and then ends. A source
    // on the GUI event loop (AddSourceForFD) would have to be added and removed
    // on the GUI thread around every exchange a scan thread runs; the thread
    // keeps the watch inside this core class, needs no GUI loop, and sees a
    // lost peer the same way whether or not an exchange is in flight.
    std::thread watcher;
    int wakeFd = -1;

    // The usable descriptor (-1 when closed or shut down) and its connection.
    int Fd(std::uint64_t* gen = nullptr)
    {
        std::lock_guard<std::mutex> lock(state);
        if (gen)
            *gen = generation;
        return broken ? -1 : fd;
    }

    // Caller holds `exchange`. False, with the reason kept, when no watch
    // could be set up: a link nobody watches would never hear its agent leave.
    bool StartWatcher(int socketFd, std::uint64_t gen)
    {
        wxString failure;
        wakeFd = ::eventfd(0, EFD_CLOEXEC);
        if (wakeFd < 0)
            failure = wxString::FromUTF8(std::strerror(errno));
        else
        {
            const int wake = wakeFd;
            try
            {
                watcher = std::thread([this, socketFd, wake, gen] { Watch(socketFd, wake, gen); });
            }
            catch (const std::system_error& e)
            {
                failure = wxString::FromUTF8(e.what());
                ::close(wakeFd);
                wakeFd = -1;
            }
        }
        std::lock_guard<std::mutex> lock(state);
        watchFailure = failure;
        return failure.empty();
    }

    void StopWatcher()
    {
        if (watcher.joinable())
        {
            const std::uint64_t one = 1;
            if (::write(wakeFd, &one, sizeof one) < 0)
                std::perror("agent link: waking the watcher");
            watcher.join();
        }
        if (wakeFd >= 0)
        {
            ::close(wakeFd);
            wakeFd = -1;
        }
    }

    // Runs on the watcher thread.
    void Watch(int socketFd, int wake, std::uint64_t gen)
    {
        pollfd fds[2] = {{socketFd, POLLRDHUP, 0}, {wake, POLLIN, 0}};
        for (;;)
        {
            fds[0].revents = fds[1].revents = 0;
            const int n = ::poll(fds, 2, -1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 || fds[1].revents)
                return;
            if (fds[0].revents)
            {
                PostLost(gen);
                return;
            }
        }
    }

    // Any thread. Queues one notification per connection, and only while that
    // connection is still the current one.
    void PostLost(std::uint64_t gen)
    {
        std::lock_guard<std::mutex> lock(state);
        if (gen != generation || lostPosted || !target)
            return;
        lostPosted = true;
        wxQueueEvent(target, new LinkLostEvent(targetId, this, gen));
    }

    // Closes the current connection, if any, without a goodbye. Caller holds
    // `exchange`.
    void CloseSocket()
    {
        StopWatcher();
        std::lock_guard<std::mutex> lock(state);
        if (fd >= 0)
        {
            ::close(fd);
            fd = -1;
        }
        broken = false;
        aborted = false;
        ++generation; // whatever is still queued about it is stale now
    }

    // Shuts the socket down from any thread: blocked reads and writes return
    // at once and the descriptor stays valid until CloseSocket.
    void ShutDown(bool newGeneration)
    {
        std::lock_guard<std::mutex> lock(state);
        ShutDownLocked(newGeneration);
    }

    // Caller holds `state`.
    void ShutDownLocked(bool newGeneration)
    {
        if (fd < 0)
            return;
        broken = true;
        if (newGeneration)
            ++generation;
        ::shutdown(fd, SHUT_RDWR);
    }

    IoResult WaitFor(int socketFd, short events, int timeoutMs)
    {
        pollfd p{socketFd, events, 0};
        for (;;)
        {
            const int n = ::poll(&p, 1, timeoutMs);
            if (n > 0)
                return IoResult::Ok; // hang-ups show in the read or write that follows
            if (n == 0)
                return IoResult::TimedOut;
            if (errno != EINTR)
                return IoResult::Closed;
        }
    }

    // Writes all of bytes, each wait bounded by the I/O time-out.
    IoResult WriteAll(int socketFd, const char* bytes, size_t length, size_t& sent)
    {
        sent = 0;
        while (sent < length)
        {
            const ssize_t n = ::send(socketFd, bytes + sent, length - sent, MSG_NOSIGNAL);
            if (n > 0)
            {
                sent += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            {
                const IoResult r = WaitFor(socketFd, POLLOUT, timeouts.ioMs);
                if (r != IoResult::Ok)
                    return r;
                continue;
            }
            return IoResult::Closed;
        }
        return IoResult::Ok;
    }

    // Reads until `want` bytes are in out, the peer closes, or one wait runs
    // past the I/O time-out. Data grows as it arrives, so a length field that
    // lies costs no memory up front.
    IoResult ReadUpTo(int socketFd, size_t want, std::string& out)
    {
        char buffer[64 * 1024];
        while (out.size() < want)
        {
            const size_t ask = std::min(sizeof buffer, want - out.size());
            const ssize_t n = ::recv(socketFd, buffer, ask, 0);
            if (n > 0)
            {
                out.append(buffer, static_cast<size_t>(n));
                continue;
            }
            if (n == 0)
                return IoResult::Closed;
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            {
                const IoResult r = WaitFor(socketFd, POLLIN, timeouts.ioMs);
                if (r != IoResult::Ok)
                    return r;
                continue;
            }
            return IoResult::Closed;
        }
        return IoResult::Ok;
    }

    // Caller holds `exchange`.
    std::string Exchange(char command, const std::string& payload)
    {
        std::uint64_t gen = 0;
        const int socketFd = Fd(&gen);
        if (socketFd < 0)
            return std::string();

        // An exchange that does not run to the end of its frame leaves the
        // conversation out of step: a reply that comes late, or the rest of
        // one, would be read as the answer to the next request. So the
        // connection is dropped (the peer's EOF or reset has dropped it
        // already), and the panel hears it is lost instead of showing stale
        // or garbled reports. After Abort the connection is no longer current
        // and nothing is reported.
        auto endedEarly = [&](IoResult r)
        {
            if (r == IoResult::Closed)
                PostLost(gen);
            else if (r == IoResult::TimedOut)
                ShutDown(false);
        };

        // The frame goes out in one piece; the bytes are those of the command,
        // the "% 8d" length and the payload written one after the other.
        std::string frame(1, command);
        if (!payload.empty())
        {
            char length[32];
            std::snprintf(length, sizeof length, "% 8d", static_cast<int>(payload.size()));
            frame += length;
            frame += payload;
        }
        size_t sent = 0;
        IoResult r = WriteAll(socketFd, frame.data(), frame.size(), sent);
        if (r != IoResult::Ok)
        {
            endedEarly(r);
            return std::string();
        }

        std::string field;
        r = ReadUpTo(socketFd, 9, field);
        if (r != IoResult::Ok)
        {
            endedEarly(r);
            return std::string();
        }

        const long length = AtoiBytes(field.c_str());
        if (length == 0 && HasDigits(field))
            return std::string(); // an empty reply, in step
        if (length <= 0 || length > MaxReplyBytes)
        {
            // Not a length (or a refused one): where the body ends is unknown.
            ShutDown(false);
            return std::string();
        }

        std::string body;
        body.reserve(static_cast<size_t>(std::min<long>(length, 1 << 20)));
        r = ReadUpTo(socketFd, static_cast<size_t>(length), body);
        if (r != IoResult::Ok)
            endedEarly(r);
        return body; // or the part that arrived
    }

    // Whether atoi found a number in the field at all ("0" does, "abc" not).
    static bool HasDigits(const std::string& field)
    {
        size_t at = field.find_first_not_of(" \t\n\r\f\v");
        if (at != std::string::npos && (field[at] == '+' || field[at] == '-'))
            ++at;
        return at < field.size() && field[at] >= '0' && field[at] <= '9';
    }
};

AgentLink::AgentLink() : AgentLink(Timeouts{}) {}

AgentLink::AgentLink(Timeouts timeouts) : m_impl(std::make_unique<Impl>(timeouts)) {}

AgentLink::~AgentLink()
{
    m_impl->ShutDown(true);
    std::lock_guard<std::mutex> lock(m_impl->exchange);
    m_impl->CloseSocket();
}

void AgentLink::SetEventTarget(wxEvtHandler* target, int id)
{
    std::lock_guard<std::mutex> lock(m_impl->state);
    m_impl->target = target;
    m_impl->targetId = id;
}

int AgentLink::Connect(const wxString& host, unsigned short port)
{
    std::lock_guard<std::mutex> lock(m_impl->exchange);
    m_impl->CloseSocket();
    {
        std::lock_guard<std::mutex> stateLock(m_impl->state);
        m_impl->watchFailure.clear();
    }

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string name = ToUtf8(host);
    if (name.empty() || ::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found)
        return -1;
    sockaddr_in address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    ::freeaddrinfo(found);
    address.sin_port = htons(port);

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (!connected && errno == EINPROGRESS &&
        m_impl->WaitFor(fd, POLLOUT, m_impl->timeouts.connectMs) == IoResult::Ok)
    {
        int error = 0;
        socklen_t size = sizeof error;
        connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    if (!connected)
    {
        ::close(fd);
        return -1;
    }
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);

    std::uint64_t gen;
    {
        std::lock_guard<std::mutex> stateLock(m_impl->state);
        m_impl->fd = fd;
        m_impl->broken = false;
        m_impl->aborted = false;
        m_impl->lostPosted = false;
        gen = ++m_impl->generation;
    }
    if (!m_impl->StartWatcher(fd, gen))
    {
        m_impl->CloseSocket();
        return -1;
    }
    return 1;
}

int AgentLink::Handshake()
{
    std::lock_guard<std::mutex> lock(m_impl->exchange);
    const int fd = m_impl->Fd();
    if (fd < 0)
        return -1;
    const char hello = '[';
    size_t sent = 0;
    m_impl->WriteAll(fd, &hello, 1, sent);
    std::string answer;
    m_impl->ReadUpTo(fd, 1, answer);
    if (answer == "\\")
        return 1;
    m_impl->CloseSocket();
    return -1;
}

std::string AgentLink::RequestBytes(char command, const std::string& payload)
{
    std::lock_guard<std::mutex> lock(m_impl->exchange);
    {
        std::lock_guard<std::mutex> stateLock(m_impl->state);
        if (m_impl->aborted)
            return std::string();
        m_impl->inExchange = true;
    }
    std::string reply;
    try
    {
        reply = m_impl->Exchange(command, payload);
    }
    catch (const std::exception&)
    {
        reply.clear(); // out of memory for the body, as any failed exchange
    }
    std::lock_guard<std::mutex> stateLock(m_impl->state);
    m_impl->inExchange = false;
    return reply;
}

wxString AgentLink::Request(char command, const wxString& payload)
{
    return FromUtf8(RequestBytes(command, ToUtf8(payload)));
}

int AgentLink::Close()
{
    std::lock_guard<std::mutex> lock(m_impl->exchange);
    const int fd = m_impl->Fd();
    if (fd >= 0)
    {
        // The goodbye is a courtesy: never wait for room to send it.
        const char bye = '_';
        if (::send(fd, &bye, 1, MSG_NOSIGNAL | MSG_DONTWAIT) < 0)
        {
            // Nothing to do: the agent may be gone already.
        }
    }
    m_impl->CloseSocket();
    return 1;
}

int AgentLink::IsAlive()
{
    std::lock_guard<std::mutex> lock(m_impl->exchange);
    const int fd = m_impl->Fd();
    if (fd < 0)
        return -1;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
        return -1;
    pollfd p{fd, POLLRDHUP, 0};
    if (::poll(&p, 1, 0) != 0)
        return -1; // the peer has closed (or the socket failed)
    return 1;
}

void AgentLink::Abort()
{
    // Only an exchange on the wire leaves the conversation out of step; a
    // link between exchanges stays usable for Close's goodbye.
    std::lock_guard<std::mutex> lock(m_impl->state);
    m_impl->aborted = true;
    if (m_impl->inExchange)
        m_impl->ShutDownLocked(true);
}

wxString AgentLink::WatchFailure() const
{
    std::lock_guard<std::mutex> lock(m_impl->state);
    return m_impl->watchFailure;
}

int AgentLink::FilterEvent(const wxSocketEvent& event)
{
    const int kind = event.GetSocketEvent();
    if (const auto* own = dynamic_cast<const LinkLostEvent*>(&event))
    {
        std::lock_guard<std::mutex> lock(m_impl->state);
        if (own->m_link != m_impl.get() || own->m_generation != m_impl->generation ||
            m_impl->fd < 0)
            return -1;
    }
    if (kind == wxSOCKET_LOST)
    {
        // Shut down first so an exchange still in flight ends now and the lock
        // below is not held for long.
        m_impl->ShutDown(false);
        std::lock_guard<std::mutex> lock(m_impl->exchange);
        m_impl->CloseSocket();
    }
    return kind;
}
