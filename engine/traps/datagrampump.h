// SPDX-License-Identifier: MIT
#pragma once

// Moves the socket's datagrams into memory on a thread of its own, so that
// a burst is taken from the kernel while the window paints, loads MIBs or
// saves a file: the socket's buffer (some hundred datagrams where the
// system keeps it small) never has to wait for the GUI thread. The thread
// does nothing else, and what it keeps is bounded; the GUI thread takes the
// datagrams in chunks when wakeFd() is readable.

#include "engine/traps/trapsocket.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class DatagramPump
{
public:
    // A burst of 10,000 fits many times over; beyond this a window that
    // cannot keep up loses the newest, counted.
    static constexpr size_t MaxQueued = 100000;
    static constexpr size_t MaxQueuedBytes = size_t(64) << 20;

    // Starts reading the socket, which must outlive the pump.
    explicit DatagramPump(TrapSocket &socket);
    ~DatagramPump(); // stops the thread and waits for it
    DatagramPump(const DatagramPump &) = delete;
    DatagramPump &operator=(const DatagramPump &) = delete;

    bool isRunning() const { return m_thread.joinable(); }
    // Readable while datagrams wait.
    int wakeFd() const { return m_wake; }
    // Moves up to `most` of the waiting datagrams to the end of `out`.
    void take(std::vector<Datagram> &out, size_t most);

    uint64_t overflowed() const { return m_overflowed.load(); }    // dropped for a full queue
    uint32_t kernelDropped() const { return m_kernelDropped.load(); } // dropped by the kernel, buffer full
    bool failed() const { return m_failed.load(); }                // the socket failed; the thread ended

private:
    void run();
    void signal(int fd);

    TrapSocket &m_socket;
    int m_wake = -1;
    int m_stop = -1;
    std::mutex m_mutex;
    std::deque<Datagram> m_queue;
    size_t m_queuedBytes = 0;
    std::atomic<uint64_t> m_overflowed{0};
    std::atomic<uint32_t> m_kernelDropped{0};
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};
