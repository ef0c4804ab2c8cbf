// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// What a row's object is to the rendering of other rows and of its own
// value, as the MIB defines it: an InetAddressType that an InetAddress of
// the same table row is read by; such an InetAddress; BITS, which travel as
// an octet string whose first octet is often 0.
enum class RowRole : uint8_t { Plain, AddressType, Address, Bits };
