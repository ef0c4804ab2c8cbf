// SPDX-License-Identifier: MIT
#include "engine/query/queryrun.h"

#include "common/apperror.h"
#include "common/bytetext.h"
#include "common/messages.h"
#include "engine/mib/mibinfo.h"
#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"
#include "engine/query/usmdiagnosis.h"
#include "engine/snmp/snmpmgr.h"

#include <QStringList>

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20 || c.isSpace() || c.category() == QChar::Other_Control;
}

bool isBlank(const QString &text)
{
    for (const QChar c : text) {
        if (!isBlankOrControl(c))
            return false;
    }
    return true;
}

// An entry loaded from the settings and not edited goes out as the bytes it
// was stored as.
std::string toBytes(const QString &text)
{
    return bytesFromText(text).toStdString();
}

// Every ";" is a line break of its own, and the text splits at CR, LF or
// CR LF: "a\r;b" is "a", "" and "b" (a CR before the ";" is no CR LF). A last
// empty line (the text ended in a break) is no piece, other empty lines are.
QStringList splitOidPieces(const QString &text)
{
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char(';') && c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        pieces.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        pieces.append(text.mid(start));
    return pieces;
}

void appendBinding(SnmpVarBindList &list, const QString &text)
{
    SnmpVarBind binding; // value stays NULL, as a request needs
    if (!SnmpMgrStrToOid(toBytes(text), &binding.name))
        throwMessage(msg::InvalidOids, text.toUtf8().constData()); // as the box shows it
    list.list.push_back(std::move(binding));
}

// Frees the list on every path, the names and values with it.
class BindingListGuard
{
public:
    explicit BindingListGuard(SnmpVarBindList &list) : m_list(list) {}
    ~BindingListGuard() { SnmpUtilVarBindListFree(&m_list); }
    BindingListGuard(const BindingListGuard &) = delete;
    BindingListGuard &operator=(const BindingListGuard &) = delete;

private:
    SnmpVarBindList &m_list;
};

// Raised through the run when it is given up; runQuery() ends quietly.
struct RunAbandoned
{
};

// The InetAddressType instances a run's InetAddress rows are read by, and
// those of its own rows: what is missing is fetched after the operation.
class Companions
{
public:
    void note(const SnmpVarBind &binding, const ResultRow &row)
    {
        if (row.role == RowRole::AddressType) {
            m_held.insert(row.oid);
            return;
        }
        if (row.role != RowRole::Address || m_wanted.size() >= MaxCompanionFetch)
            return;
        const MibObject *object = mibObject(binding.name.ids);
        if (!object || object->addressType.empty())
            return;
        // One the agent cannot be asked for (an INDEX object) stays unread.
        const MibObject *type = mibObject(object->addressType);
        if (!type || type->access == "not-accessible")
            return;
        AsnObjectIdentifier oid{object->addressType};
        oid.ids.insert(oid.ids.end(), binding.name.ids.begin() + std::ptrdiff_t(object->oid.size()), binding.name.ids.end());
        if (std::ranges::find(m_wanted, oid.ids, &AsnObjectIdentifier::ids) == m_wanted.end())
            m_wanted.push_back(std::move(oid));
    }

    // The wanted ones no row of the run holds.
    SnmpVarBindList missing() const
    {
        SnmpVarBindList list;
        for (const AsnObjectIdentifier &oid : m_wanted) {
            std::string text;
            for (const uint32_t id : oid.ids)
                text += "." + std::to_string(id);
            if (!m_held.contains(text))
                list.list.push_back({oid, {}});
        }
        return list;
    }

private:
    std::unordered_set<std::string> m_held; // OID texts
    std::vector<AsnObjectIdentifier> m_wanted;
};

// What one run is: its request, where its rows go, what the user changes.
struct Run
{
    const QueryRequest &request;
    QuerySink &sink;
    const RunControl &control;
    Companions &companions;

    void append(const SnmpVarBind &binding, SnmpVersion version) const
    {
        ResultRow row = renderBinding(binding, version);
        companions.note(binding, row);
        sink.appendRow(std::move(row));
    }
    SnmpMgrSession session;
    bool engineRenewed = false; // an SNMPv3 session opened again for an agent that became a new engine

