// SPDX-License-Identifier: MIT
#pragma once

#include "engine/recording/recordingread.h"

#include <QString>

#include <string>

class DialogService;
class QWidget;
class ResultModel;
class RunLifecycle;

// Open...: a recording (snmpsim's, Net-SNMP walk text) or a result file read
// into the list as an offline result. It is read as a run adds rows, the
// window busy meanwhile and Stop ending it; a file that is no recording
// leaves the list as it was. The window's title then names the file until
// Clear or the next Run (whose rows never join the file's: it empties the
// list first).
class ResultOpening
{
public:
    ResultOpening(QWidget &window, DialogService &dialogs, ResultModel &results, RunLifecycle &run);

    // Asks which file, then opens it.
    void open();
    void open(const QString &path);
    // The file the list shows; empty when it shows runs.
    const QString &fileName() const { return m_fileName; }
    // A Run starts: an opened file's rows go first.
    void leaveFile();

private:
    void showFile(const QString &path);

    QWidget &m_window;
    DialogService &m_dialogs;
    ResultModel &m_results;
    RunLifecycle &m_run;
    QString m_fileName;
    bool m_clearing = false; // the list is emptied for a file, which it then shows
};

// What reading a recording came to, for Open... and Compare With...: throws
// the AppError for a file that could not be opened, is no recording or holds
// no binding.
void checkRecordingRead(const RecordingRead &read, const QString &path);
// The message that lists the lines skipped; empty when none were.
std::string skippedLinesMessage(const RecordingRead &read, const QString &path);
