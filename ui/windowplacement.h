// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QRect>
#include <Qt>

// How much of a window's top strip, where its title bar is grabbed, one
// screen must show for the window to be reachable there.
inline constexpr QSize ReachableTitle(100, 50);

// True when at least ReachableTitle of the window's top strip (all of it
// for a window narrower or lower than that) lies on one of the screens.
bool titleReachable(const QRect &bounds, const QList<QRect> &screens);

// Where the main window opens with stored bounds, given the screens'
// available areas and the primary screen's: as stored while its title is
// reachable; otherwise on the primary screen at builtIn's position from its
// top left corner, in the stored size where that fits the screen and in
// builtIn's size where not. Only bounds.topLeft() and bounds.size() are
// read, so bounds far outside the int range's middle do no harm.
QRect placeWindow(const QRect &bounds, const QList<QRect> &screens, const QRect &primary, const QRect &builtIn);

// placeWindow() on the screens there are now, with a stored size no larger
// than the desktop; with no screen at all, the bounds as stored.
QRect placeOnScreens(const QRect &bounds, const QRect &builtIn);

// The window states a stored state value asks for (0 normal, 1 minimised,
// 2 maximised), the others in current kept.
Qt::WindowStates windowStatesFor(Qt::WindowStates current, int state);

// The state value the settings keep after a change to states: minimising
// leaves it as it was (normal or maximised).
int storedWindowState(Qt::WindowStates states, int previous);
