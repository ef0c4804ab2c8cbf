// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

// The text the error box shows: the message with a final "." appended, unless
// its last character is "." or another character coded at or below it (so
// "...'" and "...)" stay as they are).
QString errorBoxText(const QString &message);

// The application's error box: stop icon, title "Norvane", one OK button.
void showErrorBox(QWidget *owner, const QString &message);
