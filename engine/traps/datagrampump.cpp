// SPDX-License-Identifier: MIT
#include "engine/traps/datagrampump.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

DatagramPump::DatagramPump(TrapSocket &socket) : m_socket(socket)
{
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_stop = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wake >= 0 && m_stop >= 0 && m_socket.fd() >= 0)
        m_thread = std::thread([this] { run(); });
}

DatagramPump::~DatagramPump()
{
    if (m_thread.joinable()) {
        signal(m_stop);
        m_thread.join();
    }
    for (const int fd : {m_wake, m_stop}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void DatagramPump::signal(int fd)
{
    const uint64_t one = 1;
    // A full counter is still readable: nothing to do then.
    (void)!::write(fd, &one, sizeof one);
}

void DatagramPump::run()
{
    std::vector<Datagram> batch;
    pollfd waits[2] = {{m_socket.fd(), POLLIN, 0}, {m_stop, POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            m_failed = true;
            break;
        }
        if (waits[1].revents)
            break;
        batch.clear();
        if (m_socket.drain(batch, 1024) < 0) {
            m_failed = true;
            signal(m_wake);
            break;
        }
        m_kernelDropped = m_socket.droppedTotal();
        if (batch.empty())
            continue;
        {
            const std::lock_guard lock(m_mutex);
            for (Datagram &d : batch) {
                if (m_queue.size() >= MaxQueued || m_queuedBytes + d.bytes.size() > MaxQueuedBytes) {
                    ++m_overflowed;
                    continue;
                }
                m_queuedBytes += d.bytes.size();
                m_queue.push_back(std::move(d));
            }
        }
        signal(m_wake);
    }
}

void DatagramPump::take(std::vector<Datagram> &out, size_t most)
{
    uint64_t count = 0;
    (void)!::read(m_wake, &count, sizeof count);
    bool more = false;
    {
        const std::lock_guard lock(m_mutex);
        while (most-- > 0 && !m_queue.empty()) {
            m_queuedBytes -= m_queue.front().bytes.size();
            out.push_back(std::move(m_queue.front()));
            m_queue.pop_front();
        }
        more = !m_queue.empty();
    }
    // The rest waits for the next pass of the event loop.
    if (more)
        signal(m_wake);
}
