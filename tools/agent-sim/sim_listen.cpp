#include "sim_listen.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int ListenOn(const std::string& host, int port, unsigned short& actualPort, std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
    {
        error = "cannot resolve " + host;
        return -1;
    }
    sockaddr_in address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    ::freeaddrinfo(found);
    address.sin_port = htons(static_cast<unsigned short>(port));

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0)
    {
        error = "cannot listen on " + host + ":" + std::to_string(port) + ": " +
                std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    actualPort = ntohs(address.sin_port);
    return fd;
}

OneConnectionServer::OneConnectionServer(std::function<void(int fd)> serve)
{
    std::string error;
    m_listen = ListenOn("127.0.0.1", 0, m_port, error);
    if (m_listen < 0)
        return;
    m_thread = std::thread(
        [this, serve]
        {
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd >= 0)
                serve(fd);
        });
}

OneConnectionServer::~OneConnectionServer()
{
    if (m_listen < 0)
        return;
    ::shutdown(m_listen, SHUT_RDWR); // wakes accept if no one came
    m_thread.join();
    ::close(m_listen);
}
