// SPDX-License-Identifier: MIT
#pragma once

// The SNMPv3 users the tests give snmpd (SnmpdAgent::addConfig): one for
// every authentication and privacy protocol pair and one for every
// authentication protocol without privacy, each allowed at its own level
// only; one without authentication; one that reads in a context of its own
// (served by snmpd proxying its own system group). Each passphrase is unique
// in the tests' files, so a grep for it finds every copy.


#include "engine/snmp/agentsecurity.h"

#include <QString>

#include <optional>

namespace v3users {

inline constexpr const char *AuthPassphrase = "nvAuthPass-9x3q";
inline constexpr const char *PrivPassphrase = "nvPrivPass-7y4w";
inline constexpr const char *NoAuthUser = "u_none";
inline constexpr const char *ContextUser = "u_ctx";
inline constexpr const char *Context = "ctxa";

// The privacy protocol of number p (1 to 6), none for 0.
inline std::optional<PrivProtocol> privacy(int p)
{
    std::optional<PrivProtocol> priv;
    if (p != 0)
        priv = PrivProtocol(p);
    return priv;
}

inline QString lowerName(const char *name)
{
    return QString::fromLatin1(name).toLower().remove(QLatin1Char('-'));
}

inline QString userName(AuthProtocol auth, std::optional<PrivProtocol> priv)
{
    return QStringLiteral("u_%1_%2")
        .arg(lowerName(usmnames::authName(auth)), priv ? lowerName(usmnames::privName(*priv)) : QStringLiteral("none"));
}

inline AgentSecurity security(AuthProtocol auth, std::optional<PrivProtocol> priv)
{
    AgentSecurity s;
    s.userName = userName(auth, priv).toStdString();
    s.level = priv ? SecurityLevel::AuthPriv : SecurityLevel::AuthNoPriv;
    s.auth = auth;
    s.priv = priv.value_or(PrivProtocol::AES);
    s.authPassphrase = Secret(AuthPassphrase);
    if (priv)
        s.privPassphrase = Secret(PrivPassphrase);
    return s;
}

// The user of that name among those above, with its passphrases.
inline AgentSecurity securityOf(const QString &name)
{
    for (int a = 1; a <= 6; ++a) {
        for (int p = 0; p <= 6; ++p) {
            const std::optional<PrivProtocol> priv = privacy(p);
            if (userName(AuthProtocol(a), priv) == name)
                return security(AuthProtocol(a), priv);
        }
    }
    AgentSecurity none;
    none.userName = name.toStdString();
    none.level = SecurityLevel::NoAuthNoPriv;
    return none;
}

inline QString snmpdConfig()
{
    QString lines;
    for (int a = 1; a <= 6; ++a) {
        const auto auth = AuthProtocol(a);
        for (int p = 0; p <= 6; ++p) {
            const std::optional<PrivProtocol> priv = privacy(p);
            const QString name = userName(auth, priv);
            lines += QStringLiteral("createUser %1 %2 %3").arg(name, QLatin1String(usmnames::authName(auth)),
                                                               QLatin1String(AuthPassphrase));
            if (priv)
                lines += QStringLiteral(" %1 %2").arg(QLatin1String(usmnames::privName(*priv)),
                                                       QLatin1String(PrivPassphrase));
            lines += QStringLiteral("\nrouser %1 %2\n").arg(name, priv ? QStringLiteral("priv") : QStringLiteral("auth"));
        }
    }
    lines += QStringLiteral("createUser %1\nrouser %1 noauth\n").arg(QLatin1String(NoAuthUser));
    lines += QStringLiteral("createUser %1 SHA %2 AES %3\nrouser %1 priv .1 %4\n"
                            "proxy -Cn %4 -v 2c -c tarnel 127.0.0.1:%PORT% .1.3.6.1.2.1.1\n")
                 .arg(QLatin1String(ContextUser), QLatin1String(AuthPassphrase), QLatin1String(PrivPassphrase),
                      QLatin1String(Context));
    return lines;
}

} // namespace v3users
