// SPDX-License-Identifier: MIT
#include "engine/set/setrun.h"

#include "common/apperror.h"
#include "common/bytetext.h"
#include "common/messages.h"
#include "engine/query/rowrender.h"
#include "engine/query/usmdiagnosis.h"
#include "engine/snmp/snmperrors.h"
#include "engine/snmp/snmpmgr.h"

#include <string>

namespace {

// The answer's bindings hold what was sent until the agent's own replace
// them; the list is freed on every path.
class ListGuard
{
public:
    explicit ListGuard(SnmpVarBindList &list) : m_list(list) {}
    ~ListGuard() { SnmpUtilVarBindListFree(&m_list); }
    ListGuard(const ListGuard &) = delete;
    ListGuard &operator=(const ListGuard &) = delete;

private:
    SnmpVarBindList &m_list;
};

// The binding as the result list names it.
std::string bindingName(const AsnObjectIdentifier &oid)
{
    ResultRow row = renderBinding(SnmpVarBind{oid, {}});
    return row.name.empty() ? row.oid : row.name;
}

[[noreturn]] void refused(int32_t status, int32_t index, const SnmpVarBindList &sent, bool community)
{
    const SnmpErrorInfo *info = snmpErrorStatus(status);
    const char *name = info ? info->name : "?";
    std::string meaning = info ? info->meaning : "";
    // An agent that knows the community as one that reads refuses each object.
    if (community
        && (status == errorStatus::NoSuchName || status == errorStatus::ReadOnly || status == errorStatus::NoAccess
            || status == errorStatus::AuthorizationError))
        meaning = meaning + " " + msg::SetReadCommunity;
    if (index >= 1 && size_t(index) <= sent.list.size())
        throwMessage(msg::SetRefused, name, int(status), int(index),
                     bindingName(sent.list[size_t(index) - 1].name).c_str(), meaning.c_str());
    throwMessage(msg::SetRefusedAll, name, int(status), meaning.c_str());
}

} // namespace

QueryEnd runSet(const SetRequest &request, QuerySink &sink, const RunControl &control)
{
    const AgentSecurity *security = request.security ? &*request.security : nullptr;
    if (!security && request.community.bytes().empty())
        throwMessage(msg::SetNoCommunity);
    if (security) {
        if (std::string problem = securityProblem(*security); !problem.empty())
            throw AppError(problem);
    }
    const SnmpVersion version = security ? SnmpVersion::V3 : request.transport.version;
    if (version == SnmpVersion::V1) {
        for (const SnmpVarBind &b : request.bindings.list) {
            if (b.value.asnType == asn::Counter64)
                throwMessage(msg::SetCounter64V1);
        }
    }
    if (control.abandoned)
        return QueryEnd::Abandoned;

    const std::string agent = bytesFromText(request.agent).toStdString();
    const TransportSettings &transport = request.transport;
    const SnmpMgrSession session(
        security ? SnmpMgrOpen(agent, *security, transport.timeOut, transport.retries)
                 : SnmpMgrOpen(agent, request.community.bytes(), transport.timeOut, transport.retries, version));
    if (!session)
        throwMessage(msg::OpenError, int(SnmpMgrGetLastError()));

    // The sent list stays whole for the error message; the answer goes into a copy.
    SnmpVarBindList answer;
    const ListGuard guard(answer);
    answer.list = request.bindings.list;
    int32_t status = 0;
    int32_t index = 0;
    const AbandonCheck abandoned = [&control] { return control.abandoned || control.closing; };
    if (!SnmpMgrRequest(session.get(), pdu::Set, &answer, &status, &index, request.wait, abandoned)) {
        const uint32_t code = SnmpMgrGetLastError();
        if (code == SnmpMgrErrors::Abandoned)
            return QueryEnd::Abandoned;
        if (security) {
            if (std::string message = usmRequestFailure(code, *security); !message.empty())
                throw AppError(message);
            if (code == SnmpMgrErrors::Timeout)
                throwMessage(msg::SetTimeoutUser, security->userName.c_str());
        }
        if (code == SnmpMgrErrors::Timeout)
            throwMessage(msg::SetTimeout);
        throwMessage(msg::RequestError, int(code));
    }
    if (status != errorStatus::NoError) {
        if (security) {
            if (std::string message = usmStatusFailure(status, *security); !message.empty())
                throw AppError(message);
        }
        refused(status, index, request.bindings, !security);
    }
    sink.inputsAccepted();
    for (const SnmpVarBind &binding : answer.list)
        sink.appendRow(renderBinding(binding, version));
    return QueryEnd::Completed;
}
