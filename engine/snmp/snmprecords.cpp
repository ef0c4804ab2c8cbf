// SPDX-License-Identifier: MIT
#include "engine/snmp/snmprecords.h"

#include <algorithm>
#include <cstdlib>

int SnmpUtilOidCpy(AsnObjectIdentifier *dst, const AsnObjectIdentifier *src)
{
    if (!dst || !src)
        return 0;
    dst->ids = src->ids;
    return 1;
}

int SnmpUtilOidNCmp(const AsnObjectIdentifier *a, const AsnObjectIdentifier *b, unsigned n)
{
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    const size_t la = std::min<size_t>(a->ids.size(), n);
    const size_t lb = std::min<size_t>(b->ids.size(), n);
    const size_t common = std::min(la, lb);
    for (size_t i = 0; i < common; ++i) {
        if (a->ids[i] != b->ids[i])
            return a->ids[i] < b->ids[i] ? -1 : 1;
    }
    // An identifier shorter than n cannot match over n sub-identifiers.
    if (la != lb)
        return la < lb ? -1 : 1;
    return 0;
}

void *SnmpUtilMemAlloc(size_t size)
{
    // Zeroed, as the platform's allocator hands it out.
    return std::calloc(1, size ? size : 1);
}

void SnmpUtilMemFree(void *block)
{
    std::free(block);
}

void SnmpUtilVarBindListFree(SnmpVarBindList *list)
{
    if (list)
        std::vector<SnmpVarBind>().swap(list->list);
}

std::string hexDump(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
        text.push_back(' ');
    }
    return text;
}
