// SPDX-License-Identifier: MIT
#pragma once

#include "ui/widgets/framewindow.h"

class DialogService;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTreeView;
class WatchGraph;
class WatchListModel;

// The Watch window, beside the main window and not modal: the watched
// objects with their last values and rates, a graph of the selected ones
// over a time span, the poll interval, Start and Pause, Remove and Export
// CSV. The list and its polling live on while the window is closed.
class TWatchWindow final : public FrameWindow
{
    Q_OBJECT

public:
    // The time spans offered, in milliseconds; 0 is all the samples.
    static constexpr qint64 Spans[] = {5 * 60 * 1000, 60 * 60 * 1000, 24 * 60 * 60 * 1000, 0};

    TWatchWindow(WatchListModel &model, DialogService &dialogs, QWidget *owner);

    // The rows selected, and with them drawn.
    void selectRows(const QList<int> &rows);
    QList<int> selectedRows() const;
    // Export CSV...: the samples of the selected objects (all when none is)
    // within the span shown.
    void exportCsv();
    // Start or Pause.
    void toggleRunning();

    QTreeView *listView() const { return m_list; }
    WatchGraph *graph() const { return m_graph; }
    QDoubleSpinBox *intervalBox() const { return spnInterval; }
    QPushButton *startButton() const { return btnStart; }
    QComboBox *spanBox() const { return cboSpan; }
    QCheckBox *bitsBox() const { return chkBits; }
    QPushButton *removeButton() const { return btnRemove; }
    QLabel *statusLabel() const { return lblStatus; }

private:
    void removeSelected();
    void updateControls();

    WatchListModel &m_model;
    DialogService &m_dialogs;
    QTreeView *m_list = nullptr;
    WatchGraph *m_graph = nullptr;
    QDoubleSpinBox *spnInterval = nullptr;
    QPushButton *btnStart = nullptr;
    QComboBox *cboSpan = nullptr;
    QCheckBox *chkBits = nullptr;
    QPushButton *btnRemove = nullptr;
    QPushButton *btnExportCsv = nullptr;
    QLabel *lblStatus = nullptr;
};
