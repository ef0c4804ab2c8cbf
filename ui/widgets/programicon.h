// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

// The icon the executable carries: the program artwork compiled in as a
// resource with the dialogs. Null when the executable carries none.
QIcon programIcon();
