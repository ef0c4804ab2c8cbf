// SPDX-License-Identifier: MIT
#pragma once

#include "engine/recording/walkdiff.h"
#include "ui/widgets/framewindow.h"

#include <QTimer>

class CompareModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

// The Compare window: what changed between two walks, one row an object
// added, removed or changed, with the old and new values and the counters'
// increase and rate; the kinds to show, a name filter and the summary line.
// Not modal; it keeps its comparison whatever becomes of the list.
class TCompareWindow : public FrameWindow
{
    Q_OBJECT

public:
    static constexpr int FilterDelayMs = 150;

    explicit TCompareWindow(QWidget *owner);

    // Shows the comparison of the older walk (what it is: olderName) with the newer.
    void showComparison(WalkComparison comparison, const QString &olderName, const QString &newerName);

    CompareModel *model() const { return m_model; }
    QComboBox *showBox() const { return cboShow; }
    QLineEdit *nameBox() const { return edtName; }
    QLabel *summaryLabel() const { return lblSummary; }
    QTableView *changesView() const { return m_changes; }

private:
    CompareModel *m_model = nullptr;
    QComboBox *cboShow = nullptr;
    QLineEdit *edtName = nullptr;
    QLabel *lblSummary = nullptr;
    QTableView *m_changes = nullptr;
    QTimer m_filterTimer;
};
