// SPDX-License-Identifier: MIT
#pragma once

// The notification receiver, driven by the event loop of the thread that
// creates it (the GUI thread: Net-SNMP and the MIBs live there). A thread of
// its own only takes the datagrams off the socket (engine/traps/
// datagrampump.h); here they are read in chunks, a pass of the event loop
// between two chunks, so that a burst never keeps the window's events
// waiting: SNMPv1 and v2c by the engine's reader and checked against the
// accepted communities, SNMPv3 by Net-SNMP against the users set up; each
// InformRequest taken is answered at once. What was taken goes to the sink,
// what was not as a rejection with its reason; every outcome is counted.

#include "engine/snmp/notificationsession.h"
#include "engine/traps/datagrampump.h"
#include "engine/traps/trapsocket.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;

// Where the receiver's results go, chunk by chunk.
class NotificationSink
{
public:
    virtual ~NotificationSink() = default;
    virtual void received(Notification &&notification) = 0;
    virtual void rejected(Rejection &&rejection) = 0;
    // After each chunk: the place to show what came.
    virtual void chunkDone() {}
};

struct ReceiverCounts
{
    uint64_t received = 0;       // notifications handed to the sink
    uint64_t rejected = 0;       // datagrams refused (community, user, malformed ...)
    uint64_t informsAnswered = 0;
    uint64_t answersFailed = 0;  // InformRequests whose Response could not be sent
    uint64_t reports = 0;        // SNMPv3 discovery and time synchronisation answered
    uint64_t lost = 0;           // dropped before they were read: the socket's buffer or the queue full
};

class TrapReceiver : public QObject
{
    Q_OBJECT

public:
    // At most this many datagrams, or this long, in one pass of the event loop.
    static constexpr size_t ChunkDatagrams = 500;
    static constexpr int ChunkMs = 4;

    explicit TrapReceiver(NotificationSink &sink, QObject *parent = nullptr);
    ~TrapReceiver() override;

    struct Listening
    {
        std::string problem; // empty when listening
        NotificationSession::Engine engine;
    };
    // Binds address:port (an empty address: all of them) and starts taking
    // notifications; our engine starts with the stored ID and boots. The
    // program's path goes into the advice for a port that needs privilege.
    Listening listen(const std::string &address, uint16_t port, const std::string &programPath,
                     const std::string &storedEngineId, uint32_t storedBoots);
    void stop();
    bool isListening() const { return m_pump != nullptr; }
    uint16_t port() const { return m_socket.port(); }
    int receiveBuffer() const { return m_socket.receiveBuffer(); }

    // The communities whose SNMPv1 and v2c notifications are taken, byte for byte.
    void setCommunities(std::vector<std::string> communities);
    // The SNMPv3 users; the problem with the first that cannot be used.
    std::string setUsers(std::vector<ListeningUser> users);

    ReceiverCounts counts() const;

signals:
    // After every chunk.
    void countsChanged();

private:
    void readChunk();
    void handle(Datagram &datagram);
    void reject(const Datagram &datagram, std::string version, std::string identity, std::string reason);

    NotificationSink &m_sink;
    TrapSocket m_socket;
    std::unique_ptr<NotificationSession> m_session;
    std::unique_ptr<DatagramPump> m_pump;
    QSocketNotifier *m_notifier = nullptr;
    std::set<std::string> m_communities;
    std::vector<ListeningUser> m_users;
    std::vector<Datagram> m_chunk;
    ReceiverCounts m_counts;
    uint64_t m_lostBefore = 0; // of pumps stopped earlier
};
