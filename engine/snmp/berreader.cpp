// SPDX-License-Identifier: MIT
#include "engine/snmp/berreader.h"

#include <limits>

namespace berreader {

namespace {

constexpr uint8_t IntegerTag = 0x02;
constexpr uint8_t OctetStringTag = 0x04;
constexpr uint8_t OidTag = 0x06;
constexpr uint8_t SequenceTag = 0x30;
constexpr uint8_t IpAddressTag = 0x40;
constexpr uint8_t TimeTicksTag = 0x43;
constexpr uint8_t GetResponse = 0xA2;

// Consecutive TLVs inside one range. Tags are one octet, as in every SNMP
// message; lengths are definite, short or long form.
class Cursor
{
public:
    explicit Cursor(Bytes range) : m_pos(range.data), m_end(range.data + range.size) {}

    bool atEnd() const { return m_pos == m_end; }

    bool next(uint8_t &tag, Bytes &content)
    {
        if (m_end - m_pos < 2)
            return false;
        tag = *m_pos++;
        size_t length = *m_pos++;
        if (length & 0x80) {
            const size_t count = length & 0x7F;
            // 0 is the indefinite form, which SNMP does not allow.
            if (count == 0 || count > size_t(m_end - m_pos))
                return false;
            length = 0;
            for (size_t i = 0; i < count; ++i) {
                if (length > (std::numeric_limits<size_t>::max() >> 8))
                    return false;
                length = (length << 8) | *m_pos++;
            }
        }
        if (length > size_t(m_end - m_pos))
            return false;
        content = Bytes{m_pos, length};
        m_pos += length;
        return true;
    }

