// SPDX-License-Identifier: MIT
#include "ui/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {

// The length of [from, from + length) that lies in [start, start + extent).
// In 64 bits: a stored left of two billion plus its width passes INT_MAX.
qint64 overlap(qint64 from, qint64 length, qint64 start, qint64 extent)
{
    return std::max<qint64>(0, std::min(from + length, start + extent) - std::max(from, start));
}

} // namespace

bool titleReachable(const QRect &bounds, const QList<QRect> &screens)
{
    // An empty rectangle counts by its corner pixel.
    const int width = std::max(1, bounds.width());
    const int needWidth = std::min(width, ReachableTitle.width());
    const int needHeight = std::min(std::max(1, bounds.height()), ReachableTitle.height());
    return std::any_of(screens.begin(), screens.end(), [&](const QRect &screen) {
        return overlap(bounds.x(), width, screen.x(), screen.width()) >= needWidth
               && overlap(bounds.y(), needHeight, screen.y(), screen.height()) >= needHeight;
    });
}

QRect placeWindow(const QRect &bounds, const QList<QRect> &screens, const QRect &primary, const QRect &builtIn)
{
    if (screens.isEmpty() || titleReachable(bounds, screens))
        return bounds;
    const bool fits = bounds.width() <= primary.width() && bounds.height() <= primary.height();
    QRect placed(primary.topLeft() + builtIn.topLeft(), fits ? bounds.size() : builtIn.size());
    // A screen too small for the built-in position gets the window at its corner.
    if (!titleReachable(placed, {primary}))
        placed.moveTopLeft(primary.topLeft());
    return placed;
}

QRect placeOnScreens(const QRect &bounds, const QRect &builtIn)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return bounds;
    // No larger than the desktop, as Windows limits a window: a stored size
    // of millions of pixels would otherwise take gigabytes of backing store.
    QRect desktop;
    QList<QRect> available;
    for (QScreen *screen : screens) {
        desktop |= screen->geometry();
        available << screen->availableGeometry();
    }
    // Stored on a larger screen or a screen that is gone, the window could
    // open where nobody can grab it, and without a window manager nothing
    // brings it back: then it opens on the primary screen.
    return placeWindow(QRect(bounds.topLeft(), bounds.size().boundedTo(desktop.size())), available,
                       QGuiApplication::primaryScreen()->availableGeometry(), builtIn);
}

Qt::WindowStates windowStatesFor(Qt::WindowStates current, int state)
{
    const Qt::WindowStates others = current & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    switch (state) {
    case 2:
        return others | Qt::WindowMaximized;
    case 1:
        return others | Qt::WindowMinimized;
    default:
        return others;
    }
}

int storedWindowState(Qt::WindowStates states, int previous)
{
    if (states & Qt::WindowMaximized)
        return 2;
    return states & Qt::WindowMinimized ? previous : 0;
}
