// SPDX-License-Identifier: MIT
#pragma once

#include "store/storeerror.h"
#include "ui/dialogs/dialogservice.h"

#include <QString>

class QWidget;
class ResultModel;

// Save and Save As of the result list: the current file name (empty at
// start, set by Save As alone, never cleared) and its format, the ".txt" rule
// (or a recording's extension) and the replace question of the name finally
// written, and the file itself. A recording is written from the rows'
// bindings (ui/results/resultrecording.h).
class ResultSaving
{
public:
    ResultSaving(DialogService &dialogs, ResultModel &results) : m_dialogs(dialogs), m_results(results) {}

    const QString &fileName() const { return m_fileName; }
    SaveFormat format() const { return m_format; }
    // Save: the list to the current file, without a question (the name is not empty).
    StoreError save() { return write(m_fileName); }
    // Save As: a name asked for, then written; nothing when the user declines.
    StoreError saveAs(QWidget *owner);

private:
    StoreError write(const QString &fileName);

    DialogService &m_dialogs;
    ResultModel &m_results;
    QString m_fileName;
    SaveFormat m_format = SaveFormat::ResultFile;
};

// The name a chosen one is written under: ".txt" for a result file
// (withTxtExtension), a recording's extension appended when it lacks it (a
// device's name like "10.0.0.1" has dots that are no extension).
QString withFormatExtension(const QString &chosenPath, SaveFormat format);
