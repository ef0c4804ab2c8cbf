// SPDX-License-Identifier: MIT
#include "ui/runlifecycle.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "ui/results/resultmodel.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QString>

#include <utility>

RunLifecycle::RunLifecycle(RunHost &host, ResultModel &results) : m_host(host), m_results(results) {}

RunLifecycle::~RunLifecycle()
{
    Q_ASSERT(m_depth == 0);
}

void RunLifecycle::becomeIdle()
{
    m_idle = true;
    m_host.showStatus(m_host.readyText());
    m_host.refreshCommands();
}

void RunLifecycle::run()
{
    run([this](QuerySink &sink, const RunControl &control, JobOutcome &) {
        // Without the busy cursor: the request may wait for the keyring, or
        // ask for passphrases first. None: the run ends without a word.
        popCursor();
        const std::optional<QueryRequest> request = m_host.runRequest();
        if (!request)
            return QueryEnd::Abandoned;
        pushBusyCursor();
        const qsizetype first = m_results.storedRowCount();
        const auto ended = qScopeGuard([&] {
            if (m_runEnded && m_results.storedRowCount() > first)
                m_runEnded(*request, first, m_results.storedRowCount());
        });
        return runQuery(*request, sink, control);
    });
}

void RunLifecycle::run(Job job)
{
    if (m_depth > 0) {
        // A stopped run still waits for its last answer. Run inside it, and
        // the stopped run's row and message would come after the new run's,
        // and runs could nest without end: give it up and run once it has
        // returned.
        m_control.abandoned = true;
        m_runPending = true;
        m_pendingJob = std::move(job);
        return;
    }
    ++m_depth;
    const auto ended = qScopeGuard([this] {
        --m_depth;
        m_runPending = false;
        m_pendingJob = {};
        m_control = RunControl();
        m_results.flush();
    });
    do {
        if (m_runPending)
            job = std::exchange(m_pendingJob, {});
        m_runPending = false;
        m_control = RunControl{false, false, m_closePending};
        JobOutcome outcome;
        try {
            // The closing steps showed "Ready"; a walk that found nothing says so instead.
            const QueryEnd end = runOnce(job, outcome);
            if (end == QueryEnd::EmptySubtree)
                m_host.showStatus(QString::fromLatin1(msg::NoObjects));
            else if (!outcome.status.isEmpty())
                m_host.showStatus(outcome.status);
            if (!outcome.failure.empty() && !m_runPending)
                throw AppError(outcome.failure);
        } catch (const AppError &) {
            // The user ended this run (Stop, or closing the window): what
            // became of its last request is no longer news to them.
            if (!m_control.stopped && !m_closePending)
                throw;
        }
    } while (m_runPending && !m_closePending);
}

QueryEnd RunLifecycle::runOnce(const Job &job, JobOutcome &outcome)
{
    // Run disabled and Stop enabled before any work starts.
    m_idle = false;
    m_eventPassNs = -1; // a run's first pass is never skipped
    m_host.refreshCommands();
    // The closing steps, on every way out: normal end, Stop and failures alike.
    const auto closing = qScopeGuard([this] {
        m_idle = true;
        m_host.showStatus(m_host.readyText());
        m_hintsShown = true;
        popCursor();
    });
    m_hintsShown = false;
    m_host.showStatus(QString::fromLatin1(msg::Updating));
    processEvents(); // paints the text; a Stop here ends a walk after its first row
    pushBusyCursor();
    return job(*this, m_control, outcome);
}

void RunLifecycle::stop()
{
    const bool running = m_depth > 0 && !m_idle;
    m_idle = true;
    if (running) {
        m_control.stopped = true;
        showIdleLook();
    }
    processEvents();
}

void RunLifecycle::abandonStopped()
{
    if (m_depth > 0)
        m_control.abandoned = true;
}

void RunLifecycle::closeWhenEnded()
{
    // The run's loop is still on the stack and uses the window.
    m_closePending = true;
    m_control.closing = true;
}

bool RunLifecycle::closeDue()
{
    if (!m_closePending || m_depth > 0)
        return false;
    m_closePending = false;
    return true;
}

void RunLifecycle::processEvents()
{
    // The rows of a GetBulk answer come microseconds apart, and one pass of
    // the event loop (a poll() and Qt's dispatch) costs about as much as
    // rendering a row. A running walk passes at most every EventPassNs:
    // what arrives in between waits no longer than that, and Stop still ends
    // the walk one row after its click is handled. Idle, every call passes.
    // Called right after a row is stored, it takes that row's time, as
    // reading the clock costs a twentieth of a row on a virtual machine.
    if (!m_idle && m_eventPassNs >= 0) {
        const qint64 now = m_rowStoredNs > m_eventPassNs ? m_rowStoredNs : ResultModel::clockNs();
        if (now - m_eventPassNs < EventPassNs)
            return;
    }
    m_eventPassNs = ResultModel::clockNs();
    QCoreApplication::processEvents();
    m_host.refreshCommands();
}

void RunLifecycle::appendRow(ResultRow &&row)
{
    m_rowStoredNs = ResultModel::clockNs();
    m_results.appendRow(std::move(row), m_rowStoredNs);
}

void RunLifecycle::companionRow(ResultRow &&row)
{
    m_results.addCompanionRow(row);
}

void RunLifecycle::pushBusyCursor()
{
    // Stopped before the cursor was set: the window already looks idle.
    if (m_busyCursor || m_idle)
        return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    m_busyCursor = true;
}

void RunLifecycle::popCursor()
{
    if (!std::exchange(m_busyCursor, false))
        return;
    QGuiApplication::restoreOverrideCursor();
}

void RunLifecycle::showIdleLook()
{
    popCursor();
    m_hintsShown = true;
    m_host.showStatus(m_host.readyText());
}
