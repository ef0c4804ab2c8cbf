// SPDX-License-Identifier: MIT
#include "engine/snmp/snmperrors.h"

#include <algorithm>

namespace {

constexpr SnmpErrorInfo Codes[] = {
    {SnmpMgrErrors::Timeout, "Timeout",
     "The agent did not answer within the timeout x (retries + 1). Check the address and port, the community "
     "(SNMPv1 and SNMPv2c agents drop requests with a wrong one) or the SNMPv3 user, and any firewall between."},
    {SnmpMgrErrors::SelectFdErrors, "SelectFdErrors",
     "The request could not be sent or the answer not received: the socket failed. Check the network "
     "connection and the agent address."},
    {SnmpMgrErrors::AgentErrors, "AgentErrors",
     "Something answered, but not with a response of the chosen SNMP version to this request (bad framing, "
     "another version, a name that is no OID), or the session could not be set up. Check the SNMP version "
     "in Options or Agent Properties."},
    {SnmpMgrErrors::InvalidSession, "InvalidSession", "The session handle is not valid."},
    {SnmpMgrErrors::InvalidParameter, "InvalidParameter",
     "The agent text is not an address that can be used (for example a bad port), or the request itself is "
     "invalid. Write the agent as host, host:port or transport:host:port."},
    {SnmpMgrErrors::UnknownUserName, "UnknownUserName",
     "SNMPv3: the agent does not know the user name. Check the user in Agent Properties."},
    {SnmpMgrErrors::AuthenticationFailure, "AuthenticationFailure",
     "SNMPv3: the agent could not authenticate the message. Check the authentication protocol and passphrase "
     "in Agent Properties."},
    {SnmpMgrErrors::SecurityLevelUnsupported, "SecurityLevelUnsupported",
     "SNMPv3: the agent does not support this security level for the user. Check the security level in "
     "Agent Properties."},
    {SnmpMgrErrors::UnknownEngineID, "UnknownEngineID",
     "SNMPv3: the agent no longer has the engine ID the session discovered: it was restarted as another engine. "
     "A run discovers the new one and asks again, once."},
    {SnmpMgrErrors::DecryptionError, "DecryptionError",
     "SNMPv3: the agent could not decrypt the request. Check the privacy protocol and passphrase in Agent "
     "Properties."},
    {SnmpMgrErrors::ConnectionReset, "ConnectionReset",
     "The agent's connection was closed or reset (an agent reached over tcp: or unix: went away). Check "
     "that the agent is running."},
    {SnmpMgrErrors::HostNotFound, "HostNotFound",
     "The host name could not be resolved. Check its spelling and the name service (DNS, /etc/hosts)."},
};

constexpr SnmpErrorInfo Statuses[] = {
    {0, "noError", "The request succeeded."},
    {1, "tooBig", "The answer would not fit one message. Ask for fewer objects at once."},
    {2, "noSuchName", "The agent has no such object (SNMPv1), or may not be asked for it with this community. "
                      "The error index names the binding."},
    {3, "badValue", "The value given for the object is not acceptable to the agent."},
    {4, "readOnly", "The object may not be written."},
    {5, "genErr", "The agent failed for a reason of its own. The error index names the binding."},
    {6, "noAccess", "The object is not accessible with this community or user."},
    {7, "wrongType", "The value's type is not the object's type."},
    {8, "wrongLength", "The value's length does not fit the object."},
    {9, "wrongEncoding", "The value is not encoded as the object requires."},
    {10, "wrongValue", "The value is outside what the object accepts."},
    {11, "noCreation", "The object does not exist and cannot be created."},
    {12, "inconsistentValue", "The value cannot be taken in the object's present state."},
    {13, "resourceUnavailable", "The agent lacks a resource the operation needs."},
    {14, "commitFailed", "The agent could not apply the change; nothing was changed."},
    {15, "undoFailed", "The agent could not apply the change, nor undo what it had changed."},
    {16, "authorizationError", "The community or user is not allowed this operation."},
    {17, "notWritable", "The object cannot be written, or cannot be created."},
    {18, "inconsistentName", "The object does not exist and cannot be created with this name now."},
};

const SnmpErrorInfo *findIn(std::span<const SnmpErrorInfo> table, uint32_t code)
{
    const auto found = std::find_if(table.begin(), table.end(), [code](const SnmpErrorInfo &e) { return e.code == code; });
    return found == table.end() ? nullptr : &*found;
}

} // namespace

std::span<const SnmpErrorInfo> snmpErrorCodes()
{
    return Codes;
}

std::span<const SnmpErrorInfo> snmpErrorStatuses()
{
    return Statuses;
}

const SnmpErrorInfo *snmpErrorCode(uint32_t code)
{
    return findIn(Codes, code);
}

const SnmpErrorInfo *snmpErrorStatus(int32_t status)
{
    return status < 0 ? nullptr : findIn(Statuses, uint32_t(status));
}
