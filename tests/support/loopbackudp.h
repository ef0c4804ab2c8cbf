// SPDX-License-Identifier: MIT
#pragma once

// UDP on 127.0.0.1 for the test agents and the benchmark agent. Plain POSIX
// and header-only, so bench_agent (no Qt) takes it without the test library.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

// A UDP socket, closed with its owner; fd() is negative when none was had.
class UdpSocket
{
public:
    UdpSocket() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~UdpSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    UdpSocket(const UdpSocket &) = delete;
    UdpSocket &operator=(const UdpSocket &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

inline sockaddr_in loopbackAddress(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Binds fd to 127.0.0.1:port, port 0 letting the kernel pick one. The port
// bound, or 0 with errno telling why.
inline uint16_t bindLoopback(int fd, uint16_t port)
{
    sockaddr_in address = loopbackAddress(port);
    socklen_t length = sizeof(address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// A port the kernel just handed out and nobody holds any more: for an agent
// to bind a moment later, or to send to where nothing listens.
inline uint16_t freeLoopbackPort()
{
    const UdpSocket socket;
    return bindLoopback(socket.fd(), 0);
}
