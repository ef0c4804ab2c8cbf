// SPDX-License-Identifier: MIT
#include "engine/watch/watchpoller.h"

#include "common/bytetext.h"
#include "engine/query/usmdiagnosis.h"
#include "engine/snmp/asyncrequest.h"
#include "engine/snmp/snmperrors.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

std::string bytes(const QString &text)
{
    return bytesFromText(text).toStdString();
}

// The number a value carries, as a Reading holds it.
uint64_t numberOf(const AsnAny &value)
{
    switch (value.asnType) {
    case asn::Counter64:
        return value.counter64;
    case asn::Integer32:
        return uint64_t(int64_t(value.number));
    default:
        return value.unsigned32;
    }
}

// What the list says of a request that brought nothing.
QString failureText(uint32_t code, const std::optional<AgentSecurity> &security)
{
    if (security) {
        if (const std::string message = usmRequestFailure(code, *security); !message.empty())
            return QString::fromStdString(message);
    }
    if (code == SnmpMgrErrors::Timeout)
        return QStringLiteral("no answer");
    if (const SnmpErrorInfo *info = snmpErrorCode(code))
        return QString::fromLatin1(info->name);
    return QStringLiteral("error %1").arg(code);
}

QString statusText(int32_t status, const std::optional<AgentSecurity> &security)
{
    if (security) {
        if (const std::string message = usmStatusFailure(status, *security); !message.empty())
            return QString::fromStdString(message);
    }
    if (const SnmpErrorInfo *info = snmpErrorStatus(status))
        return QString::fromLatin1(info->name);
    return QStringLiteral("error status %1").arg(status);
}

} // namespace

struct WatchPoller::Agent
{
    explicit Agent(QObject *poller) : request(new AsyncRequest(poller)) {}
    // Later: an agent may go while its request's signal is being handled.
    ~Agent()
    {
        request->cancel();
        request->deleteLater();
    }
    Agent(const Agent &) = delete;
    Agent &operator=(const Agent &) = delete;

    QString agent;
    QString community;
    std::vector<ObjectId> objects;
    PollPlan plan;
    SnmpVersion version = SnmpVersion::V1;
    std::optional<AgentSecurity> security; // its user, without the passphrases: what failures name
    AsyncRequest *request;                 // the poller's child
    SnmpMgrSession session;                // open while polling
    std::deque<Batch> queue;               // the rest of this tick's Gets
    Batch batch;                           // the Get out
    PollRequest sent;
    bool busy = false; // a tick is under way
    Clock::time_point reopenAt{};
};

WatchPoller::WatchPoller(RequestFor requestFor, QObject *parent)
    : QObject(parent), m_requestFor(std::move(requestFor))
{
    m_timer.setInterval(DefaultIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &WatchPoller::tick);
}

WatchPoller::~WatchPoller()
{
    for (const std::unique_ptr<Agent> &agent : m_agents)
        closeSession(*agent);
}

namespace {

// Agent texts compare as Agent Properties keeps them, ignoring letter case.
bool sameAgent(const QString &agent, const QString &community, const WatchTarget &target)
{
    return agent.compare(target.agent, Qt::CaseInsensitive) == 0 && community == target.community;
}

// An object on its agent as one key, so that a large selection added is no quadratic search.
std::string keyOf(const WatchTarget &target)
{
    std::string key = target.agent.toLower().toStdString();
    key += '\0';
    key += target.community.toStdString();
    key += '\0';
    key.append(reinterpret_cast<const char *>(target.oid.data()), target.oid.size() * sizeof(uint32_t));
    return key;
}

} // namespace

bool WatchPoller::add(const WatchTarget &target)
{
    if (m_objects.size() >= MaxObjects || !m_byTarget.try_emplace(keyOf(target), m_nextId).second)
        return false;
    auto object = std::make_unique<WatchedObject>();
    object->id = m_nextId++;
    object->target = target;
    auto found = std::find_if(m_agents.begin(), m_agents.end(),
                              [&](const std::unique_ptr<Agent> &a) { return sameAgent(a->agent, a->community, target); });
    if (found == m_agents.end()) {
        auto agent = std::make_unique<Agent>(this);
        agent->agent = target.agent;
        agent->community = target.community;
        Agent *raw = agent.get();
        connect(agent->request, &AsyncRequest::finished, this, [this, raw] { answered(*raw); });
        found = m_agents.insert(m_agents.end(), std::move(agent));
    }
    (*found)->objects.push_back(object->id);
    m_byId[object->id] = object.get();
    m_objects.push_back(std::move(object));
    return true;
}

void WatchPoller::remove(const std::vector<ObjectId> &ids)
{
    for (const ObjectId id : ids) {
        if (const WatchedObject *object = find(id)) {
            m_byTarget.erase(keyOf(object->target));
            m_byId.erase(id);
        }
    }
    std::erase_if(m_objects, [this](const std::unique_ptr<WatchedObject> &o) { return !find(o->id); });
    for (const std::unique_ptr<Agent> &agent : m_agents)
        std::erase_if(agent->objects, [this](ObjectId id) { return !find(id); });
    // An answer still out for a removed object finds it gone; an agent left without objects goes.
    for (auto it = m_agents.begin(); it != m_agents.end();) {
        if ((*it)->objects.empty()) {
            closeSession(**it);
            it = m_agents.erase(it);
        } else {
            ++it;
        }
    }
}

