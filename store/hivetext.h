// SPDX-License-Identifier: MIT
#pragma once

#include "store/registryhive.h"

#include <QByteArray>

#include <memory>

// The hive's text form, REGEDIT4 as regedit exports it. parseHive returns null
// when the bytes are not a registry export of HKEY_CURRENT_USER keys. It also
// takes the "Windows Registry Editor Version 5.00" form, in UTF-8 or in
// UTF-16LE with a byte-order mark, whose string types in hex (1, 2, 7) are
// UTF-16LE and are read as UTF-8, as REGEDIT4 holds them. serializeHive writes
// REGEDIT4 in regedit's layout (CR LF, hex lines continued with "\" at 80
// columns). Whatever parses writes back to text that parses to the same tree.
std::unique_ptr<HiveNode> parseHive(const QByteArray &text);
QByteArray serializeHive(const HiveNode &root);

// Sizes of what serializeHive writes, without writing it: the whole text, one
// value's line, and one key's header and blank line for a path of that many
// bytes (each component with its "\").
qint64 serializedSize(const HiveNode &root);
qint64 valueTextSize(const HiveValue &value);
qint64 keyTextSize(qint64 pathLength);
