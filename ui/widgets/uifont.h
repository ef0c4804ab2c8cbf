// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>

// The font of the main window and the dialogs: 8-point "MS Sans Serif" where
// the system has it, the platform's default sans-serif family at 8 points otherwise.
QFont norvaneFont();