int WatchPoller::rowOf(ObjectId id) const
{
    for (size_t row = 0; row < m_objects.size(); ++row) {
        if (m_objects[row]->id == id)
            return int(row);
    }
    return -1;
}

int WatchPoller::rowOf(const WatchTarget &target) const
{
    const auto found = m_byTarget.find(keyOf(target));
    return found == m_byTarget.end() ? -1 : rowOf(found->second);
}

std::vector<WatchTarget> WatchPoller::targets() const
{
    std::vector<WatchTarget> out;
    out.reserve(m_objects.size());
    for (const std::unique_ptr<WatchedObject> &object : m_objects)
        out.push_back(object->target);
    return out;
}

void WatchPoller::setIntervalMs(int ms)
{
    m_timer.setInterval(std::clamp(ms, MinIntervalMs, MaxIntervalMs));
}

void WatchPoller::start()
{
    if (m_timer.isActive())
        return;
    m_timer.start();
    tick(); // the first values now, not an interval later
}

void WatchPoller::pause()
{
    m_timer.stop();
    for (const std::unique_ptr<Agent> &agent : m_agents) {
        closeSession(*agent);
        agent->reopenAt = {};
    }
}

bool WatchPoller::isBusy() const
{
    return std::any_of(m_agents.begin(), m_agents.end(), [](const std::unique_ptr<Agent> &a) { return a->busy; });
}

size_t WatchPoller::sampleCount() const
{
    size_t n = 0;
    for (const std::unique_ptr<WatchedObject> &object : m_objects)
        n += object->samples.size();
    return n;
}

size_t WatchPoller::sampleMemory() const
{
    size_t n = 0;
    for (const std::unique_ptr<WatchedObject> &object : m_objects)
        n += object->samples.memoryUsed();
    return n;
}

void WatchPoller::tick()
{
    for (const std::unique_ptr<Agent> &agent : m_agents) {
        if (agent->busy) {
            ++m_skipped; // never stacked: the Get still out has the agent's objects
            continue;
        }
        startTick(*agent);
    }
}

void WatchPoller::startTick(Agent &agent)
{
    if (agent.objects.empty() || (!agent.session && !openSession(agent)))
        return;
    const std::vector<Batch> batches = agent.plan.batches(agent.objects);
    agent.queue.assign(batches.begin(), batches.end());
    agent.busy = true;
    sendNext(agent);
}

bool WatchPoller::openSession(Agent &agent)
{
    const Clock::time_point now = Clock::now();
    if (now < agent.reopenAt)
        return false;
    const QueryRequest request = m_requestFor(agent.agent, agent.community);
    const int timeOut = request.transport.timeOut;
    const int retries = request.transport.retries;
    std::string problem;
    LPSNMP_MGR_SESSION session = nullptr;
    agent.security.reset();
    if (request.security) {
        agent.version = SnmpVersion::V3;
        AgentSecurity &user = agent.security.emplace(request.security->copy());
        problem = securityProblem(user);
        user.authPassphrase = Secret();
        user.privPassphrase = Secret();
        if (problem.empty())
            session = SnmpMgrOpen(bytes(agent.agent), *request.security, timeOut, retries);
    } else {
        agent.version = request.transport.version;
        session = SnmpMgrOpen(bytes(agent.agent), bytes(agent.community), timeOut, retries, agent.version);
    }
    if (!session) {
        agent.reopenAt = now + std::chrono::milliseconds(std::max(ReopenDelayMs, intervalMs()));
        failed(agent.objects, problem.empty() ? failureText(SnmpMgrGetLastError(), agent.security)
                                              : QString::fromStdString(problem));
        emit polled();
        return false;
    }
    agent.session.reset(session);
    return true;
}

void WatchPoller::sendNext(Agent &agent)
{
    while (!agent.queue.empty()) {
        agent.batch = std::move(agent.queue.front());
        agent.queue.pop_front();
        std::erase_if(agent.batch, [this](ObjectId id) { return !find(id); }); // removed meanwhile
        if (agent.batch.empty())
            continue;
        agent.sent = agent.plan.request(
            agent.batch, [this](ObjectId id) -> const std::vector<uint32_t> & { return find(id)->target.oid; });
        if (agent.request->get(agent.session.get(), agent.sent.names)) {
            ++m_requests;
            return;
        }
        failed(agent.batch, failureText(SnmpMgrGetLastError(), agent.security));
    }
    agent.busy = false;
}

