// SPDX-License-Identifier: MIT
#pragma once

// A request whose answer the thread's event loop waits for: nothing blocks
// and nothing nests. Polls that run beside a walk go this way, so that a walk
// waiting for its own answer (its events processed) never finds another wait
// on the stack above it, and a poll never waits inside a walk.

#include "engine/snmp/snmpmgr.h"

#include <QObject>
#include <QTimer>

class QSocketNotifier;

class AsyncRequest final : public QObject
{
    Q_OBJECT

public:
    explicit AsyncRequest(QObject *parent = nullptr);
    ~AsyncRequest() override;

    // Posts a Get of the list's names on the session (an SNMPv3 session's
    // engine ID probe first, when it has none yet). False when SnmpMgrSend
    // refuses it, SnmpMgrGetLastError() saying why; else finished() follows
    // from the event loop, however the request ends.
    bool get(LPSNMP_MGR_SESSION session, const SnmpVarBindList &names);
    bool isPending() const { return m_session && !m_ended; }
    // After finished(): the request's end as SnmpMgrAwait gives it. Once.
    int take(SnmpVarBindList *list, int32_t *errorStatus, int32_t *errorIndex);
    // Stops watching, before the session closes: no finished() follows.
    void cancel();

signals:
    void finished();

private:
    void service(bool readable);
    void stopWatching();
    void dropNotifier();

    LPSNMP_MGR_SESSION m_session = nullptr;
    bool m_ended = false;
    QSocketNotifier *m_readable = nullptr; // kept from request to request on the same socket
    QTimer m_due; // the next retry or timeout
};
