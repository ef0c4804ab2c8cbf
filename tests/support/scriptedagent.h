// SPDX-License-Identifier: MIT
#pragma once

// An in-process SNMPv1 and SNMPv2c agent on a free 127.0.0.1 UDP port, on a
// thread of its own, for answers a real snmpd never gives: every value type,
// odd error statuses, silence, garbage, wrong request ids, endless subtrees.
// Answers go out in the version of the request. Over TCP (start(Tcp)) it
// serves one connection at a time and can close it, as a stream agent that
// goes away does.
//
// Each request is decoded and handed to the handler (on the agent's thread);
// what the handler returns is sent back. Requests that do not decode are
// counted and get no answer.
//
//   ScriptedAgent agent;
//   agent.setTable({{ScriptedAgent::oid("1.3.6.1.2.1.1.1.0"), ScriptedAgent::Value::octets("box")}});
//   QVERIFY(agent.start());
//   ... agent.address() is "127.0.0.1:PORT" ...

#include "tests/support/bercodec.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class ScriptedAgent
{
public:
    using Oid = ber::Oid;

    // A value as it goes on the wire: the type tag and its BER content octets.
    struct Value
    {
        uint8_t tag = 0x05;
        QByteArray content;

        static Value null();
        static Value integer(int32_t number);                      // 0x02
        static Value unsignedValue(uint8_t tag, uint32_t number);  // 0x41, 0x42, 0x43, 0x47
        static Value counter64(uint64_t number);                   // 0x46
        static Value octets(const QByteArray &bytes, uint8_t tag = 0x04); // also Bits, IpAddress, Opaque...
        static Value objectId(const Oid &id);                      // 0x06
        static Value raw(uint8_t tag, const QByteArray &content);  // anything at all
    };

    struct Binding
    {
        Oid name;
        Value value;
    };

    struct Request
    {
        uint8_t pduType = 0;     // 0xA0 GetRequest, 0xA1 GetNextRequest, 0xA5 GetBulkRequest
        int32_t requestId = 0;
        int64_t version = 0;     // 0 SNMPv1, 1 SNMPv2c
        int32_t nonRepeaters = 0;   // a GetBulkRequest's (its error status field)
        int32_t maxRepetitions = 0; // and its error index field
        QByteArray community;
        std::vector<Oid> names;
    };

    struct Response
    {
        enum class Kind { Answer, Silence, Raw, Close };
        Kind kind = Kind::Answer;
        bool thenClose = false;           // over TCP: close the connection after sending
        std::vector<Binding> bindings;
        int32_t errorStatus = 0;
        int32_t errorIndex = 0;
        std::optional<int32_t> requestId; // answer with this id instead of the request's
        QByteArray raw;                   // the datagram sent as it is, for Kind::Raw

        static Response answer(std::vector<Binding> bindings, int32_t errorStatus = 0, int32_t errorIndex = 0);
        static Response silence();
        static Response closeConnection(); // over TCP: close without answering
        static Response rawBytes(const QByteArray &datagram);
        // The request's own names with NULL values and an error status, as a v1 agent reports errors.
        static Response error(const Request &request, int32_t errorStatus, int32_t errorIndex);
    };

    using Handler = std::function<Response(const Request &)>;

    ScriptedAgent();
    ~ScriptedAgent();
    ScriptedAgent(const ScriptedAgent &) = delete;
    ScriptedAgent &operator=(const ScriptedAgent &) = delete;

    enum class Transport { Udp, Tcp };
    bool start(Transport transport = Transport::Udp); // binds a free port and starts answering
    void stop();  // also done by the destructor
    QString address() const; // "127.0.0.1:PORT", over TCP "tcp:127.0.0.1:PORT"
    quint16 port() const;

    void setHandler(Handler handler);  // may be changed while running
    void setTable(std::vector<Binding> table); // setHandler(tableHandler(table))

    // Every request decoded so far, oldest first, and the datagrams that did not decode.
    std::vector<Request> requests() const;
    int undecodedCount() const;
    void clearRequests();

    // "1.3.6.1" or ".1.3.6.1".
    static Oid oid(const char *dotted);

    // Get, GetNext and GetBulk over a fixed table (sorted here): exact match,
    // or the lexicographic successors. For a missing name or past the end,
    // SNMPv1 answers noSuchName (status 2), SNMPv2c noSuchObject and
    // endOfMibView (a GetBulk ends its repetitions there). The default handler
    // is an empty table.
    static Handler tableHandler(std::vector<Binding> table);
    // Never answers.
    static Handler silentHandler();
    // Always answers with this error status and index.
    static Handler errorStatusHandler(int32_t errorStatus, int32_t errorIndex = 1);
    // Answers every request with the same binding (a walk that never advances).
    static Handler sameBindingHandler(Binding binding);
    // A subtree that never ends: the successor of subtree.N is subtree.(N+1),
    // of anything else subtree.1, each with this value; a GetBulk gets as many
    // as it asks for.
    static Handler endlessSubtreeHandler(const char *subtree, Value value);
    // GetNext over the integers 1..count at subtree.1 .. subtree.count (subtree
    // dotted, without a leading dot), whatever the request's type;
    // noSuchName past the last.
    static Handler integerSubtreeHandler(const char *subtree, int count);
    // Answers every request with bytes that are no SNMP message.
    static Handler garbageHandler();
    // Answers correctly but with the request id plus one, so the manager must ignore it.
    static Handler wrongIdHandler(Handler inner);

private:
    void serve();
    void serveStream();
    // The answer to one request message, or nothing; the handler is asked.
    std::optional<QByteArray> answer(const QByteArray &message, bool *close);

    int m_socket = -1;
    Transport m_transport = Transport::Udp;
    quint16 m_port = 0;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::shared_ptr<const Handler> m_handler;
    std::vector<Request> m_requests;
    int m_undecoded = 0;
};
