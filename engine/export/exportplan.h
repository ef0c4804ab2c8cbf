// SPDX-License-Identifier: MIT
#pragma once

// What a monitoring engine's SNMP poller needs to be told about the objects
// found in the browser, worked out from the loaded MIBs: the names to walk,
// the lookups that label a table's rows by a name column, the string types
// of the values, and the modules that define all of it. The proposal for
// Prometheus's snmp_exporter; the user may change every part of it.

#include "common/prometheusmodule.h"

#include <cstdint>
#include <string>
#include <vector>

struct ExportProposal
{
    std::vector<PrometheusLookup> lookups;
    // The string objects walked, typed as their MIB syntax and display hint
    // say; the columns the lookups read, ignored (they are labels already).
    std::vector<PrometheusOverride> overrides;
    bool counter64 = false; // a Counter64 is walked: SNMPv1 cannot carry it
};

// The names to walk for the OIDs chosen: a scalar's or a column's instance
// stands for its object, a table's entry for its table, any other node for
// itself; each once, in OID order, none that lies under another. A name two
// loaded nodes share is given as its OID; an OID no loaded module names
// stays as it is, in dotted decimal.
std::vector<std::string> walkNamesFor(const std::vector<std::vector<uint32_t>> &oids);

// For each table walked whose rows are numbered, a lookup of a name column
// ("...Name", then "...Descr") in that table or in a table with the same
// INDEX from the table's module or its index's, unless the user refused it;
// and the overrides. Names the loaded MIBs do not know are passed over.
ExportProposal proposeFor(const std::vector<std::string> &walk, const std::vector<PrometheusLookup> &refused = {});

// The modules that define these names (or dotted OIDs); a name no loaded
// module defines goes into *unknown.
std::vector<std::string> modulesDefining(const std::vector<std::string> &names, std::vector<std::string> *unknown);
