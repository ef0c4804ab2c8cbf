// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// The current operation, stored as its number. A stored value outside 1..3
// is kept as it is: no operation is then chosen and Run sends nothing.
enum class Operation : int32_t { Get = 1, GetNext = 2, Walk = 3 };
