// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class DialogService;
class QWidget;
class ResultModel;
class RunLifecycle;
class TCompareWindow;

// Compare With...: the list compared with a recording or result file, which
// is read as Open... reads one (the window busy, Stop ending it) but kept
// apart from the list. The file is the older walk, the list the newer; the
// Compare window shows what changed.
class WalkComparing
{
public:
    WalkComparing(QWidget &window, DialogService &dialogs, ResultModel &results, RunLifecycle &run)
        : m_window(window), m_dialogs(dialogs), m_results(results), m_run(run)
    {
    }

    // Asks which file, then compares.
    void compareWithFile();
    void compareWithFile(const QString &path);
    // The Compare window, once it has shown a comparison.
    TCompareWindow *compareWindow() const { return m_compareWindow; }

private:
    QWidget &m_window;
    DialogService &m_dialogs;
    ResultModel &m_results;
    RunLifecycle &m_run;
    TCompareWindow *m_compareWindow = nullptr; // a child of the window
};
