// SPDX-License-Identifier: MIT
#pragma once

#include "store/filesafety.h"
#include "store/storeerror.h"

#include <QString>

#include <string>

// The lines of a recording, one at a time, as the writer takes them.
class LineSource
{
public:
    virtual ~LineSource() = default;
    // The next line with its line end; false after the last.
    virtual bool nextLine(std::string &line) = 0;
};

// Writes a recording (snmpsim's or Net-SNMP walk text: the lines say which)
// by an atomic replace: into a temporary file beside the target, renamed over
// it once complete and on disk, so that a failure leaves an earlier file as
// it was and a reader never sees half of one. A symbolic link is followed and
// the file it leads to replaced; an existing file that is no regular file (a
// device) is written in place, as Save writes it. The new file keeps the
// permission bits of the one it replaces, or gets 0666 less the umask.
// Failures carry the messages of the result file's table (store/resultfile.h).
StoreError writeRecordingFile(const QString &fileName, LineSource &lines, const WriteFunction &write = {});
