// SPDX-License-Identifier: MIT
#pragma once

// The Watch: chosen objects on their agents, polled on a timer, their values
// and counter rates kept as samples. At each tick every agent gets one Get
// with all its objects (PollPlan splits them when the agent answers tooBig),
// posted without waiting (AsyncRequest): the answers come through the event
// loop, so a poll never blocks the window, never nests a wait inside a walk's
// and never runs a walk inside its own. An agent whose last tick is still
// out skips the tick (counted), never stacking requests.

#include "engine/query/queryrun.h"
#include "engine/snmp/snmpmgr.h"
#include "engine/watch/counterrate.h"
#include "engine/watch/pollplan.h"
#include "engine/watch/samplestore.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class AsyncRequest;

// What the settings keep of a watched object.
struct WatchTarget
{
    QString agent;
    QString community; // unused for an agent that speaks SNMPv3
    std::vector<uint32_t> oid;

    bool operator==(const WatchTarget &) const = default;
};

struct WatchedObject
{
    ObjectId id = 0;
    WatchTarget target;
    AsnAny value;                          // as the agent last answered it; NULL before any answer
    SnmpVersion version = SnmpVersion::V1; // of that answer
    int64_t polledMs = 0;                  // when it came (ms since the epoch); 0: never
    Step step;                             // what the last reading meant
    QString problem;                       // why the last poll brought nothing (empty when it did)
    CounterRate rate;
    SampleSeries samples;
};

class WatchPoller final : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultIntervalMs = 5000;
    static constexpr int MinIntervalMs = 500;
    static constexpr int MaxIntervalMs = 3600 * 1000;
    // After a failure other than a timeout the session is opened anew, no
    // sooner than this (a name service that hangs must not hang every tick).
    static constexpr int ReopenDelayMs = 10000;
    // All samples together, some 130 MB at most: beyond, each object keeps
    // its share, the oldest blocks going first.
    static constexpr size_t SampleLimit = 12'000'000;
    // Ten times the thousand objects a second one agent is made for: a whole
    // table selected in the Table View is no way to take the window down.
    static constexpr size_t MaxObjects = 10'000;

    // What a request to an agent goes with: its version, community, security
    // and the transport settings, as a run to it would.
    using RequestFor = std::function<QueryRequest(const QString &agent, const QString &community)>;

    explicit WatchPoller(RequestFor requestFor, QObject *parent = nullptr);
    ~WatchPoller() override;

    // False when the object is watched already on that agent, or MaxObjects are.
    bool add(const WatchTarget &target);
    void remove(const std::vector<ObjectId> &ids);
    int count() const { return int(m_objects.size()); }
    const WatchedObject &object(int row) const { return *m_objects[size_t(row)]; }
    int rowOf(ObjectId id) const;
    // The row watching the object on that agent, -1 for none.
    int rowOf(const WatchTarget &target) const;
    std::vector<WatchTarget> targets() const;

    void setIntervalMs(int ms);
    int intervalMs() const { return m_timer.interval(); }
    // Start polls at once, then every interval; Pause closes the sessions.
    void start();
    void pause();
    bool isPolling() const { return m_timer.isActive(); }
    // Some agent's Get is still out.
    bool isBusy() const;
    // Ticks an agent skipped because its previous one was still out.
    int skippedTicks() const { return m_skipped; }
    // Gets sent since the watch was created.
    int requestsSent() const { return m_requests; }
    size_t sampleCount() const;
    size_t sampleMemory() const;

signals:
    // Objects got new values, samples or problems.
    void polled();

private:
    struct Agent;

    void tick();
    void startTick(Agent &agent);
    bool openSession(Agent &agent);
    void sendNext(Agent &agent);
    void answered(Agent &agent);
    void take(Agent &agent, const PollRequest &request, const SnmpVarBindList &answer);
    // The objects get nothing this time: a gap, and why.
    void failed(const Batch &batch, const QString &problem);
    void closeSession(Agent &agent);
    void record(WatchedObject &object, const Step &step, std::optional<uint64_t> raw, int64_t nowMs);
    WatchedObject *find(ObjectId id) const;
    size_t seriesLimit() const;

    RequestFor m_requestFor;
    QTimer m_timer;
    std::vector<std::unique_ptr<WatchedObject>> m_objects; // in the order added
    std::unordered_map<ObjectId, WatchedObject *> m_byId;
    std::unordered_map<std::string, ObjectId> m_byTarget; // keyOf() each object on its agent
    std::vector<std::unique_ptr<Agent>> m_agents;
    ObjectId m_nextId = 1;
    int m_skipped = 0;
    int m_requests = 0;
};
