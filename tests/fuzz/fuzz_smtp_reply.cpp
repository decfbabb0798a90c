// What an SMTP server sends back, cut into packets as the network delivers
// them and mixed with the other things that happen to a client: the
// connection is made or lost, a reply timer or a retry wait runs out. The
// input picks the packets and the events. Checked besides crashes and
// sanitizer reports: the line reader hands over exactly the CR LF lines
// whatever the cuts (while no line is overlong) and never holds more than a
// line, and the dialogue only ever writes whole command lines.
#include "fuzz_support.h"

#include "smtp/smtp_client.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace
{
class LineReader : public wxCmdlineProtocol
{
public:
    void Feed(const std::string& bytes)
    {
        ReceiveBytes(bytes.data(), bytes.size());
        FUZZ_CHECK(GetReceiveBuffer().size() <= kMaxLineLength);
    }
    void OnConnect(wxSocketEvent&) override {}
    void OnDisconnect(wxSocketEvent&) override {}
    void OnResponse(const std::string& line) override
    {
        FUZZ_CHECK(line.size() <= kMaxLineLength);
        FUZZ_CHECK(line.find("\r\n") == std::string::npos);
        lines.push_back(line);
    }

    std::vector<std::string> lines;
};

class Listener : public wxSMTPListener
{
public:
    explicit Listener(const std::vector<std::string>& recipients) : m_recipients(recipients) {}
    void OnRecipientStatus(const std::string& address, MailStatus status) override
    {
        bool known = false;
        for (const auto& r : m_recipients)
            known = known || r == address;
        FUZZ_CHECK(known);
        FUZZ_CHECK(status == Accepted || status == PermanentFailure || status == TemporaryFailure);
    }
    void OnMessageStatus(MailStatus status, bool& stopRetrying) override
    {
        FUZZ_CHECK(status == Delivered || status == PermanentFailure ||
                   status == TemporaryFailure);
        FUZZ_CHECK(!stopRetrying);
        ++attempts;
    }

    int attempts = 0;

private:
    const std::vector<std::string>& m_recipients;
};

// The client with its connection replaced by a recorder, as the dialogue
// tests run it. It keeps track of the connection it would have, so that the
// input only makes happen what can: a connect completes or fails only while
// one is under way, bytes arrive and a connection is lost only while one is
// open (a closed connection's late notifications never reach the client).
class ScriptedSmtp : public wxSMTP
{
public:
    using wxSMTP::wxSMTP;

    void Feed(const std::string& bytes)
    {
        if (m_open && !m_connecting)
            ReceiveBytes(bytes.data(), bytes.size());
    }
    void Connected()
    {
        if (!m_connecting)
            return;
        m_connecting = false;
        wxSocketEvent event(1);
        event.m_event = wxSOCKET_CONNECTION;
        OnConnect(event);
    }
    void Lost()
    {
        if (!m_open)
            return;
        m_open = m_connecting = false;
        wxSocketEvent event(1);
        event.m_event = wxSOCKET_LOST;
        OnDisconnect(event);
    }
    void Expire()
    {
        if (!ReplyTimer().IsRunning())
            return;
        ReplyTimer().Stop();
        ReplyTimer().Notify();
    }
    bool Close() override
    {
        m_open = m_connecting = false;
        return wxSMTP::Close();
    }

    int connects = 0;

protected:
    void ConnectToHost() override
    {
        FUZZ_CHECK(!m_open); // an attempt never starts over an open connection
        ++connects;
        m_open = m_connecting = true;
    }
    void SendText(const std::string& bytes) override
    {
        // Commands are lines; the message text ends with the "." line.
        FUZZ_CHECK(m_open && !m_connecting);
        FUZZ_CHECK(bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0);
    }

private:
    bool m_open = false;
    bool m_connecting = false;
};

enum class Event
{
    Packet,
    Expire,
    Lost,
    Connected,
};

struct Step
{
    Event event;
    std::string bytes;
};

// Exactly the CR LF lines of text and what follows the last one.
void SplitLines(const std::string& text, std::vector<std::string>& lines, std::string& rest)
{
    std::size_t at = 0;
    for (;;)
    {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    rest = text.substr(at);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitFuzzTarget();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    std::vector<Step> steps;
    std::string received;
    while (input.remaining_bytes() > 0)
    {
        const int kind = input.ConsumeIntegralInRange<int>(0, 9);
        if (kind <= 6)
        {
            std::string bytes =
                input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(1, 512));
            received += bytes;
            steps.push_back({Event::Packet, std::move(bytes)});
        }
        else
            steps.push_back({kind == 7 ? Event::Expire : kind == 8 ? Event::Lost : Event::Connected,
                             std::string()});
    }

    // The line reader alone, fed the packets.
    {
        LineReader reader;
        for (const Step& step : steps)
            if (step.event == Event::Packet)
                reader.Feed(step.bytes);
        std::vector<std::string> lines;
        std::string rest;
        SplitLines(received, lines, rest);
        bool overlong = rest.size() >= wxCmdlineProtocol::kMaxLineLength;
        for (const auto& line : lines)
            overlong = overlong || line.size() >= wxCmdlineProtocol::kMaxLineLength;
        if (!overlong)
        {
            FUZZ_CHECK(reader.lines == lines);
            FUZZ_CHECK(reader.GetReceiveBuffer() == rest);
        }
    }

    // The dialogue: one mail to three recipients, connected at once.
    const std::vector<std::string> recipients{"ops@example.com", "dba@example.com",
                                              "oncall@example.com"};
    MailMessage message("Corvane alarm", "[ simpserv] Died!!!", "corvane@example.com");
    for (const auto& r : recipients)
        message.AddTo(r);
    Listener listener(recipients);
    int rests = 0;
    {
        ScriptedSmtp client(&listener);
        client.SetRestHandler(
            [&rests](wxSMTP& c)
            {
                FUZZ_CHECK(c.IsAtRest());
                ++rests;
            });
        client.SetHost("mail.example.com", 25);
        client.Send(&message);
        FUZZ_CHECK(client.connects == 1);
        client.Connected();
        for (const Step& step : steps)
        {
            switch (step.event)
            {
            case Event::Packet: client.Feed(step.bytes); break;
            case Event::Expire: client.Expire(); break;
            case Event::Lost: client.Lost(); break;
            case Event::Connected: client.Connected(); break;
            }
            const MailStatus status = client.GetStatus();
            FUZZ_CHECK(status >= PermanentFailure && status <= InProgress);
            FUZZ_CHECK(client.GetReceiveBuffer().size() <= wxCmdlineProtocol::kMaxLineLength);
        }
        FUZZ_CHECK(rests <= listener.attempts);
        client.Abandon();
    }
    return 0;
}
