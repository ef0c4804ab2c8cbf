// SPDX-License-Identifier: MIT
#pragma once

#include "engine/recording/walkdiff.h"

#include <QDateTime>
#include <QString>

#include <vector>

class DialogService;
class QWidget;
class ResultModel;
class RunLifecycle;
class TCompareWindow;

// Compare With...: the list compared with a recording or result file, which
// is read as Open... reads one (the window busy, Stop ending it) but kept
// apart from the list. The file is the older walk, the list the newer; the
// Compare window shows what changed.
//
// Compare With Previous Walk: the last walk in the list compared with the
// walk before it of the same agent and OIDs, both still in the list (Clear
// and Open empty it), the times they ended telling the time between them.
class WalkComparing
{
public:
    WalkComparing(QWidget &window, DialogService &dialogs, ResultModel &results, RunLifecycle &run);

    // Asks which file, then compares.
    void compareWithFile();
    void compareWithFile(const QString &path);
    bool hasPreviousWalk() const { return previousWalk() >= 0; }
    void compareWithPreviousWalk();
    // The Compare window, once it has shown a comparison.
    TCompareWindow *compareWindow() const { return m_compareWindow; }

private:
    struct Walk
    {
        QString agent;
        QString oids;
        qsizetype first = 0;
        qsizetype end = 0;
        QDateTime ended;
    };

    // The index of the walk before the last of the same agent and OIDs; -1 for none.
    qsizetype previousWalk() const;
    TCompareWindow &showComparison(WalkComparison comparison, const QString &olderName, const QString &newerName);

    QWidget &m_window;
    DialogService &m_dialogs;
    ResultModel &m_results;
    RunLifecycle &m_run;
    std::vector<Walk> m_walks; // the walks whose rows the list holds, in order
    TCompareWindow *m_compareWindow = nullptr; // a child of the window
};
