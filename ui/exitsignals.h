// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QSocketNotifier;
class QTimer;

// SIGTERM, SIGHUP and SIGINT (a session's logout, kill, Ctrl+C in the
// terminal) end the program the way closing its window does, so that a walk
// stops and the settings are written. The handler only writes to a pipe that
// the event loop watches; there the open dialogs and menus are closed and
// exitRequested() is emitted. A second signal, while the first is being dealt
// with, ends the program at once, as if there were no handler. Dialogs that
// open after the signal (an error box, say) are closed as they come, so that
// nothing waits for an answer nobody will give.
//
// SIGXFSZ is ignored: past a file-size limit a write then fails with EFBIG
// and is reported like any other failed write, instead of killing the program.
//
// One object per program, made after the application object and before the
// main window, and kept until the window is gone.
class ExitSignals final : public QObject
{
    Q_OBJECT

public:
    ExitSignals();
    ~ExitSignals() override;
    ExitSignals(const ExitSignals &) = delete;
    ExitSignals &operator=(const ExitSignals &) = delete;

    // A signal came and was dealt with (also before anyone was connected).
    bool received() const { return m_received; }

signals:
    void exitRequested();

private:
    void onPipeReadable();

    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_closer = nullptr;
    bool m_received = false;
};
