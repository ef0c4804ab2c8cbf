// SPDX-License-Identifier: MIT
#include "engine/snmp/asyncrequest.h"

#include <QSocketNotifier>

#include <utility>

AsyncRequest::AsyncRequest(QObject *parent) : QObject(parent)
{
    m_due.setSingleShot(true);
    // The service rounds up; a coarse timer could fire early and find nothing due.
    m_due.setTimerType(Qt::PreciseTimer);
    connect(&m_due, &QTimer::timeout, this, [this] { service(false); });
}

AsyncRequest::~AsyncRequest() = default;

bool AsyncRequest::get(LPSNMP_MGR_SESSION session, const SnmpVarBindList &names)
{
    stopWatching();
    if (!SnmpMgrSend(session, pdu::Get, &names, RequestWait::Detached))
        return false;
    m_session = session;
    m_ended = false;
    const int fd = SnmpMgrSocket(session);
    if (m_readable && m_readable->socket() != fd)
        dropNotifier();
    if (!m_readable && fd >= 0) {
        m_readable = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
        connect(m_readable, &QSocketNotifier::activated, this, [this] { service(true); });
    }
    if (m_readable)
        m_readable->setEnabled(true);
    // The first step from the event loop: finished() never comes from inside get().
    m_due.start(0);
    return true;
}

void AsyncRequest::service(bool readable)
{
    if (!m_session || m_ended)
        return;
    const int due = SnmpMgrService(m_session, readable);
    if (due >= 0) {
        m_due.start(due);
        return;
    }
    m_ended = true;
    stopWatching();
    emit finished();
}

int AsyncRequest::take(SnmpVarBindList *list, int32_t *errorStatus, int32_t *errorIndex)
{
    if (!m_session || !m_ended)
        return 0;
    return SnmpMgrAwait(std::exchange(m_session, nullptr), list, errorStatus, errorIndex);
}

void AsyncRequest::cancel()
{
    stopWatching();
    dropNotifier();
    m_session = nullptr;
    m_ended = false;
}

void AsyncRequest::stopWatching()
{
    if (m_readable)
        m_readable->setEnabled(false);
    m_due.stop();
}

void AsyncRequest::dropNotifier()
{
    // Later: it may be the one whose signal is being handled. Disabled, it
    // no longer watches the socket, whose number may soon be another's.
    if (QSocketNotifier *notifier = std::exchange(m_readable, nullptr)) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
}
