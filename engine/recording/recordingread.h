// SPDX-License-Identifier: MIT
#pragma once

// A recording file read into result rows, as Open... and Compare With... read
// one: line by line (engine/recording/linereader.h), each binding rendered as
// an SNMPv2c answer's row (its names by the loaded MIBs: GUI thread only), a
// result file's rows as they were saved. The rows go to a QuerySink, which
// gets betweenRows() between them as a walk's sink does, and Stop, Clear or a
// close of the window (the RunControl) end the read the way they end a walk.

#include "engine/query/queryrun.h"
#include "engine/recording/recordingparser.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct RecordingRead
{
    static constexpr size_t MaxIssuesKept = 20;

    RecordingFormat format = RecordingFormat::Unknown;
    bool refused = false;   // the file is no recording: nothing of it was taken
    uint64_t rows = 0;
    uint64_t skipped = 0;   // lines not read
    uint64_t remarks = 0;   // lines read with a word about them
    // "Line 12: the tag 'q' is no type number", the first MaxIssuesKept.
    std::vector<std::string> issues;
    // An errno value or a LineReader::Reason: the file could not be opened,
    // or not read to its end (the rows before stay).
    int fileError = 0;
    QueryEnd end = QueryEnd::Completed;
};

// started is called once the file is known to be a recording, before its
// first row: the caller empties its list then, and not for a file refused.
RecordingRead readRecording(const std::string &path, QuerySink &sink, const RunControl &control,
                            const std::function<void(RecordingFormat)> &started = {});
