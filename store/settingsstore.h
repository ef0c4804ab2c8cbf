// SPDX-License-Identifier: MIT
#pragma once

#include "store/registryhive.h"
#include "store/settings.h"
#include "store/storeerror.h"

// Keys of the store, as the program names them.
inline constexpr const char *SettingsKey = "\\Software\\Ferrolyn\\Norvane\\";
inline constexpr const char *AgentHistoryKey = "\\Software\\Ferrolyn\\Norvane\\History Lists\\hlAgent\\";
inline constexpr const char *CommunityHistoryKey = "\\Software\\Ferrolyn\\Norvane\\History Lists\\hlCommunity\\";
inline constexpr const char *OidHistoryKey = "\\Software\\Ferrolyn\\Norvane\\History Lists\\hlOid\\";
// Agent Properties: one key per agent text, its name the text's bytes with
// "%", "\" and control characters written as "%" and two hex digits ("%25",
// "%5C"); the values "Version", "UserName", "SecurityLevel", "AuthProtocol",
// "PrivProtocol", "Context" and "RememberPassphrases". Versions without
// Agent Properties ignore the key.
inline constexpr const char *AgentsKey = "\\Software\\Ferrolyn\\Norvane\\Agents\\";
// The Watch list: "Interval" (DWORD, milliseconds) and "Count" (DWORD), and
// a key "Item0", "Item1"... per object with "Agent", "Community" and "Oid"
// (dotted decimal). Keys past Count are left over from a longer list.
inline constexpr const char *WatchKey = "\\Software\\Ferrolyn\\Norvane\\Watch\\";
// The Traps window: "Address", "Port", "EngineID" (binary), "EngineBoots",
// "CommunityCount" and "Community0".., "UserCount" and the keys "User0"..
// with "UserName", "EngineID", "SecurityLevel", "AuthProtocol",
// "PrivProtocol", "RememberPassphrases". Counted, because the store keeps
// values and keys a shorter list no longer has.
inline constexpr const char *TrapsKey = "\\Software\\Ferrolyn\\Norvane\\Traps\\";

// What the load found, and the failure that ended it (none when it ran through).
struct LoadedSettings
{
    Settings settings;
    StoreError error;
};

// The load at window creation: the settings key, then the three history
// lists. Reads the hive's file first when that has not been done. A value of
// a wrong kind ends the load with its message: what was read before it is in
// the settings, the rest keeps its defaults (a list being read keeps the
// entries before it, and no list selects unless it was read whole). Without
// one, the error is the hive's message about a settings file that was
// unreadable or kept aside. A missing "hlOid" selects entry 0 in all three
// boxes; otherwise each list that was found selects its own.
//
// Agent Properties are read whatever came before, agent by agent: an agent
// with a value of a wrong kind has none (its message is the error when
// nothing failed before), and so has one with a number outside its list (a
// later version's protocol), silently. The Watch list loads on its own too:
// an item with a value of a wrong kind is left out.
LoadedSettings loadSettings(RegistryHive &hive);

// The write at exit: the settings key ("Position" only in the normal state),
// then the three history lists, then Agent Properties and the Watch list, then the hive's file. The file is written
// also when a value fails, so what was stored before the failure is kept; the
// value's message is then the error.
StoreError saveSettings(RegistryHive &hive, const Settings &settings);
