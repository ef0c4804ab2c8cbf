// SPDX-License-Identifier: MIT
#include "ui/exitsignals.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int ExitSignalNumbers[] = {SIGTERM, SIGHUP, SIGINT};
// How often, after a signal, dialogs that opened since are looked for. Their
// own event loops run the timer too.
constexpr int CloseDialogsEveryMs = 50;

// What the handler may touch: async-signal-safe calls on these two only.
int s_pipe[2] = {-1, -1};
volatile sig_atomic_t s_signalCount = 0;

void onExitSignal(int signalNumber)
{
    // The three are blocked while any of them is handled, so no two handlers
    // interleave on the count.
    const sig_atomic_t earlier = s_signalCount;
    s_signalCount = earlier + 1;
    if (earlier > 0) {
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber); // delivered as this handler returns
        return;
    }
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(s_pipe[1], &byte, 1);
    errno = savedErrno;
}

// A dialog's own event loop would hold the close of its owner until the
// dialog is answered; closing it answers as Cancel or Esc would.
void closeDialogsAndMenus()
{
    for (QWidget *last = nullptr, *popup; (popup = QApplication::activePopupWidget()) && popup != last; last = popup)
        popup->close();
    for (QWidget *last = nullptr, *modal; (modal = QApplication::activeModalWidget()) && modal != last; last = modal)
        modal->close();
}

} // namespace

ExitSignals::ExitSignals()
{
    ::signal(SIGXFSZ, SIG_IGN);
    s_signalCount = 0; // what an earlier object counted is no second signal
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default action
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ExitSignals::onPipeReadable);

    struct sigaction action {};
    action.sa_handler = onExitSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int number : ExitSignalNumbers)
        sigaddset(&action.sa_mask, number);
    for (const int number : ExitSignalNumbers)
        ::sigaction(number, &action, nullptr);
}

ExitSignals::~ExitSignals()
{
    for (const int number : ExitSignalNumbers)
        ::signal(number, SIG_DFL);
    delete m_notifier;
    for (int &fd : s_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void ExitSignals::onPipeReadable()
{
    char buffer[16];
    while (::read(s_pipe[0], buffer, sizeof buffer) > 0) {
    }
    if (m_received)
        return;
    m_received = true;
    closeDialogsAndMenus();
    m_closer = new QTimer(this);
    connect(m_closer, &QTimer::timeout, this, closeDialogsAndMenus);
    m_closer->start(CloseDialogsEveryMs);
    emit exitRequested();
}
