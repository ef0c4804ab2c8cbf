// SPDX-License-Identifier: MIT
#include "engine/queryrun.h"

#include "common/apperror.h"
#include "common/bytetext.h"
#include "common/messages.h"
#include "engine/historyrule.h"

#include <QStringList>

#include <algorithm>
#include <string>

namespace {

// Visible state the run changes for its duration, restored on every way out:
// normal end, Stop and failures alike.
class ClosingSteps
{
public:
    explicit ClosingSteps(QueryHost &host) : m_host(host) {}
    ~ClosingSteps()
    {
        m_host.setIdle(true);
        m_host.setSimpleStatus(QString::fromLatin1(msg::Ready));
        m_host.setAutoHint(true);
        if (m_cursorPushed)
            m_host.popCursor();
    }
    ClosingSteps(const ClosingSteps &) = delete;
    ClosingSteps &operator=(const ClosingSteps &) = delete;

    void showBusyCursor()
    {
        m_host.pushBusyCursor();
        m_cursorPushed = true;
    }

private:
    QueryHost &m_host;
    bool m_cursorPushed = false;
};

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

// Raised through the run when the host gave it up; runQuery() ends quietly.
struct RunAbandoned
{
};

// A failed request or an error answer, raised through the run and turned into
// its message where the run's SNMPv3 settings are at hand (failureMessage).
struct RequestFailed
{
    uint32_t code = 0;
};
struct ErrorAnswer
{
    int32_t status = 0;
    int32_t index = 0;
};

[[noreturn]] void errorAnswer(int32_t status, int32_t index)
{
    throw ErrorAnswer{status, index};
}

AbandonCheck abandonCheck(const QueryHost &host)
{
    return [&host] { return host.waitAbandoned(); };
}

[[noreturn]] void requestFailed()
{
    const uint32_t code = SnmpMgrGetLastError();
    if (code == SnmpMgrErrors::Abandoned)
        throw RunAbandoned();
    throw RequestFailed{code};
}

void request(const QueryHost &host, SnmpMgrSessionData *session, uint8_t type, SnmpVarBindList &list,
             int32_t &status, int32_t &index)
{
    status = 0;
    index = 0;
    if (host.abandoned())
        throw RunAbandoned();
    if (!SnmpMgrRequest(session, type, &list, &status, &index, host.requestWait(), abandonCheck(host)))
        requestFailed();
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

void walk(QueryHost &host, SnmpMgrSessionData *session, SnmpVarBindList &list, bool all)
{
    AsnObjectIdentifier root;
    if (!all)
        SnmpUtilOidCpy(&root, &list.list.front().name);
    AsnObjectIdentifier last;

    for (;;) {
        last.ids.assign(list.list.front().name.ids.begin(), list.list.front().name.ids.end());
        int32_t status = 0;
        int32_t index = 0;
        request(host, session, pdu::GetNext, list, status, index);
        if (status == errorStatus::NoSuchName)
            return; // the end of the agent's MIB
        // An error answer may come without its binding.
        if (!list.list.empty() && outside(list.list.front(), root, all))
            return; // left the subtree
        if (status != errorStatus::NoError)
            errorAnswer(status, index);
        const SnmpVarBind &answer = list.list.front();
        checkIncreasing(answer.name, last);
        host.appendRow(renderBinding(answer));
        // Stop only sets the idle flag; the row asked for before it is still shown.
        if (host.isIdle())
            return;
        host.processEvents();
    }
}

// The SNMPv2c walk: GetBulkRequests, each going on from the last name of the
// answer before, whose rows are taken one by one exactly as the GetNext walk
// takes its one: events after every row, Stop after one more row (the rest
// of the answer dropped), the end at endOfMibView or the first name outside
// the subtree. Error answers end it as they end the GetNext walk.
void bulkWalk(QueryHost &host, SnmpMgrSessionData *session, SnmpVarBindList &list, bool all, SnmpVersion version)
{
    AsnObjectIdentifier root;
    if (!all)
        SnmpUtilOidCpy(&root, &list.list.front().name);
    AsnObjectIdentifier from = list.list.front().name;
    int32_t repetitions = BulkMaxRepetitions;

    for (;;) {
        list.list.resize(1);
        list.list.front().name = from;
        int32_t status = 0;
        int32_t index = 0;
        if (host.abandoned())
            return;
        if (!SnmpMgrBulkRequest(session, repetitions, &list, &status, &index, host.requestWait(), abandonCheck(host)))
            requestFailed();
        if (status == errorStatus::TooBig && repetitions > 1) {
            // Kept halved: the rows to come are likely as large.
            repetitions /= 2;
            continue;
        }
        if (status != errorStatus::NoError) {
            if (status == errorStatus::NoSuchName || (!list.list.empty() && outside(list.list.front(), root, all)))
                return;
            errorAnswer(status, index);
        }
        const AsnObjectIdentifier *last = &from;
        for (const SnmpVarBind &answer : list.list) {
            if (answer.value.asnType == asn::EndOfMibView || outside(answer, root, all))
                return;
            checkIncreasing(answer.name, *last);
            last = &answer.name;
            host.appendRow(renderBinding(answer, version));
            if (host.isIdle())
                return;
            host.processEvents();
            if (host.abandoned())
                return;
        }
        from = list.list.back().name;
    }
}

void runOnce(QueryHost &host);

// The message of a failed request: what SNMPv3 can tell, else the usual one.
// A timeout at authPriv is looked into with quick probes of the agent.
[[noreturn]] void failRequest(const QueryHost &host, const std::string &agent, const AgentSecurity *security,
                              int timeOut, uint32_t code)
{
    if (security) {
        std::string message = usmRequestFailure(code, *security);
        if (message.empty() && code == SnmpMgrErrors::Timeout) {
            const UsmDiagnosis diagnosis =
                diagnoseTimeout(agent, *security, timeOut, host.requestWait(), abandonCheck(host));
            if (diagnosis.abandoned || host.abandoned())
                throw RunAbandoned();
            message = diagnosis.message;
        }
        if (!message.empty())
            throw AppError(message);
    }
    throwMessage(msg::RequestError, int(code));
}

[[noreturn]] void failStatus(const AgentSecurity *security, int32_t status, int32_t index)
{
    if (security) {
        if (std::string message = usmStatusFailure(status, *security); !message.empty())
            throw AppError(message);
    }
    throwMessage(msg::RequestStatus, int(status), int(index));
}

} // namespace

void runQuery(QueryHost &host)
{
    try {
        runOnce(host);
    } catch (const RunAbandoned &) {
        // Given up by the user: no message, the closing steps have run.
    }
}

namespace {

void runOnce(QueryHost &host)
{
    host.setIdle(false);
    host.refreshCommands();
    // Armed before the first event processing, so that nothing raised from
    // there leaves the window busy either.
    ClosingSteps closing(host);

    host.setAutoHint(false);
    host.setSimpleStatus(QString::fromLatin1(msg::Updating));
    host.processEvents();

    closing.showBusyCursor();

    const QString agent = host.agentText();
    const QString community = host.communityText();
    const QString oids = host.oidText();
    // SNMPv3 sends no community: its box may stay empty.
    const AgentSecurity *security = host.agentSecurity();
    if (isBlank(agent) || (isBlank(community) && !security) || isBlank(oids))
        throwMessage(msg::EmptyInput);
    if (security) {
        if (std::string problem = passphraseProblem(*security); !problem.empty())
            throw AppError(problem);
    }

    const SnmpVersion version = security ? SnmpVersion::V3 : host.agentSnmpVersion();
    const std::string agentBytes = toBytes(agent);
    const int timeOut = host.timeOut();
    const SnmpMgrSession session(security
                                     ? SnmpMgrOpen(agentBytes, *security, timeOut, host.retries())
                                     : SnmpMgrOpen(agentBytes, toBytes(community), timeOut, host.retries(), version));
    if (!session)
        throwMessage(msg::OpenError, int(SnmpMgrGetLastError()));

    const bool multiple = oids.contains(QLatin1Char(';'));
    const bool all = oids.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0;
    const Operation operation = host.operation();

    SnmpVarBindList list;
    const BindingListGuard listGuard(list);
    if (operation == Operation::Get && multiple) {
        for (const QString &piece : splitOidPieces(oids))
            appendBinding(list, piece);
    } else if (operation == Operation::Walk && all) {
        appendBinding(list, QStringLiteral("1"));
    } else {
        appendBinding(list, oids);
    }

    recordHistory(host.agentHistory());
    if (!security)
        recordHistory(host.communityHistory());
    recordHistory(host.oidHistory());

    // Read again at the dispatch; no events were processed since the list was built.
    const Operation dispatched = host.operation();
    try {
        switch (dispatched) {
        case Operation::Get:
        case Operation::GetNext: {
            int32_t status = 0;
            int32_t index = 0;
            request(host, session.get(), dispatched == Operation::Get ? pdu::Get : pdu::GetNext, list, status,
                    index);
            if (status != errorStatus::NoError)
                errorAnswer(status, index);
            for (const SnmpVarBind &binding : list.list)
                host.appendRow(renderBinding(binding, version));
            break;
        }
        case Operation::Walk:
            if (version != SnmpVersion::V1)
                bulkWalk(host, session.get(), list, all, version);
            else
                walk(host, session.get(), list, all);
            break;
        default:
            break; // no such operation: nothing is sent
        }
    } catch (const RequestFailed &failed) {
        failRequest(host, agentBytes, security, timeOut, failed.code);
    } catch (const ErrorAnswer &answer) {
        failStatus(security, answer.status, answer.index);
    }
}

} // namespace

void stopQuery(QueryHost &host)
{
    host.setIdle(true);
    host.processEvents();
}
