// SPDX-License-Identifier: MIT
#include "ui/windowplacement.h"

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
