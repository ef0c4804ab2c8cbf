// SPDX-License-Identifier: MIT
#pragma once

// The parts of a Prometheus snmp_exporter module that the MIB proposes and
// the generator's file (generator.yml) holds, as plain values: what the
// engine works out and the store writes.

#include <string>
#include <vector>

// A label for a table's rows from another column: source_indexes -> lookup.
struct PrometheusLookup
{
    std::vector<std::string> sourceIndexes;
    std::string lookup;

    bool operator==(const PrometheusLookup &) const = default;
};

// How the exporter renders an object's metric: one of OverrideTypes, or
// IgnoreOverride to leave the metric out.
struct PrometheusOverride
{
    std::string object;
    std::string type;

    bool operator==(const PrometheusOverride &) const = default;
};

namespace prometheus {
inline constexpr const char *IgnoreOverride = "ignore";
// The type overrides the generator of snmp_exporter 0.21 accepts.
inline constexpr const char *OverrideTypes[] = {
    "gauge",       "counter",         "OctetString",     "DateAndTime", "DisplayString",
    "PhysAddress48", "Float",         "Double",          "InetAddressIPv4", "InetAddressIPv6",
    "InetAddress", "InetAddressMissingSize", "EnumAsInfo", "EnumAsStateSet", "Bits"};
} // namespace prometheus
