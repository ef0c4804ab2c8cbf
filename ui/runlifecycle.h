// SPDX-License-Identifier: MIT
#pragma once

#include "engine/query/queryrun.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>
#include <string>

class ResultModel;

// What a run needs of the window it runs in.
class RunHost
{
public:
    // The request of a run, read from the boxes as it starts. None when it
    // cannot go now (it waits for the keyring, or the user gave no
    // passphrases): the run ends without a word.
    virtual std::optional<QueryRequest> runRequest() = 0;
    // The inputs converted: the histories record them, before any request.
    virtual void recordInputs() = 0;
    // The enabling rules, after the run's state or the window's events changed.
    virtual void refreshCommands() = 0;
    // The status line's simple text.
    virtual void showStatus(const QString &text) = 0;
    // What the status line says when no run goes on: "Ready", or what the
    // window waits for.
    virtual QString readyText() const = 0;

protected:
    ~RunHost() = default;
};

// The Run command's life in the window: one run at a time on the stack, Stop
// ending a walk one row later, a Run or Clear that gives a stopped run still
// waiting for its answer up, a close that waits for the run to return, and
// the window's events processed between rows at a paced rate. The run's
// look (the status text, hints off, the busy cursor) comes and goes with it.
class RunLifecycle final : private QuerySink
{
public:
    // How often a running walk processes the window's events at most: 0.1 ms.
    static constexpr qint64 EventPassNs = 100000;

    RunLifecycle(RunHost &host, ResultModel &results);
    ~RunLifecycle() override;

    // True when no run is in progress, or the one in progress was stopped.
    bool isIdle() const { return m_idle; }
    bool isRunning() const { return m_depth > 0; }
    // Runs on the stack at once; a Run never starts inside another, so at most 1.
    int depth() const { return m_depth; }
    // Hints follow the pointer in the status line; not while a run shows "Updating...".
    bool hintsShown() const { return m_hintsShown; }
    // Start-up is over: idle, "Ready".
    void becomeIdle();

    // Run: throws the run's AppError, unless the user ended the run meanwhile.
    void run();

    // Work done as a run is done (opening a recording): the window busy,
    // Stop, Clear, a new run and a close reaching it through control between
    // its rows, which it hands to sink. It may leave the text the status
    // line shows after it, and a failure to be shown once the window is idle
    // again (the rows it added stay).
    struct JobOutcome
    {
        QString status;
        std::string failure;
    };
    using Job = std::function<QueryEnd(QuerySink &sink, const RunControl &control, JobOutcome &outcome)>;
    void run(Job job);

    // Told of every Run that added rows, once it has: its request and the
    // stored rows first..end-1 it added.
    using RunEnded = std::function<void(const QueryRequest &request, qsizetype first, qsizetype end)>;
    void setRunEnded(RunEnded runEnded) { m_runEnded = std::move(runEnded); }
    void stop();
    // Clear: rows a stopped run still waits for must not follow it.
    void abandonStopped();
    // A close asked during a run: the run ends without a message, the close
    // comes once it has returned. closeDue() tells when.
    void closeWhenEnded();
    // True once, when a close waited for and the run has returned.
    bool closeDue();

    // Processes pending events once; a running walk at most every EventPassNs.
    void processEvents();

private:
    QueryEnd runOnce(const Job &job, JobOutcome &outcome);
    void pushBusyCursor();
    void popCursor();
    // A stopped run may still wait for its last answer; the window looks idle already.
    void showIdleLook();

    // QuerySink
    void inputsAccepted() override { m_host.recordInputs(); }
    void appendRow(ResultRow &&row) override;
    void companionRow(ResultRow &&row) override;
    void betweenRows() override { processEvents(); }

    RunHost &m_host;
    ResultModel &m_results;
    bool m_idle = false;
    bool m_hintsShown = true;
    int m_depth = 0;             // runs in progress: 0 or 1
    RunControl m_control;        // what Stop, a new Run, Clear and a close tell the run in progress
    bool m_runPending = false;   // Run came while a stopped run was still on the stack
    Job m_pendingJob;            // what that Run is to do
    RunEnded m_runEnded;
    bool m_busyCursor = false;   // the run's busy cursor is shown
    bool m_closePending = false; // a close came during a run: close when it has ended
    qint64 m_eventPassNs = -1;   // ResultModel::clockNs() at a running walk's last event pass; -1: not yet
    qint64 m_rowStoredNs = -1;   // and when the last row was stored
};
