// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

// The text the error box shows: the message with a final "." appended, unless
// its last character is "." or another character coded at or below it (so
// "...'" and "...)" stay as they are).
QString errorBoxText(const QString &message);

// What an error code or status in the message means and what to check, for
// the box's "Show Details...": read from engine/snmperrors, empty for a
// message that carries none.
QString errorBoxDetails(const QString &message);

// The application's error box: stop icon, title "Norvane", one OK button,
// and the details of the message's code or status when it has one.
void showErrorBox(QWidget *owner, const QString &message);