    AbandonCheck abandonCheck() const
    {
        return [&control = control] { return control.abandoned || control.closing; };
    }
    const AgentSecurity *security() const { return request.security ? &*request.security : nullptr; }
    SnmpVersion version() const { return request.security ? SnmpVersion::V3 : request.transport.version; }
    SnmpMgrSessionData *handle() const { return session.get(); }

    // After a failed request: an SNMPv3 agent restarted as a new engine
    // (another engine ID) refuses every request of the session. Once a run,
    // a new session discovers the new engine and the caller asks again;
    // false when that is not the failure or the run had its one try.
    bool renewEngine()
    {
        if (!security() || engineRenewed || SnmpMgrGetLastError() != SnmpMgrErrors::UnknownEngineID)
            return false;
        engineRenewed = true;
        session.reset(); // the old engine's requests go with it
        const TransportSettings &transport = request.transport;
        session.reset(SnmpMgrOpen(bytesFromText(request.agent).toStdString(), *security(), transport.timeOut,
                                  transport.retries));
        if (!session)
            throwMessage(msg::OpenError, int(SnmpMgrGetLastError()));
        return true;
    }
};

// The message of a failed request: what SNMPv3 can tell, else the code's.
[[noreturn]] void requestFailed(const Run &run)
{
    const uint32_t code = SnmpMgrGetLastError();
    if (code == SnmpMgrErrors::Abandoned)
        throw RunAbandoned();
    if (const AgentSecurity *security = run.security()) {
        std::string message = usmRequestFailure(code, *security);
        if (message.empty() && code == SnmpMgrErrors::Timeout) {
            // An agent drops what it cannot decrypt: quick probes tell that from silence.
            const UsmDiagnosis diagnosis = diagnoseTimeout(toBytes(run.request.agent), *security,
                                                           run.request.transport.timeOut, run.request.wait,
                                                           run.abandonCheck());
            if (diagnosis.abandoned || run.control.abandoned)
                throw RunAbandoned();
            message = diagnosis.message;
        }
        if (!message.empty())
            throw AppError(message);
    }
    throwMessage(msg::RequestError, int(code));
}

// The message of an error answer: authorizationError below authPriv names
// the level, any other status is shown as it is.
[[noreturn]] void statusFailed(const Run &run, int32_t status, int32_t index)
{
    if (const AgentSecurity *security = run.security()) {
        if (std::string message = usmStatusFailure(status, *security); !message.empty())
            throw AppError(message);
    }
    throwMessage(msg::RequestStatus, int(status), int(index));
}

void sendRequest(Run &run, uint8_t type, SnmpVarBindList &list, int32_t &status, int32_t &index)
{
    status = 0;
    index = 0;
    if (run.control.abandoned)
        throw RunAbandoned();
    // A failed request leaves the list as it was: asked again as it stands.
    while (!SnmpMgrRequest(run.handle(), type, &list, &status, &index, run.request.wait, run.abandonCheck())) {
        if (!run.renewEngine())
            requestFailed(run);
    }
}

// Whether a walk's next name comes after the last one. An agent whose names
// do not increase (the same name again, or one going back) would keep a walk
// going for ever; Net-SNMP's own walks stop there as well.
bool increases(const AsnObjectIdentifier &next, const AsnObjectIdentifier &last)
{
    return std::lexicographical_compare(last.ids.begin(), last.ids.end(), next.ids.begin(), next.ids.end());
}

void checkIncreasing(const AsnObjectIdentifier &next, const AsnObjectIdentifier &last)
{
    if (increases(next, last))
        return;
    const std::string nextText = SnmpUtilOidToA(&next);
    throwMessage(msg::NotIncreasing, ("." + nextText).c_str(), (std::string(".") + SnmpUtilOidToA(&last)).c_str());
}

// Whether an answer's name lies outside the walk's subtree; never for "all".
bool outside(const SnmpVarBind &answer, const AsnObjectIdentifier &root, bool all)
{
    return !all && SnmpUtilOidNCmp(&answer.name, &root, unsigned(root.ids.size())) != 0;
}

