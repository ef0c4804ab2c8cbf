// SPDX-License-Identifier: MIT
#include "ui/widgets/framewindow.h"

#include <QAccessibleWidget>
#include <QShortcut>

namespace {

// Qt gives a plain QWidget the Client role (AT-SPI's filler) even when it is
// a window; a QMainWindow gets Window (frame).
QAccessibleInterface *frameAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("FrameWindow") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

FrameWindow::FrameWindow(QWidget *owner) : QWidget(owner, Qt::Window)
{
    static const bool installed = [] {
        QAccessible::installFactory(frameAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}
