// SPDX-License-Identifier: MIT
#pragma once

// The receiver's UDP socket: bound to one address or to every IPv4 and IPv6
// address, its receive buffer as large as the system lets it be, datagrams
// taken in batches (recvmmsg) with the count of those the kernel dropped
// for want of room. Plain POSIX; no Qt.

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a bind failed with: which failure, and how to fix it.
struct BindProblem
{
    int error = 0; // errno; 0 for an address that is no numeric one
    std::string message;
};

// The message for a bind of address:port that failed with errno `error`.
// programPath goes into the setcap advice for ports below 1024.
std::string bindProblemText(int error, const std::string &address, uint16_t port, const std::string &programPath);

struct Datagram
{
    int64_t receivedMs = 0;
    sockaddr_storage from{};
    socklen_t fromLength = 0;
    std::string bytes;
};

class TrapSocket
{
public:
    // What the receive buffer is asked to be: a burst of 10,000 small
    // datagrams takes some 12 MiB of kernel memory while nobody reads.
    static constexpr int WantedReceiveBuffer = 16 << 20;
    static constexpr size_t Batch = 32;

    TrapSocket() = default;
    ~TrapSocket();
    TrapSocket(const TrapSocket &) = delete;
    TrapSocket &operator=(const TrapSocket &) = delete;

    // Binds address:port; an empty address is every IPv4 and IPv6 address
    // (one dual-stack socket, IPv4 alone where the system has no IPv6).
    // The problem when it cannot: the address no numeric one of this
    // computer, the port taken or reserved.
    bool bind(const std::string &address, uint16_t port, const std::string &programPath, BindProblem &problem);
    void close();

    int fd() const { return m_fd; }
    uint16_t port() const { return m_port; }
    // The receive buffer the kernel granted, in bytes.
    int receiveBuffer() const { return m_receiveBuffer; }

    // Appends the datagrams waiting now, up to Batch of them per system
    // call, until none waits or `most` were taken. Their count; -1 when the
    // socket failed. droppedTotal() follows the kernel's count of datagrams
    // dropped for a full buffer.
    int drain(std::vector<Datagram> &out, size_t most);
    uint32_t droppedTotal() const { return m_dropped; }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
    int m_receiveBuffer = 0;
    uint32_t m_dropped = 0;
    std::vector<char> m_buffers; // Batch datagrams of the largest size UDP carries
};
