#include "http_get.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

std::string HttpGet(const std::string& url, int timeoutMs)
{
    const std::string scheme = "http://";
    if (url.compare(0, scheme.size(), scheme) != 0)
        return "";
    const size_t hostEnd = url.find('/', scheme.size());
    const std::string authority = url.substr(scheme.size(), hostEnd - scheme.size());
    const std::string path = hostEnd == std::string::npos ? "/" : url.substr(hostEnd);
    const size_t colon = authority.rfind(':');
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(std::atoi(authority.substr(colon + 1).c_str())));
    if (colon == std::string::npos || inet_pton(AF_INET, authority.substr(0, colon).c_str(), &address.sin_addr) != 1)
        return "";
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return "";
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
    {
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size()))
        {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            char buffer[16384];
            for (;;)
            {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    end - std::chrono::steady_clock::now());
                pollfd p{fd, POLLIN, 0};
                if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                {
                    answer.clear();
                    break;
                }
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                answer.append(buffer, static_cast<size_t>(n));
            }
        }
    }
    ::close(fd);
    const size_t body = answer.find("\r\n\r\n");
    if (answer.compare(0, 12, "HTTP/1.1 200") != 0 && answer.compare(0, 12, "HTTP/1.0 200") != 0)
        return "";
    return body == std::string::npos ? "" : answer.substr(body + 4);
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done())
    {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}
