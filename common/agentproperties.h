// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <cstdint>
#include <iterator>

// What the user set for one agent text in Agent Properties: the SNMP version
// it speaks and, for SNMPv3, the user-based security settings. Never a
// passphrase: those live in the desktop keyring or in memory (common/secret.h).
// Stored as their numbers; a number outside an enum's range reads as no
// properties at all.

enum class AgentVersion : int32_t { Default = 0, V1 = 1, V2c = 2, V3 = 3 };
enum class SecurityLevel : int32_t { NoAuthNoPriv = 1, AuthNoPriv = 2, AuthPriv = 3 };
enum class AuthProtocol : int32_t { MD5 = 1, SHA = 2, SHA224 = 3, SHA256 = 4, SHA384 = 5, SHA512 = 6 };
// AES-192 and AES-256 extend the key as RFC 3826's successor drafts do
// ("Blumenthal"); the -C variants as Cisco and others do ("Reeder").
enum class PrivProtocol : int32_t { DES = 1, AES = 2, AES192 = 3, AES256 = 4, AES192C = 5, AES256C = 6 };

struct AgentProperties
{
    AgentVersion version = AgentVersion::Default;
    QString userName;
    SecurityLevel level = SecurityLevel::AuthPriv;
    AuthProtocol auth = AuthProtocol::SHA;
    PrivProtocol priv = PrivProtocol::AES;
    QString context;
    bool rememberPassphrases = false;

    bool operator==(const AgentProperties &) const = default;
};

namespace usmnames {
// The names the dialog lists and Net-SNMP's own tools take (-a, -x, -l).
inline constexpr const char *Levels[] = {"noAuthNoPriv", "authNoPriv", "authPriv"};
inline constexpr const char *Auth[] = {"MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};
inline constexpr const char *Priv[] = {"DES", "AES", "AES-192", "AES-256", "AES-192-C", "AES-256-C"};

inline const char *levelName(SecurityLevel level)
{
    return Levels[int(level) - 1];
}
inline const char *authName(AuthProtocol auth)
{
    return Auth[int(auth) - 1];
}
inline const char *privName(PrivProtocol priv)
{
    return Priv[int(priv) - 1];
}

inline bool validLevel(int32_t n)
{
    return n >= 1 && n <= int32_t(std::size(Levels));
}
inline bool validAuth(int32_t n)
{
    return n >= 1 && n <= int32_t(std::size(Auth));
}
inline bool validPriv(int32_t n)
{
    return n >= 1 && n <= int32_t(std::size(Priv));
}
} // namespace usmnames