// The GetNext walk sends each request as soon as the answer before has
// named where to go on, and shows that answer's row while the agent works:
// the window's share of each row overlaps the round trip instead of adding
// to it. The rows, their order and what ends the walk are as with one
// request at a time; a request out when the walk ends (a Stop, an error in
// between) is dropped with the session.
QueryEnd walk(Run &run, SnmpVarBindList &list, bool all)
{
    AsnObjectIdentifier root;
    if (!all)
        SnmpUtilOidCpy(&root, &list.list.front().name);
    AsnObjectIdentifier last = list.list.front().name; // the name the request out asks after
    bool anyRow = false;
    const auto ended = [&anyRow] { return anyRow ? QueryEnd::Completed : QueryEnd::EmptySubtree; };
    const auto send = [&] {
        if (run.control.abandoned)
            throw RunAbandoned();
        if (!SnmpMgrSend(run.handle(), pdu::GetNext, &list, run.request.wait, run.abandonCheck()))
            requestFailed(run);
    };

    send();
    for (;;) {
        if (run.control.abandoned)
            throw RunAbandoned();
        int32_t status = 0;
        int32_t index = 0;
        if (!SnmpMgrAwait(run.handle(), &list, &status, &index, run.request.wait, run.abandonCheck())) {
            if (!run.renewEngine())
                requestFailed(run);
            send(); // the list still names where the failed request went on from
            continue;
        }
        if (status == errorStatus::NoSuchName)
            return ended(); // the end of the agent's MIB
        // An error answer may come without its binding.
        if (!list.list.empty() && outside(list.list.front(), root, all))
            return ended(); // left the subtree
        if (status != errorStatus::NoError)
            statusFailed(run, status, index);
        const SnmpVarBind &answer = list.list.front();
        checkIncreasing(answer.name, last);
        // Stop only sets a flag; the row asked for before it is still
        // shown, and nothing more is asked for.
        if (!run.control.stopped) {
            last.ids.assign(answer.name.ids.begin(), answer.name.ids.end());
            send();
        }
        run.append(answer, SnmpVersion::V1);
        anyRow = true;
        if (run.control.stopped)
            return QueryEnd::Stopped;
        run.sink.betweenRows();
    }
}

// The SNMPv2c and SNMPv3 walk: GetBulkRequests, each going on from the last name of the
// answer before (however many it holds: an agent may send more than asked
// for), whose rows are taken one by one exactly as the GetNext walk
// takes its one: events after every row, Stop after one more row (the rest
// of the answer dropped), the end at endOfMibView or the first name outside
// the subtree. Error answers end it as they end the GetNext walk. Like that
// walk it asks for the next answer before showing the rows of this one.
QueryEnd bulkWalk(Run &run, SnmpVarBindList &list, bool all)
{
    AsnObjectIdentifier root;
    if (!all)
        SnmpUtilOidCpy(&root, &list.list.front().name);
    SnmpVarBindList ask; // the name the request out goes on from
    ask.list.push_back({list.list.front().name, {}});
    int32_t repetitions = BulkMaxRepetitions;
    bool anyRow = false;
    const auto ended = [&anyRow] { return anyRow ? QueryEnd::Completed : QueryEnd::EmptySubtree; };
    const auto send = [&] {
        if (run.control.abandoned)
            throw RunAbandoned();
        if (!SnmpMgrBulkSend(run.handle(), repetitions, &ask, run.request.wait, run.abandonCheck()))
            requestFailed(run);
    };

    send();
    for (;;) {
        if (run.control.abandoned)
            return QueryEnd::Abandoned;
        int32_t status = 0;
        int32_t index = 0;
        if (!SnmpMgrAwait(run.handle(), &list, &status, &index, run.request.wait, run.abandonCheck())) {
            if (!run.renewEngine())
                requestFailed(run);
            send();
            continue;
        }
        if (status == errorStatus::TooBig && repetitions > 1) {
            // Kept halved: the rows to come are likely as large.
            repetitions /= 2;
            send();
            continue;
        }
        if (status != errorStatus::NoError) {
            if (status == errorStatus::NoSuchName || (!list.list.empty() && outside(list.list.front(), root, all)))
                return ended();
            statusFailed(run, status, index);
        }
        // The rows before the walk's end or a name that does not increase.
        size_t rows = 0;
        bool end = false;
        for (const AsnObjectIdentifier *last = &ask.list.front().name; rows < list.list.size(); ++rows) {
            const SnmpVarBind &answer = list.list[rows];
            end = answer.value.asnType == asn::EndOfMibView || outside(answer, root, all);
            if (end || !increases(answer.name, *last))
                break;
            last = &answer.name;
        }
        const AsnObjectIdentifier &before = rows > 0 ? list.list[rows - 1].name : ask.list.front().name;
        if (rows == list.list.size() && !run.control.stopped) {
            ask.list.front().name = before;
            send();
        }
        for (size_t row = 0; row < rows; ++row) {
            run.append(list.list[row], run.version());
            anyRow = true;
            if (run.control.stopped)
                return QueryEnd::Stopped;
            run.sink.betweenRows();
            if (run.control.abandoned)
                return QueryEnd::Abandoned;
        }
        if (end)
            return ended();
        if (rows < list.list.size())
            checkIncreasing(list.list[rows].name, before);
    }
}

