// SPDX-License-Identifier: MIT
#pragma once

// The folder an export for another program is written into: a text file
// readable by the user alone (it may hold credentials), and copies of the
// MIB module files that program is to read, byte for byte as the browser
// read them (their licence texts travel with them).

#include "store/storeerror.h"

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

// Creates the folder (and its missing parents) and replaces fileName in it
// atomically by the text, mode 0600.
StoreError writePrivateFile(const QString &folder, const QString &fileName, std::string_view text);

// Copies each file into folder/subfolder under its own name (a later file
// of a name taken gets the module's name instead), replacing what is there.
// *copied lists the copies' paths.
struct ModuleFile
{
    std::string module;
    std::string file;
};
StoreError copyModuleFiles(const QString &folder, const QString &subfolder, const std::vector<ModuleFile> &files,
                           QStringList *copied);