void WatchPoller::answered(Agent &agent)
{
    SnmpVarBindList answer;
    int32_t status = 0;
    int32_t index = 0;
    if (!agent.request->take(&answer, &status, &index)) {
        const uint32_t code = SnmpMgrGetLastError();
        const QString problem = failureText(code, agent.security);
        // The tick's other Gets would wait as long again: they fail with it.
        failed(agent.batch, problem);
        for (const Batch &batch : agent.queue)
            failed(batch, problem);
        if (code != SnmpMgrErrors::Timeout) {
            closeSession(agent);
            agent.reopenAt = Clock::now() + std::chrono::milliseconds(std::max(ReopenDelayMs, intervalMs()));
        }
        agent.queue.clear();
        agent.busy = false;
        emit polled();
        return;
    }
    if (status == errorStatus::TooBig) {
        const std::vector<Batch> halves = agent.plan.tooBig(agent.batch);
        if (halves.empty())
            failed(agent.batch, statusText(status, agent.security));
        agent.queue.insert(agent.queue.begin(), halves.begin(), halves.end());
    } else if (status != errorStatus::NoError) {
        // An SNMPv1 agent refuses the whole Get for one name: without it, the rest go again.
        const std::vector<PollName> &roles = agent.sent.roles;
        const PollName *culprit = index >= 1 && size_t(index) <= roles.size() ? &roles[size_t(index) - 1] : nullptr;
        if (culprit && culprit->role == PollName::Role::UpTime) {
            agent.plan.dropUpTime();
            agent.queue.push_front(agent.batch);
        } else if (culprit && culprit->role == PollName::Role::Discontinuity) {
            agent.plan.dropDiscontinuity();
            agent.queue.push_front(agent.batch);
        } else if (culprit) {
            Batch rest = agent.batch;
            std::erase(rest, culprit->object);
            if (WatchedObject *object = find(culprit->object)) {
                object->problem = statusText(status, agent.security);
                record(*object, object->rate.take(Reading{}), std::nullopt, QDateTime::currentMSecsSinceEpoch());
            }
            if (!rest.empty())
                agent.queue.push_front(std::move(rest));
        } else {
            failed(agent.batch, statusText(status, agent.security));
        }
    } else {
        take(agent, agent.sent, answer);
    }
    emit polled();
    sendNext(agent);
}

void WatchPoller::take(Agent &agent, const PollRequest &request, const SnmpVarBindList &answer)
{
    const int64_t nowMs = QDateTime::currentMSecsSinceEpoch();
    const int64_t localNs = steadyNs();
    std::optional<uint32_t> upTime;
    std::vector<std::pair<uint32_t, uint32_t>> discontinuities; // ifIndex, its time
    for (size_t i = 0; i < request.roles.size(); ++i) {
        const AsnAny &value = answer.list[i].value;
        if (value.asnType != asn::TimeTicks)
            continue;
        if (request.roles[i].role == PollName::Role::UpTime)
            upTime = value.unsigned32;
        else if (request.roles[i].role == PollName::Role::Discontinuity)
            discontinuities.emplace_back(request.roles[i].ifIndex, value.unsigned32);
    }
    for (size_t i = 0; i < request.roles.size(); ++i) {
        WatchedObject *object = request.roles[i].role == PollName::Role::Object ? find(request.roles[i].object) : nullptr;
        if (!object)
            continue;
        const SnmpVarBind &binding = answer.list[i];
        if (binding.name.ids != object->target.oid) {
            object->problem = QStringLiteral("another object in the answer");
            record(*object, object->rate.missed(), std::nullopt, nowMs);
            continue;
        }
        Reading reading{binding.value.asnType, numberOf(binding.value), upTime, std::nullopt, localNs};
        if (const std::optional<uint32_t> ifIndex = interfaceOf(object->target.oid)) {
            for (const auto &[index, time] : discontinuities) {
                if (index == *ifIndex)
                    reading.discontinuity = time;
            }
        }
        object->value = binding.value;
        object->version = agent.version;
        object->polledMs = nowMs;
        object->problem.clear();
        const ValueKind kind = valueKind(binding.value.asnType);
        const bool numeric = kind != ValueKind::Text && kind != ValueKind::None;
        record(*object, object->rate.take(reading), numeric ? std::optional(reading.number) : std::nullopt, nowMs);
    }
}

void WatchPoller::failed(const Batch &batch, const QString &problem)
{
    const int64_t nowMs = QDateTime::currentMSecsSinceEpoch();
    for (const ObjectId id : batch) {
        if (WatchedObject *object = find(id)) {
            object->problem = problem;
            record(*object, object->rate.missed(), std::nullopt, nowMs);
        }
    }
}

void WatchPoller::record(WatchedObject &object, const Step &step, std::optional<uint64_t> raw, int64_t nowMs)
{
    object.step = step;
    if (step.outcome == Outcome::Text)
        return; // listed, not plotted
    object.samples.append(nowMs, raw, float(step.value));
    if (object.samples.size() > seriesLimit())
        object.samples.dropOldestBlock();
}

void WatchPoller::closeSession(Agent &agent)
{
    agent.request->cancel();
    agent.session.reset();
    agent.queue.clear();
    agent.busy = false;
}

WatchedObject *WatchPoller::find(ObjectId id) const
{
    const auto found = m_byId.find(id);
    return found == m_byId.end() ? nullptr : found->second;
}

size_t WatchPoller::seriesLimit() const
{
    return std::max(2 * SampleSeries::BlockSamples, SampleLimit / std::max<size_t>(1, m_objects.size()));
}
