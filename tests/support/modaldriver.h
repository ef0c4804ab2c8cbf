// SPDX-License-Identifier: MIT
#pragma once

// Helpers for the tests that open the real modal dialogs, through the main
// window or on their own. A modal dialog runs its own event loop inside the
// call that opened it, so the test drives it from a timer posted before the call.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// Runs `open`, which is to open a modal dialog of class D, and `script` on
// that dialog while it is up. A dialog the script leaves open is closed with
// -1, so that a failed check cannot hang the test. True when the dialog
// appeared (and the script ran).
template <typename D>
bool driveModal(const std::function<void()> &open, const std::function<void(D *)> &script)
{
    // Shared with the timer, which outlives this call when `open` fails badly.
    struct State
    {
        bool appeared = false;
        bool finished = false;
        QPointer<QWidget> owner;
    };
    const auto state = std::make_shared<State>();
    QTimer::singleShot(0, qApp, [state, script] {
        QPointer<D> dialog;
        [&] {
            QTRY_VERIFY((dialog = qobject_cast<D *>(QApplication::activeModalWidget())));
            // Shown is not yet active: until then keys would go to the owner.
            QTRY_COMPARE(QApplication::activeWindow(), dialog.data());
        }();
        if (dialog) {
            state->appeared = true;
            state->owner = dialog->parentWidget();
            script(dialog);
            if (dialog && dialog->isVisible())
                dialog->done(-1);
        }
        state->finished = true;
    });
    open();
    // When `open` showed nothing, the timer has yet to fire and give up.
    if (!QTest::qWaitFor([state] { return state->finished; }, 10000))
        return false;
    // A window manager gives the owner back its activation when the dialog
    // closes; the offscreen platform has none, so the test does it.
    if (state->owner && state->owner->isVisible()) {
        state->owner->activateWindow();
        if (!QTest::qWaitForWindowActive(state->owner))
            return false;
    }
    return state->appeared;
}

// Runs `open` and closes whatever modal dialog it opens over `current` (the
// dialog already up, if any). The class name of that dialog, or empty when
// none appeared.
inline QString modalOpenedBy(const std::function<void()> &open, QWidget *current = nullptr)
{
    struct State
    {
        QString seen;
        bool finished = false;
    };
    const auto state = std::make_shared<State>();
    QTimer::singleShot(0, qApp, [state, current] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (dialog && dialog != current) {
            state->seen = QString::fromLatin1(dialog->metaObject()->className());
            dialog->done(-1);
        }
        state->finished = true;
    });
    open();
    if (!QTest::qWaitFor([state] { return state->finished; }, 10000))
        return QStringLiteral("(no answer)");
    return state->seen;
}

// Closes every error box that appears while it lives, recording its text and
// when it appeared. A run reports its failures in a modal box, which would
// otherwise stop the test.
class ErrorBoxWatch
{
public:
    ErrorBoxWatch()
    {
        m_clock.start();
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(10);
    }

    QStringList texts;
    QList<qint64> shownAfterMs;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        shownAfterMs << m_clock.elapsed();
        texts << box->text();
        box->done(QMessageBox::Ok);
    }

    QElapsedTimer m_clock;
    QTimer m_poll;
};

// The dialog's frame is centred over its owner's, within a few pixels.
inline bool centredOver(const QWidget *dialog, const QWidget *owner)
{
    return (dialog->frameGeometry().center() - owner->frameGeometry().center()).manhattanLength() <= 3;
}

template <typename T>
T *child(QWidget *dialog, const char *name)
{
    return dialog->findChild<T *>(QLatin1String(name));
}

template <typename T>
T *child(QWidget &dialog, const char *name)
{
    return child<T>(&dialog, name);
}

// The text a dialog's field shows, a line edit or a read-only text field alike.
inline QString fieldText(QWidget *dialog, const char *name)
{
    const auto *field = child<QWidget>(dialog, name);
    return field ? field->property(field->inherits("QPlainTextEdit") ? "plainText" : "text").toString() : QString();
}

// The object name of the widget with the keyboard focus, or empty.
inline QString focusName()
{
    const QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QString();
}
