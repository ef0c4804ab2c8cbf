// SPDX-License-Identifier: MIT
#pragma once

// Names of OIDs, byte for byte as SnmpMgrOidToStr gives them, looked up once
// per MIB node instead of once per row. A walk's rows mostly share their
// column's node: the node's name text is worked out at its first row, and a
// row under it is that text and its instance in dotted decimal. Where
// Net-SNMP renders the instance by the table's INDEX types (strings in
// quotes, enumeration labels, IMPLIED and object identifier indexes), or the
// text would pass its 512-character limit, the row gets the full conversion.

#include "engine/mib/rowrole.h"
#include "engine/snmp/snmprecords.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

struct tree; // Net-SNMP's MIB node, valid in the generation the cache holds; inside engine/mib only

class OidNameCache
{
public:
    // A few thousand prefixes: every column of a large agent, some hundred kilobytes.
    static constexpr size_t DefaultCapacity = 4096;
    // Beyond this length of Net-SNMP's full path text the row gets the full conversion,
    // which fails past 510 characters (and then shows the numbers).
    static constexpr size_t MaxPathText = 500;

    explicit OidNameCache(size_t capacity = DefaultCapacity);

    // This thread's cache: the one the row rendering uses.
    static OidNameCache &local();

    // The name as SnmpMgrOidToStr gives it, into `text`; what the MIB makes
    // of the OID's object comes with it.
    RowRole name(const AsnObjectIdentifier &oid, std::string &text);

    struct Counts
    {
        uint64_t cached = 0; // names built from their node's text
        uint64_t full = 0;   // names from the full conversion
    };
    Counts counts() const { return m_counts; }
    size_t size() const { return m_index.size(); }

private:
    struct Entry
    {
        std::u32string prefix;
        const tree *node = nullptr;
        std::string text;         // the node's part of a row's name ("IF-MIB::ifDescr")
        size_t pathText = 0;      // length of Net-SNMP's full path text (".iso.org...ifDescr")
        bool numericSuffix = false; // the instance prints as plain numbers whatever its value
        RowRole role = RowRole::Plain;
    };
    using Order = std::list<Entry>;

    const Entry *find(const AsnObjectIdentifier &oid);
    void fullName(const AsnObjectIdentifier &oid, std::string &text);

    size_t m_capacity;
    uint64_t m_generation = 0;
    Order m_order; // most recently used first
    std::unordered_map<std::u32string_view, Order::iterator> m_index; // keys view m_order's prefixes
    std::u32string m_key;
    Counts m_counts;
};
