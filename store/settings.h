// SPDX-License-Identifier: MIT
#pragma once

#include "common/agentproperties.h"
#include "common/operation.h"
#include "common/transport.h"

#include <QRect>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

// One input box's history list as the store holds it.
struct HistorySettings
{
    // The entries, most recent first. At load: present only when the list's
    // key was found, and then they replace the box's entries (up to a failing
    // value, when the load failed inside the list).
    std::optional<QStringList> items;
    // At load: select entry 0 of the box, whichever entries it then holds.
    bool selectFirst = false;
};

// Agent texts compare ignoring letter case, as the hive's key names do.
struct AgentTextLess
{
    bool operator()(const QString &a, const QString &b) const { return a.compare(b, Qt::CaseInsensitive) < 0; }
};
// Agent Properties by the agent text as typed.
using AgentPropertiesMap = std::map<QString, AgentProperties, AgentTextLess>;

// The Watch window's list: each object on its agent, as the window polls it
// (the samples are not kept), and the poll interval.
struct WatchEntry
{
    QString agent;
    QString community;
    QString oid; // dotted decimal

    bool operator==(const WatchEntry &) const = default;
};
struct WatchSettings
{
    int intervalMs = 5000;
    std::vector<WatchEntry> entries;
};

// An SNMPv3 user whose notifications the Traps window takes; never its
// passphrases (the desktop keyring or memory keeps those, as for agents).
struct TrapUser
{
    QString userName;
    QByteArray engineId; // the sender's, for its traps; empty: informs only
    SecurityLevel level = SecurityLevel::AuthPriv;
    AuthProtocol auth = AuthProtocol::SHA256;
    PrivProtocol priv = PrivProtocol::AES256;
    bool rememberPassphrases = false;

    bool operator==(const TrapUser &) const = default;
};

// The Traps window's receiver: where it listens, whose notifications it
// takes, and our own SNMPv3 engine (its ID once made, the boots so far).
struct TrapSettings
{
    QString address; // empty: every IPv4 and IPv6 address
    int port = 162;
    QStringList communities = {QStringLiteral("public")};
    std::vector<TrapUser> users;
    QByteArray engineId;
    uint32_t engineBoots = 0;

    bool operator==(const TrapSettings &) const = default;
};

// Everything the program keeps between runs, as one value: what the load
// found and what the exit writes. A default value is a first start: the
// window's own state before anything is loaded, except for the bounds and
// the history entries, which the window builds itself.
struct Settings
{
    // The window's normal bounds: x() = Left, y() = Top, width() = Right -
    // Left, height() = Bottom - Top (so Right and Bottom lie just outside
    // the rectangle, as QRect::right() does not). Absent at load when
    // "Position" is missing or shorter than 16 bytes; the window then keeps
    // its built-in bounds. Stored bounds are handed over as they are: the
    // window must see that they meet a screen.
    std::optional<QRect> bounds;
    int windowState = 0; // 0 normal, 1 minimised, 2 maximised; the load gives 2 or 0
    bool toolBarShown = true;
    bool statusBarShown = true;
    Operation operation = Operation::Get;
    TransportSettings transport;
    bool mibValues = false; // the View menu's MIB Values
    HistorySettings agents;
    HistorySettings communities;
    HistorySettings oids;
    // Never a passphrase: those live in the desktop keyring or in memory.
    AgentPropertiesMap agentProperties;
    WatchSettings watch;
    TrapSettings traps;
};
