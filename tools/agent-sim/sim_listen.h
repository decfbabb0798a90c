#pragma once

#include <functional>
#include <string>
#include <thread>

// A listening TCP socket on host:port (port 0: a free one); the descriptor,
// or -1 with a message in error. actualPort receives the port bound.
int ListenOn(const std::string& host, int port, unsigned short& actualPort, std::string& error);

// Accepts one connection on 127.0.0.1 (a free port) and runs serve with its
// descriptor on a thread of its own; serve closes the descriptor. The
// destructor stops waiting for a connection that never came and joins.
class OneConnectionServer
{
public:
    explicit OneConnectionServer(std::function<void(int fd)> serve);
    ~OneConnectionServer();
    OneConnectionServer(const OneConnectionServer&) = delete;
    OneConnectionServer& operator=(const OneConnectionServer&) = delete;

    unsigned short Port() const { return m_port; }

private:
    int m_listen = -1;
    unsigned short m_port = 0;
    std::thread m_thread;
};
