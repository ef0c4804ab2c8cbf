// SPDX-License-Identifier: MIT
// The row rendering of arbitrary bindings: any tag, values of any length
// (an IpAddress of fewer than four bytes included), names of any length and
// names inside the tables whose indexes Net-SNMP decodes into texts.
#include "engine/mib/oidtext.h"
#include "engine/query/rowrender.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Table columns with string, address and OID indexes in the loaded MIBs:
// the name conversion decodes the sub-identifiers after them.
const std::vector<uint32_t> IndexedColumns[] = {
    {1, 3, 6, 1, 2, 1, 2, 2, 1, 2},                        // ifDescr (integer)
    {1, 3, 6, 1, 2, 1, 4, 20, 1, 1},                       // ipAdEntAddr (IpAddress)
    {1, 3, 6, 1, 2, 1, 3, 1, 1, 2},                        // atPhysAddress (NetworkAddress)
    {1, 3, 6, 1, 2, 1, 6, 13, 1, 1},                       // tcpConnState (four parts)
    {1, 3, 6, 1, 2, 1, 31, 1, 4, 1, 2},                    // ifRcvAddressStatus (PhysAddress)
    {1, 3, 6, 1, 6, 3, 15, 1, 2, 2, 1, 3},                 // usmUserSecurityName (two strings)
    {1, 3, 6, 1, 6, 3, 16, 1, 2, 1, 3},                    // vacmGroupName
    {1, 3, 6, 1, 6, 3, 16, 1, 4, 1, 4},                    // vacmAccessContextMatch
    {1, 3, 6, 1, 6, 3, 16, 1, 5, 2, 1, 3},                 // vacmViewTreeFamilyMask (OID index)
    {1, 3, 6, 1, 6, 3, 12, 1, 2, 1, 2},                    // snmpTargetAddrTDomain (IMPLIED)
    {1, 3, 6, 1, 6, 3, 18, 1, 1, 1, 2},                    // snmpCommunityName (IMPLIED)
    {1, 3, 6, 1, 4, 1, 8072, 1, 3, 2, 2, 1, 2},            // nsExtendCommand
    {1, 3, 6, 1, 4, 1, 8072, 1, 9, 1, 1, 2},               // nsVacmViewName (IMPLIED last)
};

[[noreturn]] void fail(const char *what, const ResultRow &row)
{
    std::fprintf(stderr, "rowrender: %s\noid   %s\nname  %s\ntype  %s\nvalue %s\n", what, row.oid.c_str(),
                 row.name.c_str(), row.type.c_str(), row.value.c_str());
    std::abort();
}

uint32_t subIdentifier(FuzzedDataProvider &in)
{
    // Mostly small numbers, as real names have, sometimes any 32-bit value.
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return in.ConsumeIntegral<uint32_t>();
    case 1:
        return in.ConsumeIntegralInRange<uint32_t>(0, 300);
    default:
        return in.ConsumeIntegralInRange<uint32_t>(0, 127);
    }
}

std::vector<uint32_t> identifier(FuzzedDataProvider &in, size_t maxLength)
{
    std::vector<uint32_t> ids;
    const int prefix = in.ConsumeIntegralInRange<int>(0, 2 * int(std::size(IndexedColumns)));
    if (prefix < int(std::size(IndexedColumns)))
        ids = IndexedColumns[prefix];
    const size_t length = in.ConsumeIntegralInRange<size_t>(0, maxLength);
    for (size_t i = 0; i < length && in.remaining_bytes() > 0; ++i)
        ids.push_back(subIdentifier(in));
    return ids;
}

bool isHexDump(const std::string &text, size_t bytes)
{
    if (text.size() != 3 * bytes)
        return false;
    const auto upperHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    for (size_t i = 0; i < text.size(); i += 3) {
        if (!upperHex(text[i]) || !upperHex(text[i + 1]) || text[i + 2] != ' ')
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    SnmpVarBind binding;
    binding.value.asnType = in.ConsumeIntegral<uint8_t>();
    binding.value.number = in.ConsumeIntegral<int32_t>();
    binding.value.unsigned32 = in.ConsumeIntegral<uint32_t>();
    binding.value.counter64 = in.ConsumeIntegral<uint64_t>();
    binding.name.ids = identifier(in, 600);
    binding.value.object.ids = identifier(in, 300);
    binding.value.bytes = in.ConsumeRemainingBytesAsString();

    const ResultRow row = renderBinding(binding);

    // SNMPv2c rows are the same but for the exceptions' type texts.
    const ResultRow v2c = renderBinding(binding, SnmpVersion::V2c);
    const uint8_t tag = binding.value.asnType;
    static constexpr const char *exceptions[] = {"noSuchObject", "noSuchInstance", "endOfMibView"};
    if (v2c.oid != row.oid || v2c.name != row.name || v2c.value != row.value
        || v2c.type != (tag >= 0x80 && tag <= 0x82 ? exceptions[tag - 0x80] : row.type))
        fail("SNMPv2c row", v2c);

    // "." and the dotted name cut to 255 characters.
    const std::string dotted = SnmpUtilOidToA(&binding.name);
    if (row.oid != "." + dotted.substr(0, 255))
        fail("OID text", row);
    if (!binding.name.ids.empty() && row.name.empty())
        fail("no name text", row);

    const std::string &bytes = binding.value.bytes;
    switch (binding.value.asnType) {
    case 0x03:
    case 0x30:
    case 0x44:
        if (!isHexDump(row.value, bytes.size()))
            fail("hex dump", row);
        break;
    case 0x04: {
        const bool readable = std::all_of(bytes.begin(), bytes.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte == 0 || (byte >= 0x20 && byte <= 0x7F);
        });
        if (readable ? row.value != bytes.substr(0, bytes.find('\0')) : !isHexDump(row.value, bytes.size()))
            fail("octet string", row);
        break;
    }
    case 0x06:
        if (row.value != "." + std::string(SnmpUtilOidToA(&binding.value.object)).substr(0, 255))
            fail("object identifier value", row);
        break;
    case 0x40: {
        // At most four numbers, never more than the bytes there are.
        const size_t parts = std::min<size_t>(bytes.size(), 4);
        const size_t dots = size_t(std::count(row.value.begin(), row.value.end(), '.'));
        if (row.value.size() > 15 || (parts == 0 ? !row.value.empty() : dots != parts - 1))
            fail("IpAddress", row);
        break;
    }
    case 0x02:
    case 0x05:
    case 0x41:
    case 0x42:
    case 0x43:
    case 0x46:
    case 0x47:
        break;
    default:
        if (row.type != "Unexpected Type" || !row.value.empty())
            fail("unknown tag", row);
        break;
    }
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The MIB folder of the build tree, so names are decoded as in the program.
    setenv("NORVANE_MIBDIR", NORVANE_FUZZ_MIBDIR, 0);
    return 0;
}
