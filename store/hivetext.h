// SPDX-License-Identifier: MIT
#pragma once

#include "store/registryhive.h"

#include <QByteArray>

#include <memory>

// The hive's text form, REGEDIT4 as regedit exports it. parseHive returns null
// when the bytes are not a REGEDIT4 file of HKEY_CURRENT_USER keys;
// serializeHive writes regedit's layout (CR LF, hex lines continued with "\"
// at 80 columns). Whatever parses writes back to text that parses to the same
// tree.
std::unique_ptr<HiveNode> parseHive(const QByteArray &text);
QByteArray serializeHive(const HiveNode &root);
