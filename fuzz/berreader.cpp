// SPDX-License-Identifier: MIT
// Any bytes as an agent's datagram: the reader stays inside them, what it
// reads (an SNMPv1 Trap-PDU's fields too) encodes again to the same message,
// and the records it makes hold exactly the octets and numbers that were read.
#include "engine/snmp/berreader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace berreader;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "berreader: %s\n", what);
    std::abort();
}

std::string tlv(uint8_t tag, const std::string &content)
{
    std::string out(1, char(tag));
    if (content.size() < 0x80) {
        out.push_back(char(content.size()));
    } else {
        std::string digits;
        for (size_t n = content.size(); n > 0; n >>= 8)
            digits.insert(digits.begin(), char(n & 0xFF));
        out.push_back(char(0x80 | digits.size()));
        out += digits;
    }
    return out + content;
}

std::string text(Bytes bytes)
{
    return std::string(reinterpret_cast<const char *>(bytes.data), bytes.size);
}

std::string int32Content(int32_t value)
{
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(char(uint32_t(value) >> shift));
    return out; // not the shortest form: the reader takes any
}

std::string oidContent(const std::vector<uint32_t> &ids)
{
    std::string out;
    const auto append = [&out](uint64_t sub) {
        std::string octets(1, char(sub & 0x7F));
        for (sub >>= 7; sub > 0; sub >>= 7)
            octets.insert(octets.begin(), char(0x80 | (sub & 0x7F)));
        out += octets;
    };
    if (!ids.empty())
        append(uint64_t(ids[0]) * 40 + ids[1]);
    for (size_t i = 2; i < ids.size(); ++i)
        append(ids[i]);
    return out;
}

bool inside(Bytes bytes, const uint8_t *data, size_t size)
{
    return bytes.size == 0 || (bytes.data >= data && bytes.size <= size && bytes.data - data <= ptrdiff_t(size - bytes.size));
}

bool sameOctets(const std::string &expected, Bytes read)
{
    return expected == text(read);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Message message;
    const bool framed = readMessage(data, size, message);
    Response response;
    const bool answered = readResponse(data, size, response);
    Response v2c;
    const bool answeredV2c = readResponse(data, size, v2c, 1);
    if (!framed) {
        if (answered || answeredV2c)
            fail("a response from a datagram that is no message");
        return 0;
    }

    bool allOids = true;
    std::string list;
    for (const Binding &binding : message.bindings) {
        if (!inside(binding.name, data, size) || !inside(binding.value, data, size))
            fail("a range outside the datagram");
        std::vector<uint32_t> ids;
        if (readOid(binding.name, ids)) {
            allOids = allOids && ids.size() <= MaxNameLength; // longer names are refused
            // A read OID encodes back to the same sub-identifiers.
            std::vector<uint32_t> again;
            const std::string encoded = oidContent(ids);
            if (!readOid(Bytes{reinterpret_cast<const uint8_t *>(encoded.data()), encoded.size()}, again) || again != ids)
                fail("OID round trip");
        } else {
            allOids = false;
        }
        AsnAny value;
        allOids = readValue(binding.tag, binding.value, value) && allOids; // OID values too
        list += tlv(0x30, tlv(0x06, text(binding.name)) + tlv(binding.tag, text(binding.value)));
    }
    if (!inside(message.community, data, size))
        fail("community outside the datagram");

    // What was read, encoded again, reads back the same; an SNMPv1
    // Trap-PDU has its own fields in place of the three numbers.
    const TrapFields &trap = message.trap;
    if (!inside(trap.enterprise, data, size) || !inside(trap.agentAddress, data, size))
        fail("trap field outside the datagram");
    const std::string pdu = message.pduType == 0xA4
        ? tlv(0x06, text(trap.enterprise)) + tlv(0x40, text(trap.agentAddress)) + tlv(0x02, int32Content(trap.genericTrap))
            + tlv(0x02, int32Content(trap.specificTrap)) + tlv(0x43, int32Content(int32_t(trap.timeStamp))) + tlv(0x30, list)
        : tlv(0x02, int32Content(message.requestId)) + tlv(0x02, int32Content(message.errorStatus))
            + tlv(0x02, int32Content(message.errorIndex)) + tlv(0x30, list);
    const std::string encoded =
        tlv(0x30, tlv(0x02, int32Content(message.version)) + tlv(0x04, text(message.community)) + tlv(message.pduType, pdu));
    Message again;
    if (!readMessage(reinterpret_cast<const uint8_t *>(encoded.data()), encoded.size(), again))
        fail("re-encoded message refused");
    if (again.version != message.version || again.pduType != message.pduType || again.requestId != message.requestId
        || again.errorStatus != message.errorStatus || again.errorIndex != message.errorIndex
        || !sameOctets(text(message.community), again.community) || again.bindings.size() != message.bindings.size()
        || !sameOctets(text(trap.enterprise), again.trap.enterprise)
        || !sameOctets(text(trap.agentAddress), again.trap.agentAddress) || again.trap.genericTrap != trap.genericTrap
        || again.trap.specificTrap != trap.specificTrap || again.trap.timeStamp != trap.timeStamp)
        fail("re-encoded header differs");
    for (size_t i = 0; i < again.bindings.size(); ++i) {
        const Binding &a = message.bindings[i];
        const Binding &b = again.bindings[i];
        if (a.tag != b.tag || !sameOctets(text(a.name), b.name) || !sameOctets(text(a.value), b.value))
            fail("re-encoded binding differs");
    }

    // The records: exactly the GetResponses of the version asked for whose
    // names (of at most MaxNameLength sub-identifiers) and OID values are OIDs.
    if (answered != (message.version == 0 && message.pduType == 0xA2 && allOids)
        || answeredV2c != (message.version == 1 && message.pduType == 0xA2 && allOids))
        fail("response accepted or refused against the message");
    if (!answered)
        return 0;
    if (response.bindings.size() != message.bindings.size() || response.requestId != message.requestId
        || response.errorStatus != message.errorStatus || response.errorIndex != message.errorIndex)
        fail("response header");
    for (size_t i = 0; i < message.bindings.size(); ++i) {
        const Binding &read = message.bindings[i];
        const AsnAny &value = response.bindings[i].value;
        std::vector<uint32_t> ids;
        readOid(read.name, ids);
        if (response.bindings[i].name.ids != ids || value.asnType != read.tag)
            fail("record name or tag");
        bool same = true;
        switch (read.tag) {
        case 0x02:
            same = value.number == int32_t(uint32_t(readInteger(read.value)));
            break;
        case 0x41:
        case 0x42:
        case 0x43:
        case 0x47:
            same = value.unsigned32 == uint32_t(readUnsigned(read.value));
            break;
        case 0x46:
            same = value.counter64 == readUnsigned(read.value);
            break;
        case 0x06:
            readOid(read.value, ids);
            same = value.object.ids == ids;
            break;
        case 0x05:
            same = value.bytes.empty();
            break;
        default:
            same = sameOctets(value.bytes, read.value);
            break;
        }
        if (!same)
            fail("record value");
    }
    return 0;
}
