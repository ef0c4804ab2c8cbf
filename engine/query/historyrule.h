// SPDX-License-Identifier: MIT
#pragma once

#include "common/history.h"

// Records one input: move a case-insensitive match to the top and select it,
// or insert the text at the top and drop one entry past 10.
void recordHistory(HistoryList &list);
