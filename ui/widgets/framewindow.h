// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

// A window of its own beside the main one (MIB Tree, Table View, Watch,
// Traps, Compare), not modal:
// Esc closes it from any control in it, and screen readers see a frame, as
// they see the main window, rather than a filler.
class FrameWindow : public QWidget
{
    Q_OBJECT

public:
    explicit FrameWindow(QWidget *owner);
};
