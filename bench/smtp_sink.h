#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

// The sink's side of one SMTP connection: takes the bytes as they arrive, in
// any pieces, and gives the replies to send.
class SmtpSinkSession
{
public:
    static const char* Greeting() { return "220 sink ESMTP\r\n"; }

    // The replies to what has arrived so far, in order.
    std::string Feed(const std::string& bytes);

    size_t Accepted() const { return m_accepted; }
    // QUIT was answered: the connection ends.
    bool Closing() const { return m_closing; }

private:
    std::string m_in;
    bool m_inData = false;
    bool m_closing = false;
    size_t m_accepted = 0;
};

// An SMTP server on a free loopback port that accepts every mail and keeps
// nothing but the count: enough of the dialogue for Corvane's client (HELO or
// EHLO, MAIL, RCPT, DATA, QUIT; RSET and NOOP). Any number of connections at
// once, served by one thread.
class SmtpSink
{
public:
    SmtpSink();
    ~SmtpSink();
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    // 0 when it could not listen.
    unsigned short Port() const { return m_port; }
    // Mails accepted so far (their "250" after the data was sent).
    size_t Accepted() const { return m_accepted; }

private:
    void Run();

    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    unsigned short m_port = 0;
    std::atomic<size_t> m_accepted{0};
    std::thread m_thread;
};
