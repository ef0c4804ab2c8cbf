// SPDX-License-Identifier: MIT
#include "engine/traps/trapsocket.h"

#include "common/apperror.h"
#include "common/messages.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

constexpr size_t LargestDatagram = 65535;

int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// A numeric address, brackets allowed around an IPv6 one.
bool parseAddress(std::string text, uint16_t port, sockaddr_storage &address, socklen_t &length)
{
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    address = {};
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(&address);
    if (inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        length = sizeof(sockaddr_in6);
        return true;
    }
    auto *v4 = reinterpret_cast<sockaddr_in *>(&address);
    if (inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        length = sizeof(sockaddr_in);
        return true;
    }
    return false;
}

// The buffer as large as wanted: beyond net.core.rmem_max only with
// CAP_NET_ADMIN (SO_RCVBUFFORCE), else as large as that limit allows.
int sizeReceiveBuffer(int fd, int wanted)
{
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &wanted, sizeof wanted) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);
    int granted = 0;
    socklen_t length = sizeof granted;
    ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &length);
    return granted;
}

} // namespace

std::string bindProblemText(int error, const std::string &address, uint16_t port, const std::string &programPath)
{
    const std::string where = address.empty() ? "UDP port " + std::to_string(port)
                                              : "UDP port " + std::to_string(port) + " of " + address;
    switch (error) {
    case 0:
        return formatMessage(msg::TrapNoAddress, address.c_str());
    case EACCES:
    case EPERM:
        if (port < 1024)
            return formatMessage(msg::TrapPrivilegedPort, where.c_str(),
                                 programPath.empty() ? "norvane" : programPath.c_str(), unsigned(port));
        return formatMessage(msg::TrapNotPermitted, where.c_str(), std::strerror(error));
    case EADDRINUSE:
        return formatMessage(msg::TrapPortInUse, where.c_str());
    case EADDRNOTAVAIL:
        return formatMessage(msg::TrapNotOurAddress, address.c_str());
    default:
        return formatMessage(msg::TrapCannotListen, where.c_str(), std::strerror(error));
    }
}

TrapSocket::~TrapSocket()
{
    close();
}

void TrapSocket::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_port = 0;
    m_receiveBuffer = 0;
    m_dropped = 0;
}

bool TrapSocket::bind(const std::string &address, uint16_t port, const std::string &programPath, BindProblem &problem)
{
    close();
    sockaddr_storage local{};
    socklen_t length = 0;
    int fd = -1;
    if (address.empty()) {
        // One socket for both families: IPv4 senders arrive as ::ffff:a.b.c.d.
        fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd >= 0) {
            const int no = 0;
            ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
            auto *v6 = reinterpret_cast<sockaddr_in6 *>(&local);
            v6->sin6_family = AF_INET6;
            v6->sin6_addr = in6addr_any;
            v6->sin6_port = htons(port);
            length = sizeof(sockaddr_in6);
        } else {
            fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            auto *v4 = reinterpret_cast<sockaddr_in *>(&local);
            v4->sin_family = AF_INET;
            v4->sin_addr.s_addr = htonl(INADDR_ANY);
            v4->sin_port = htons(port);
            length = sizeof(sockaddr_in);
        }
    } else {
        if (!parseAddress(address, port, local, length)) {
            problem = {0, bindProblemText(0, address, port, programPath)};
            return false;
        }
        fd = ::socket(local.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    }
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr *>(&local), length) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        problem = {error, bindProblemText(error, address, port, programPath)};
        return false;
    }
    m_fd = fd;
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    // Every datagram then tells how many the kernel has dropped so far.
    const int yes = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RXQ_OVFL, &yes, sizeof yes);
    m_receiveBuffer = sizeReceiveBuffer(m_fd, WantedReceiveBuffer);
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&bound), &boundLength);
    m_port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6 *>(&bound)->sin6_port
                                               : reinterpret_cast<const sockaddr_in *>(&bound)->sin_port);
    m_buffers.resize(Batch * LargestDatagram);
    return true;
}

int TrapSocket::drain(std::vector<Datagram> &out, size_t most)
{
    if (m_fd < 0)
        return -1;
    mmsghdr messages[Batch];
    iovec vectors[Batch];
    sockaddr_storage from[Batch];
    alignas(cmsghdr) char control[Batch][CMSG_SPACE(sizeof(uint32_t))];
    size_t taken = 0;
    while (taken < most) {
        const size_t want = std::min(Batch, most - taken);
        for (size_t i = 0; i < want; ++i) {
            vectors[i] = {m_buffers.data() + i * LargestDatagram, LargestDatagram};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &from[i];
            messages[i].msg_hdr.msg_namelen = sizeof from[i];
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_control = control[i];
            messages[i].msg_hdr.msg_controllen = sizeof control[i];
        }
        const int n = ::recvmmsg(m_fd, messages, unsigned(want), MSG_DONTWAIT, nullptr);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                break;
            // ICMP errors of an earlier send (port unreachable) come back
            // here on a UDP socket: nothing is lost by them.
            if (errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH)
                continue;
            return -1;
        }
        const int64_t now = nowMs();
        for (int i = 0; i < n; ++i) {
            const msghdr &header = messages[i].msg_hdr;
            for (cmsghdr *c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(const_cast<msghdr *>(&header), c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL)
                    std::memcpy(&m_dropped, CMSG_DATA(c), sizeof m_dropped);
            }
            Datagram &d = out.emplace_back();
            d.receivedMs = now;
            d.from = from[i];
            d.fromLength = header.msg_namelen;
            d.bytes.assign(m_buffers.data() + size_t(i) * LargestDatagram, messages[i].msg_len);
        }
        taken += size_t(n);
        if (size_t(n) < want)
            break;
    }
    return int(taken);
}
