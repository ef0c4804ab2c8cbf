// SPDX-License-Identifier: MIT
#pragma once

#include "engine/tables/tableschema.h"
#include "ui/results/resultrows.h"

#include <QElapsedTimer>
#include <QTimer>
#include "ui/widgets/framewindow.h"

#include <memory>
#include <vector>

class DialogService;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class ResultModel;
class TableGridModel;

// The Table View: the tables found among the result list's rows, one of them
// as a grid. Not modal; it follows the list: rows that come during a walk
// join the grid, and Clear empties it. Finding the tables reads every row,
// so while rows come it is done again at most every RefreshMs, or fifty
// times as long as it took; and when it took more than LiveRefreshLimitMs,
// half of what a walk may keep the window's events waiting (the next one
// reads more rows, on a machine that may be busier), only once the rows
// have stopped coming for QuietMs.
class TTableWindow : public FrameWindow
{
    Q_OBJECT

public:
    static constexpr int RefreshMs = 250;
    static constexpr int LiveRefreshLimitMs = 25;
    static constexpr int QuietMs = 1000;
    static constexpr int FilterDelayMs = 150;

    // The provider says what the tables are: by the shape of the names, or
    // (once the MIB's tables are wired in) by the MIB.
    TTableWindow(ResultModel &results, DialogService &dialogs, std::unique_ptr<TableSchemaProvider> provider,
                 QWidget *owner);
    ~TTableWindow() override;

    // Finds the tables among the rows the list shows, now.
    void refresh();
    // The loaded MIB set changed: tables, names and index decoders are read
    // again (now when shown, else at the next show), the table shown kept.
    void mibsChanged();

    TableGridModel *grid() const { return m_grid; }
    QTableView *gridView() const { return m_gridView; }
    QComboBox *tableBox() const { return cboTable; }
    QLineEdit *filterBox() const { return edtFilter; }
    QLabel *rowsLabel() const { return lblRows; }
    // The selected cells (or the current one) as tab-separated text on the clipboard.
    void copySelection();
    // Export CSV...: the grid as shown, header first.
    void exportCsv();

signals:
    // Export for Prometheus...: the table shown, by its entry's dotted OID.
    void exportRequested(const QString &description, const QStringList &oids);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void scheduleRefresh();
    void chooseTable(int choice);
    // Shows the table in the grid (the chosen one, or an empty one).
    void showGrid(std::shared_ptr<const FoundTable> table);
    void updateRowsLabel();

    ResultModel &m_results;
    ResultOids m_oids;
    DialogService &m_dialogs;
    std::unique_ptr<TableSchemaProvider> m_provider;
    std::vector<std::vector<uint32_t>> m_entries; // the tables of the choice, by their entries
    std::vector<uint32_t> m_chosenEntry;          // kept across refreshes

    QComboBox *cboTable = nullptr;
    QLineEdit *edtFilter = nullptr;
    QPushButton *btnExportCsv = nullptr;
    QPushButton *btnExportPrometheus = nullptr;
    QTableView *m_gridView = nullptr;
    QLabel *lblRows = nullptr;
    TableGridModel *m_grid = nullptr;

    QTimer m_refreshTimer;
    QTimer m_filterTimer;
    QElapsedTimer m_sinceRefresh;
    qint64 m_refreshCostMs = 0;
    bool m_stale = true; // rows changed while the window was hidden
    uint64_t m_mibGeneration = 0; // of the MIB set the grid was found in
};
