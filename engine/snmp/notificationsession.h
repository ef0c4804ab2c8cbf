// SPDX-License-Identifier: MIT
#pragma once

// The Net-SNMP session a notification receiver hands the datagrams Net-SNMP
// must read or answer: SNMPv3 messages, which only it can authenticate and
// decrypt (and whose engine ID discovery and time synchronisation it
// answers with reports), and the Responses to InformRequests, which the
// program never encodes itself. It reads nothing from the network: the
// receiver's own socket brings each datagram in, and every answer goes out
// through that socket. GUI thread only, as all of Net-SNMP. No Net-SNMP
// type here.

#include "engine/snmp/agentsecurity.h"
#include "engine/snmp/notification.h"

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A user whose notifications are taken: with the engine ID of the sender
// whose traps it signs, or without one for informs alone. Informs are checked
// against our own engine ID, so every user is also set up for that.
struct ListeningUser
{
    AgentSecurity security;
    std::string engineId; // octets; empty: informs only
};

class NotificationSession
{
public:
    // Answers go out through socketFd, which the caller keeps open while this lives.
    explicit NotificationSession(int socketFd);
    ~NotificationSession();
    NotificationSession(const NotificationSession &) = delete;
    NotificationSession &operator=(const NotificationSession &) = delete;

    bool isOpen() const;

    // Our engine as it starts listening: the stored ID (or a new one) and
    // one boot more than stored. Its ID is what senders of informs name.
    struct Engine
    {
        std::string id;
        uint32_t boots = 0;
    };
    static Engine startEngine(const std::string &storedId, uint32_t storedBoots);

    // Replaces the users (of every receiver). Empty, or the message for the
    // first user that could not be set up (a passphrase too short ...).
    static std::string setUsers(const std::vector<ListeningUser> &users);

    struct Outcome
    {
        enum class Kind {
            Notification, // an SNMPv3 Trap or InformRequest, in `notification`
            Rejected,     // `reason` says why
            Exchange,     // engine ID discovery or time synchronisation, answered with a report
            Ignored,      // a request or answer of another kind: nothing for the list
        };
        Kind kind = Kind::Ignored;
        Notification notification; // without its time and sender
        std::string user;          // the user name the message came with
        std::string reason;
        bool answered = false;     // an InformRequest's Response went out
        bool answerFailed = false; // an InformRequest whose Response could not be sent
    };
    Outcome readV3(const uint8_t *datagram, size_t size, const sockaddr *from, socklen_t fromLength);
    // An SNMPv2c InformRequest already read and accepted: its Response, as
    // Net-SNMP encodes it, sent back. False when none could be sent.
    bool answerInform(const uint8_t *datagram, size_t size, const sockaddr *from, socklen_t fromLength);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
