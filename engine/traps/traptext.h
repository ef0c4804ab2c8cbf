// SPDX-License-Identifier: MIT
#pragma once

// The texts the Traps list shows of a notification: its name by the MIB,
// a one-line summary of its bindings, where it came from. Names come from the
// loaded MIB set (GUI thread only), so texts made in one generation are
// stale in the next.

#include "engine/snmp/notification.h"

#include <string>

// "IF-MIB::linkDown" where a module names the OID, else its dotted decimal
// with a leading dot; "(no snmpTrapOID.0)" when the bindings lack one.
std::string notificationName(const AsnObjectIdentifier &trapOid);

// "ifIndex.2=2, ifAdminStatus.2=down, ..." for the bindings after
// sysUpTime.0 and snmpTrapOID.0 (and, for a translated SNMPv1 trap, before
// the three RFC 3584 added), names without their module, values as the list
// shows them (by the MIB when mibValues). At most MaxSummary bytes.
inline constexpr size_t MaxSummary = 2000;
std::string notificationSummary(const Notification &notification, bool mibValues);

// "10.0.0.1:162", "[2001:db8::1]:162".
std::string senderText(const Sender &sender);

// An SNMPv1 Trap-PDU's own fields as one line ("enterprise .1.3.6.1.4.1.8072,
// agent 10.0.0.1, generic 6, specific 17, time-stamp 1234"); SNMPv3's engine
// ID (hex) and context; empty for SNMPv2c.
std::string notificationDetails(const Notification &notification);
