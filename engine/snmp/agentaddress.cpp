// SPDX-License-Identifier: MIT
#include "engine/snmp/agentaddress.h"

#include "engine/snmp/snmperrors.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

namespace {

bool isHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'
        || c == '_' || c == ':' || c == '%';
}

} // namespace

uint32_t agentAddressError(const std::string &agent)
{
    static constexpr std::string_view transports[] = {"udp", "tcp", "udp6", "tcp6", "udpv6", "tcpv6",
                                                      "udpipv6", "tcpipv6", "unix", "ipx", "dtlsudp", "tlstcp"};
    std::string_view rest = agent;
    if (const auto colon = rest.find(':'); colon != std::string_view::npos) {
        std::string prefix(rest.substr(0, colon));
        std::transform(prefix.begin(), prefix.end(), prefix.begin(), [](unsigned char c) { return std::tolower(c); });
        if (std::find(std::begin(transports), std::end(transports), prefix) != std::end(transports))
            rest.remove_prefix(colon + 1);
    }

    std::string_view host = rest;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos)
            return SnmpMgrErrors::InvalidParameter;
        host = rest.substr(1, close - 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                return SnmpMgrErrors::InvalidParameter;
            port = after.substr(1);
            if (port.empty())
                return SnmpMgrErrors::InvalidParameter;
        }
    } else if (std::count(rest.begin(), rest.end(), ':') == 1) {
        const auto colon = rest.find(':');
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (port.empty())
            return SnmpMgrErrors::InvalidParameter;
    }
    if (host.empty() || !std::all_of(host.begin(), host.end(), isHostChar))
        return SnmpMgrErrors::InvalidParameter;
    if (!port.empty()) {
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec != std::errc() || end != port.data() + port.size() || value > 65535)
            return SnmpMgrErrors::InvalidParameter;
    }

    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    const std::string hostText(host);
    const int rc = getaddrinfo(hostText.c_str(), nullptr, &hints, &found);
    if (found)
        freeaddrinfo(found);
    return rc == 0 ? SnmpMgrErrors::AgentErrors : SnmpMgrErrors::HostNotFound;
}
