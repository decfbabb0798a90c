// What an SMTP server sends back, cut into packets as the network delivers
// them and mixed with the other things that happen to a client: the
// connection is made or lost, a reply timer or a retry wait runs out. The
// input picks the packets and the events: a crash and sanitizer driver for
// the line reader and the dialogue of one mail to three recipients, STARTTLS
// and the login included. It checks one thing besides: the login never goes
// out before TLS is on.
#include "fuzz_support.h"

#include "smtp/smtp_client.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
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
        m_open = m_connecting = m_tls = false;
        return wxSMTP::Close();
    }
    bool IsTlsActive() const override { return m_tls; }

protected:
    void ConnectToHost() override { m_open = m_connecting = true; }
    void SendText(const std::string&) override
    {
        const std::string state = GetStateName();
        if (state == "AuthState" || state == "LoginUserState" || state == "LoginPasswordState")
            FUZZ_CHECK(m_tls);
    }
    // The replies after STARTTLS come in the clear here: the states are what
    // is driven, not the encryption.
    bool StartTls(std::string&) override
    {
        m_tls = true;
        return true;
    }
    std::string GreetingName() const override { return "client.example"; }

private:
    bool m_open = false;
    bool m_connecting = false;
    bool m_tls = false;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitFuzzTarget();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MailMessage message("Corvane alarm", "[ simpserv] Died!!!", "corvane@example.com");
    for (const char* r : {"ops@example.com", "dba@example.com", "oncall@example.com"})
        message.AddTo(r);
    wxSMTPListener listener;
    ScriptedSmtp client(&listener);
    client.SetHost("mail.example.com", 25);
    client.SetLogin("operator", "secret", false);
    client.Send(&message);
    client.Connected();
    FuzzedDataProvider input(data, size);
    while (input.remaining_bytes() > 0)
    {
        switch (input.ConsumeIntegralInRange<int>(0, 9))
        {
        case 7: client.Expire(); break;
        case 8: client.Lost(); break;
        case 9: client.Connected(); break;
        default:
            client.Feed(input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(1, 512)));
        }
    }
    client.Abandon();
    return 0;
}
