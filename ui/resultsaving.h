// SPDX-License-Identifier: MIT
#pragma once

#include "store/storeerror.h"

#include <QString>

class DialogService;
class QWidget;
class ResultModel;

// Save and Save As of the result list: the current file name (empty at
// start, set by Save As alone, never cleared), the ".txt" rule and the
// replace question of the name finally written, and the file itself.
class ResultSaving
{
public:
    ResultSaving(DialogService &dialogs, ResultModel &results) : m_dialogs(dialogs), m_results(results) {}

    const QString &fileName() const { return m_fileName; }
    // Save: the list to the current file, without a question (the name is not empty).
    StoreError save() { return write(m_fileName); }
    // Save As: a name asked for, then written; nothing when the user declines.
    StoreError saveAs(QWidget *owner);

private:
    StoreError write(const QString &fileName);

    DialogService &m_dialogs;
    ResultModel &m_results;
    QString m_fileName;
};