    bool expect(uint8_t wanted, Bytes &content)
    {
        uint8_t tag = 0;
        return next(tag, content) && tag == wanted;
    }

private:
    const uint8_t *m_pos;
    const uint8_t *m_end;
};

// A header number: an INTEGER whose value, not merely its low bits, fits 32 bits.
bool readInt32(Cursor &cursor, int32_t &value)
{
    Bytes content;
    if (!cursor.expect(IntegerTag, content) || content.size == 0)
        return false;
    // Octets that only repeat the sign carry nothing.
    while (content.size > 1
           && ((content.data[0] == 0x00 && !(content.data[1] & 0x80))
               || (content.data[0] == 0xFF && (content.data[1] & 0x80)))) {
        ++content.data;
        --content.size;
    }
    if (content.size > 4)
        return false;
    value = int32_t(uint32_t(readInteger(content)));
    return true;
}

// The whole message with its bindings handed to onBinding(index, binding) in
// order; onBinding returns false to give up.
template<typename OnBinding>
bool readFrame(const uint8_t *datagram, size_t size, Message &header, OnBinding &&onBinding)
{
    if (!datagram)
        return false;
    Cursor outer(Bytes{datagram, size});
    Bytes body;
    if (!outer.expect(SequenceTag, body))
        return false;

    Cursor fields(body);
    Bytes pdu;
    if (!readInt32(fields, header.version) || !fields.expect(OctetStringTag, header.community)
        || !fields.next(header.pduType, pdu))
        return false;

    Cursor pduFields(pdu);
    Bytes list;
    if (header.pduType == pdu::TrapV1) {
        TrapFields &trap = header.trap;
        Bytes stamp;
        if (!pduFields.expect(OidTag, trap.enterprise) || !pduFields.expect(IpAddressTag, trap.agentAddress)
            || !readInt32(pduFields, trap.genericTrap) || !readInt32(pduFields, trap.specificTrap)
            || !pduFields.expect(TimeTicksTag, stamp))
            return false;
        trap.timeStamp = uint32_t(readUnsigned(stamp));
    } else if (!readInt32(pduFields, header.requestId) || !readInt32(pduFields, header.errorStatus)
               || !readInt32(pduFields, header.errorIndex)) {
        return false;
    }
    if (!pduFields.expect(SequenceTag, list))
        return false;

    Cursor bindings(list);
    for (size_t index = 0; !bindings.atEnd(); ++index) {
        Bytes pair;
        Binding binding;
        if (!bindings.expect(SequenceTag, pair))
            return false;
        Cursor parts(pair);
        if (!parts.expect(OidTag, binding.name) || !parts.next(binding.tag, binding.value))
            return false;
        if (!onBinding(index, binding))
            return false;
    }
    return true;
}

} // namespace

bool readMessage(const uint8_t *datagram, size_t size, Message &message)
{
    message.bindings.clear();
    return readFrame(datagram, size, message, [&message](size_t, const Binding &binding) {
        message.bindings.push_back(binding);
        return true;
    });
}

bool readVersion(const uint8_t *datagram, size_t size, int32_t &version)
{
    if (!datagram)
        return false;
    Cursor outer(Bytes{datagram, size});
    Bytes body;
    if (!outer.expect(SequenceTag, body))
        return false;
    Cursor fields(body);
    return readInt32(fields, version);
}

bool readOid(Bytes content, std::vector<uint32_t> &ids)
{
    constexpr uint64_t Largest = std::numeric_limits<uint32_t>::max();
    // Every octet without the top bit ends a sub-identifier (the first ends
    // two): sized once, as a GetBulk walk reads a name into a new vector a
    // row, which growing one sub-identifier at a time allocated five times.
    size_t ends = 0;
    for (size_t i = 0; i < content.size; ++i)
        ends += (content.data[i] & 0x80) == 0;
    ids.resize(ends == 0 ? 0 : ends + 1);
    uint32_t *out = ids.data();
    uint64_t sub = 0;
    bool first = true;
    for (size_t i = 0; i < content.size; ++i) {
        const uint8_t byte = content.data[i];
        sub = (sub << 7) | (byte & 0x7F);
        // The first octets hold 40 x first + second, the second up to 2^32 - 1.
        if (sub > Largest + (first ? 80 : 0))
            return false;
        if (byte & 0x80)
            continue;
        if (first) {
            const uint32_t top = sub < 40 ? 0 : sub < 80 ? 1 : 2;
            *out++ = top;
            *out++ = uint32_t(sub - 40 * top);
            first = false;
        } else {
            *out++ = uint32_t(sub);
        }
        sub = 0;
    }
    return content.size == 0 || !(content.data[content.size - 1] & 0x80);
}

uint64_t readInteger(Bytes content)
{
    uint64_t value = (content.size > 0 && (content.data[0] & 0x80)) ? ~uint64_t(0) : 0;
    for (size_t i = 0; i < content.size; ++i)
        value = (value << 8) | content.data[i];
    return value;
}

uint64_t readUnsigned(Bytes content)
{
    uint64_t value = 0;
    for (size_t i = 0; i < content.size; ++i)
        value = (value << 8) | content.data[i];
    return value;
}

bool readValue(uint8_t tag, Bytes content, AsnAny &value)
{
    value.asnType = tag;
    value.number = 0;
    value.unsigned32 = 0;
    value.counter64 = 0;
    value.bytes.clear();
    value.object.ids.clear();
    switch (tag) {
    case asn::Integer32:
        value.number = int32_t(uint32_t(readInteger(content)));
        return true;
    case asn::Counter32:
    case asn::Gauge32:
    case asn::TimeTicks:
    case asn::Unsigned32:
        // The platform's API takes these modulo 2^32 too.
        value.unsigned32 = uint32_t(readUnsigned(content));
        return true;
    case asn::Counter64:
        value.counter64 = readUnsigned(content);
        return true;
    case asn::ObjectIdentifier:
        return readOid(content, value.object.ids);
    case asn::Null:
        return true;
    default:
        if (content.size > 0)
            value.bytes.assign(reinterpret_cast<const char *>(content.data), content.size);
        return true;
    }
}

bool readResponse(const uint8_t *datagram, size_t size, Response &response, int32_t version)
{
    Message header;
    size_t count = 0;
    auto &bindings = response.bindings;
    const bool read = readFrame(datagram, size, header, [&](size_t index, const Binding &binding) {
        // Reuse the records of an earlier answer: a walk reads one a row.
        if (index == bindings.size())
            bindings.emplace_back();
        SnmpVarBind &record = bindings[index];
        count = index + 1;
        return readOid(binding.name, record.name.ids) && record.name.ids.size() <= MaxNameLength
            && readValue(binding.tag, binding.value, record.value);
    });
    if (!read || header.version != version || header.pduType != GetResponse)
        return false;
    bindings.resize(count);
    response.requestId = header.requestId;
    response.errorStatus = header.errorStatus;
    response.errorIndex = header.errorIndex;
    return true;
}

} // namespace berreader
