// SPDX-License-Identifier: MIT
#pragma once

#include <QSize>

class QDialog;
class QPushButton;

// A modal dialog of fixed size: title bar with a close box and no minimise,
// maximise or help box; `client` is the size of the client area.
void setFixedDialogFrame(QDialog *dialog, QSize client);

// The width a push button needs to show its caption unclipped in its own
// font and style: the caption plus the style's button margin and frame.
// The style's own size hint is no guide here, as some styles add a minimum
// width of their own that has nothing to do with the caption.
int captionWidth(const QPushButton *button);