// One GetRequest for the InetAddressTypes the rows lack. Its failure
// fails nothing: those rows are read by their length.
void fetchCompanions(const Run &run)
{
    SnmpVarBindList list = run.companions.missing();
    const BindingListGuard guard(list);
    if (list.list.empty() || run.control.abandoned || run.control.closing)
        return;
    int32_t status = 0;
    int32_t index = 0;
    if (!SnmpMgrRequest(run.handle(), pdu::Get, &list, &status, &index, run.request.wait, run.abandonCheck())
        || status != errorStatus::NoError)
        return;
    for (const SnmpVarBind &binding : list.list)
        run.sink.companionRow(renderBinding(binding, run.version()));
}

QueryEnd runOnce(Run &run)
{
    const QueryRequest &request = run.request;
    const AgentSecurity *security = run.security();
    // SNMPv3 sends no community: its box may stay empty.
    if (isBlank(request.agent) || (isBlank(request.community) && !security) || isBlank(request.oids))
        throwMessage(msg::EmptyInput);
    if (security) {
        if (std::string problem = securityProblem(*security); !problem.empty())
            throw AppError(problem);
    }

    // The run may be the MIBs' first need: files new since the last start
    // are checked before they load, and the window may answer meanwhile.
    SnmpMgrLoadMibs(request.wait);
    if (run.control.abandoned)
        throw RunAbandoned();

    const SnmpVersion version = run.version();
    const std::string agent = toBytes(request.agent);
    const TransportSettings &transport = request.transport;
    run.session.reset(
        security ? SnmpMgrOpen(agent, *security, transport.timeOut, transport.retries)
                 : SnmpMgrOpen(agent, toBytes(request.community), transport.timeOut, transport.retries, version));
    if (!run.session)
        throwMessage(msg::OpenError, int(SnmpMgrGetLastError()));

    const QString &oids = request.oids;
    const bool multiple = oids.contains(QLatin1Char(';'));
    const bool all = oids.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0;

    SnmpVarBindList list;
    const BindingListGuard listGuard(list);
    if (request.operation == Operation::Get && multiple) {
        for (const QString &piece : splitOidPieces(oids))
            appendBinding(list, piece);
    } else if (request.operation == Operation::Walk && all) {
        appendBinding(list, QStringLiteral("1"));
    } else {
        appendBinding(list, oids);
    }

    run.sink.inputsAccepted();

    switch (request.operation) {
    case Operation::Get:
    case Operation::GetNext: {
        int32_t status = 0;
        int32_t index = 0;
        sendRequest(run, request.operation == Operation::Get ? pdu::Get : pdu::GetNext, list, status, index);
        if (status != errorStatus::NoError)
            statusFailed(run, status, index);
        for (const SnmpVarBind &binding : list.list)
            run.append(binding, version);
        fetchCompanions(run);
        return QueryEnd::Completed;
    }
    case Operation::Walk: {
        const QueryEnd end = version == SnmpVersion::V1 ? walk(run, list, all) : bulkWalk(run, list, all);
        if (end == QueryEnd::Completed)
            fetchCompanions(run);
        return end;
    }
    }
    return QueryEnd::Completed; // no such operation: nothing is sent
}

} // namespace

QueryEnd runQuery(const QueryRequest &request, QuerySink &sink, const RunControl &control)
{
    try {
        Companions companions;
        Run run{request, sink, control, companions, nullptr};
        return runOnce(run);
    } catch (const RunAbandoned &) {
        return QueryEnd::Abandoned; // given up by the user: no message
    }
}
