// SPDX-License-Identifier: MIT
#pragma once

// The files of the MIB folders as Net-SNMP would read them, looked at without
// opening any: Net-SNMP fopen()s every entry of a folder, and a FIFO there
// waits for a writer for ever. A FIFO, a device, a link that leads nowhere
// or in circles, or a file that may not be read is named with its reason
// instead. No Net-SNMP, no Qt.

#include <cstdint>
#include <string>
#include <vector>

struct MibFile
{
    std::string path;
    int64_t size = 0;
    int64_t modifiedNs = 0; // st_mtim
    std::string problem;    // why it is not read; empty for a readable regular file
};

// Every entry of the folders, folder by folder in the order given, each
// folder's names sorted byte by byte. As Net-SNMP does, names that start with
// "." or "#" or end with "#" or "~" (editor backups) are passed over, and so
// are subfolders and folders that cannot be listed.
std::vector<MibFile> listMibFolders(const std::vector<std::string> &folders);

// One file, as the listing looks at it; a folder is a problem here.
MibFile examineMibFile(const std::string &path);
