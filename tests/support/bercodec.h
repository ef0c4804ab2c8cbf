// SPDX-License-Identifier: MIT
#pragma once

// A small BER codec for SNMPv1 messages, for the test agents only: the
// product never encodes packets, but an agent that must answer with odd
// types, wrong ids or garbage has to build its datagrams itself.

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <vector>

namespace ber {

using Oid = std::vector<uint32_t>;

// "1.3.6.1" or ".1.3.6.1"; an empty Oid for anything else.
Oid parseOid(const char *dotted);

QByteArray encodeTlv(uint8_t tag, const QByteArray &content);
QByteArray integerContent(int64_t value);   // two's complement, shortest form
QByteArray unsignedContent(uint64_t value); // shortest form that reads back unsigned
QByteArray oidContent(const Oid &oid);

struct VarBind
{
    Oid name;
    uint8_t tag = 0x05;
    QByteArray content; // the value's content octets
};

struct Message
{
    int64_t version = 0; // 0 is SNMPv1
    QByteArray community;
    uint8_t pduType = 0xA2;
    int32_t requestId = 0;
    int32_t errorStatus = 0;
    int32_t errorIndex = 0;
    std::vector<VarBind> bindings;
};

QByteArray encodeMessage(const Message &message);
// Nothing for a datagram that is no well-formed SNMPv1-style message.
std::optional<Message> decodeMessage(const QByteArray &datagram);

} // namespace ber
