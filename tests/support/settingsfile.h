// SPDX-License-Identifier: MIT
#pragma once

// The settings file as the tests write it by hand and read it back. Header
// only, for the tests that link the store library.

#include "store/registryhive.h"
#include "store/settingsstore.h"
#include "tests/support/files.h"

#include <QByteArray>
#include <QRect>
#include <QString>

#include <cstdint>

inline const QByteArray Header = "REGEDIT4\r\n\r\n";
inline const QByteArray SettingsSection = "[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane]\r\n";
inline const QByteArray AgentSection = "[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\History Lists\\hlAgent]\r\n";
inline const QByteArray CommunitySection =
    "[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\History Lists\\hlCommunity]\r\n";
inline const QByteArray OidSection = "[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\History Lists\\hlOid]\r\n";

// A DWORD value's data: four bytes, little-endian.
inline QByteArray dword(uint32_t v)
{
    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out.append(char(v >> (8 * i)));
    return out;
}

// "Position"'s data: Left, Top, Right, Bottom, each a DWORD.
inline QByteArray position(const QRect &r)
{
    return dword(uint32_t(r.x())) + dword(uint32_t(r.y())) + dword(uint32_t(r.x() + r.width()))
           + dword(uint32_t(r.y() + r.height()));
}

struct Stored
{
    bool exists = false;
    uint32_t type = 0;
    QByteArray data;
};

// What the file at path holds now, read through a fresh hive.
inline Stored storedValue(const QString &path, const char *key, const QByteArray &name)
{
    RegistryHive hive(path);
    (void)hive.load(); // only the values are asked for
    HiveKey k;
    Stored s;
    uint32_t size = 0;
    if (hive.regOpenKey(key, &k) != ERROR_SUCCESS || k.regQueryValue(name, &s.type, nullptr, &size) != ERROR_SUCCESS)
        return s;
    s.exists = true;
    s.data.resize(size);
    k.regQueryValue(name, &s.type, s.data.data(), &size);
    return s;
}
