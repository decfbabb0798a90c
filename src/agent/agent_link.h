#pragma once

#include <wx/socket.h>
#include <wx/string.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

class wxEvtHandler;

// The TCP connection of one monitor panel to its agent: handshake, then one
// framed request and one framed reply at a time.
//
// Request, Close and IsAlive hold one lock for their whole run, so exchanges
// on a link never overlap whichever threads call them. While the link is
// connected it watches its socket; when the peer goes away (EOF or reset, idle
// or in the middle of an exchange) the event target receives a wxSocketEvent
// with the target's id and kind wxSOCKET_LOST, on the GUI thread, within a
// moment.
//
// A panel stopping or being destroyed while its scan thread may be inside a
// Request calls Abort() first: Close and IsAlive wait for the exchange lock,
// and Abort ends the exchange at once so that wait is short.
class AgentLink
{
public:
    struct Timeouts
    {
        int connectMs = 15000; // Connect
        int ioMs = 30000;      // every read or write
    };

    // Replies larger than this are refused (empty text), whatever the length
    // field asks for.
    static constexpr long MaxReplyBytes = 64L * 1024 * 1024;

    AgentLink();
    explicit AgentLink(Timeouts timeouts); // tests shorten the time-outs
    ~AgentLink();                           // closes the socket without a goodbye
    AgentLink(const AgentLink&) = delete;
    AgentLink& operator=(const AgentLink&) = delete;

    // Routes connection-lost notifications to target under id (569 Tuxedo,
    // 313 WebLogic). nullptr stops them; once this returns, nothing more is
    // queued to the previous target.
    void SetEventTarget(wxEvtHandler* target, int id);

    int Connect(const wxString& host, unsigned short port); // 1 / -1 (see WatchFailure)
    int Handshake();                                         // 1 / -1

    // One exchange: the command byte, then "% 8d" length and payload when the
    // payload is not empty; the reply's 9-byte length field and body. Returns
    // the reply (or the part that arrived), empty on failure. An exchange that
    // breaks off inside its frame (a time-out, a length field that is no
    // number, a reply over the cap) drops the connection, reported as lost:
    // what would follow on it could only be misread.
    std::string RequestBytes(char command, const std::string& payload);
    // The same with UTF-8 text on both sides.
    wxString Request(char command, const wxString& payload);

    int Close();   // writes '_' and closes; always 1
    int IsAlive(); // 1 when connected and usable, else -1

    // Ends an exchange in flight at once (from any thread), so that a panel
    // being stopped or destroyed need not wait out the time-outs, and refuses
    // any later exchange until the next Connect; Close it as usual. Cutting
    // an exchange makes the connection unusable; between exchanges it stays
    // usable, so Close still says goodbye.
    void Abort();

    // Connect fails when the connection cannot be watched for its agent
    // leaving (no descriptor or thread left): the reason, empty otherwise.
    wxString WatchFailure() const;

    // Takes the kind of a notification; on connection lost the socket is
    // closed. Returns the kind (wxSOCKET_LOST == 3), or -1 for a stale
    // notification of an earlier connection (or of one closed since). Events
    // built by hand (tests) are taken as current.
    int FilterEvent(const wxSocketEvent& event);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
