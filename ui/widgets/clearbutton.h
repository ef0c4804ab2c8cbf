// SPDX-License-Identifier: MIT
#pragma once

class QLineEdit;

// The clear button inside a search box, shown while it holds text, with a
// name for screen readers (QLineEdit's own clear button has none).
void addClearButton(QLineEdit *edit);
