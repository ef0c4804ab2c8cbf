// SPDX-License-Identifier: MIT
#include "ui/tableview/tablewindow.h"

#include "engine/mib/mibsetup.h"
#include "store/csvfile.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/results/resultmodel.h"
#include "ui/tableview/tablemodel.h"
#include "ui/widgets/clearbutton.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace {

// The grid as the CSV writer reads it: what is shown, in the order shown.
class GridCsv final : public CsvSource
{
public:
    explicit GridCsv(const TableGridModel &grid) : m_grid(grid) {}
    QStringList header() const override { return m_grid.headerTexts(); }
    int rowCount() const override { return m_grid.rowCount(); }
    QStringList row(int row) const override { return m_grid.rowTexts(row); }

private:
    const TableGridModel &m_grid;
};

// A cell's text is its value; a grid of 100,000 rows is never measured whole.
constexpr int WidestColumn = 320;

QString counted(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

TTableWindow::TTableWindow(ResultModel &results, DialogService &dialogs,
                           std::unique_ptr<TableSchemaProvider> provider, QWidget *owner)
    : FrameWindow(owner),
      m_results(results),
      m_oids(results),
      m_dialogs(dialogs),
      m_provider(std::move(provider))
{
    setObjectName(QStringLiteral("TableWindow"));
    setWindowTitle(tr("Table View"));
    resize(760, 420);

    auto *lblTable = new QLabel(tr("&Table:"), this);
    cboTable = new QComboBox(this);
    cboTable->setObjectName(QStringLiteral("cboTable"));
    cboTable->setAccessibleName(tr("Table"));
    cboTable->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboTable->setMinimumContentsLength(28);
    lblTable->setBuddy(cboTable);
    auto *lblFilter = new QLabel(tr("&Filter:"), this);
    edtFilter = new QLineEdit(this);
    edtFilter->setObjectName(QStringLiteral("edtFilter"));
    edtFilter->setAccessibleName(tr("Filter"));
    addClearButton(edtFilter);
    lblFilter->setBuddy(edtFilter);
    btnExportCsv = new QPushButton(tr("&Export CSV..."), this);
    btnExportCsv->setObjectName(QStringLiteral("btnExportCsv"));
    btnExportPrometheus = new QPushButton(tr("Export for &Prometheus..."), this);
    btnExportPrometheus->setObjectName(QStringLiteral("btnExportPrometheus"));

    m_grid = new TableGridModel(results, m_oids, this);
    m_gridView = new QTableView(this);
    m_gridView->setObjectName(QStringLiteral("TableGrid"));
    m_gridView->setAccessibleName(tr("Table cells"));
    m_gridView->setModel(m_grid);
    m_gridView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_gridView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_gridView->setWordWrap(false);
    // Tab goes on to the next control, as in the main list; the arrows move between cells.
    m_gridView->setTabKeyNavigation(false);
    m_gridView->verticalHeader()->hide();
    m_gridView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_gridView->verticalHeader()->setDefaultSectionSize(m_gridView->fontMetrics().height() + 6);
    m_gridView->horizontalHeader()->setHighlightSections(false);
    // Columns fit the rows in sight, not a hundred thousand of them.
    m_gridView->horizontalHeader()->setResizeContentsPrecision(0);
    // Found in index order; a click on a header sorts.
    m_gridView->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_gridView->setSortingEnabled(true);
    m_gridView->setContextMenuPolicy(Qt::ActionsContextMenu); // the main window's commands on cells
    lblRows = new QLabel(this);
    lblRows->setObjectName(QStringLiteral("lblRows"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(lblTable);
    bar->addWidget(cboTable, 2);
    bar->addSpacing(8);
    bar->addWidget(lblFilter);
    bar->addWidget(edtFilter, 1);
    bar->addWidget(btnExportCsv);
    bar->addWidget(btnExportPrometheus);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_gridView, 1);
    layout->addWidget(lblRows);

    connect(cboTable, &QComboBox::activated, this, &TTableWindow::chooseTable);
    m_filterTimer.setSingleShot(true);
    m_filterTimer.setInterval(FilterDelayMs);
    connect(edtFilter, &QLineEdit::textChanged, &m_filterTimer, qOverload<>(&QTimer::start));
    connect(&m_filterTimer, &QTimer::timeout, this, [this] {
        m_grid->setFilterText(edtFilter->text());
        updateRowsLabel();
    });
    connect(btnExportCsv, &QPushButton::clicked, this, &TTableWindow::exportCsv);
    connect(btnExportPrometheus, &QPushButton::clicked, this, [this] {
        const TableSchema &schema = m_grid->table().schema;
        QString entry;
        for (const uint32_t id : schema.entry)
            entry += u'.' + QString::number(id);
        if (!entry.isEmpty())
            emit exportRequested(tr("the table %1").arg(schema.name), {entry});
    });
    auto *copy = new QShortcut(QKeySequence::Copy, m_gridView, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &TTableWindow::copySelection);

    // Rows come in while a walk runs; Clear removes them all.
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &TTableWindow::refresh);
    connect(&m_results, &QAbstractItemModel::rowsInserted, this, &TTableWindow::scheduleRefresh);
    // Values shown otherwise (a view of the list's that renders them anew): the cells follow.
    connect(&m_results, &QAbstractItemModel::dataChanged, m_gridView->viewport(), qOverload<>(&QWidget::update));
    connect(&m_results, &QAbstractItemModel::modelReset, this, [this] {
        m_stale = true;
        if (isVisible())
            refresh();
    });
}

TTableWindow::~TTableWindow() = default;

void TTableWindow::showEvent(QShowEvent *event)
{
    if (m_stale)
        refresh();
    FrameWindow::showEvent(event);
}

void TTableWindow::mibsChanged()
{
    m_stale = true;
    if (isVisible())
        refresh();
}

void TTableWindow::scheduleRefresh()
{
    m_stale = true;
    if (!isVisible())
        return;
    if (m_refreshCostMs > LiveRefreshLimitMs) {
        m_refreshTimer.start(QuietMs); // again with every announcement of rows
        return;
    }
    if (m_refreshTimer.isActive())
        return;
    const qint64 wait = std::max<qint64>(RefreshMs, 50 * m_refreshCostMs);
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : wait;
    m_refreshTimer.start(int(std::max<qint64>(0, wait - since)));
}

void TTableWindow::refresh()
{
    QElapsedTimer clock;
    clock.start();
    m_refreshTimer.stop();
    m_stale = false;
    std::vector<FoundTable> found = buildTables(SortedOids(m_oids), *m_provider);
    // The cells of the table shown are kept; the others are found again when chosen.
    m_entries.clear();
    size_t choice = 0;
    for (size_t i = 0; i < found.size(); ++i) {
        m_entries.push_back(found[i].schema.entry);
        if (found[i].schema.entry == m_chosenEntry)
            choice = i;
    }

    const QSignalBlocker quiet(cboTable);
    cboTable->clear();
    for (const FoundTable &t : found)
        cboTable->addItem(QStringLiteral("%1: %2, %3")
                              .arg(t.schema.name, counted(t.rowCount, "row", "rows"),
                                   counted(t.columnCount(), "column", "columns")));
    if (found.empty())
        cboTable->addItem(tr("No tables among the results"));
    cboTable->setEnabled(!found.empty());
    // Without a table there is nothing to export: the file would be empty.
    btnExportCsv->setEnabled(!found.empty());
    btnExportPrometheus->setEnabled(!found.empty());
    cboTable->setCurrentIndex(int(choice));
    showGrid(found.empty() ? std::make_shared<const FoundTable>()
                           : std::make_shared<const FoundTable>(std::move(found[choice])));
    m_sinceRefresh.start();
    m_refreshCostMs = clock.elapsed();
}

void TTableWindow::chooseTable(int choice)
{
    if (choice < 0 || size_t(choice) >= m_entries.size() || m_entries[size_t(choice)] == m_chosenEntry)
        return;
    m_chosenEntry = m_entries[size_t(choice)];
    refresh();
}

void TTableWindow::showGrid(std::shared_ptr<const FoundTable> table)
{
    const bool sameTable = table->schema.entry == m_chosenEntry;
    // A walk that adds rows elsewhere leaves the grid as it is, unless the
    // MIBs that name its columns and decode its indexes have changed.
    const uint64_t generation = mibsetup::generation();
    if (sameTable && generation == m_mibGeneration && table->cells == m_grid->table().cells
        && table->schema.columns.size() == m_grid->table().schema.columns.size())
        return;
    m_mibGeneration = generation;
    const int scrolled = m_gridView->verticalScrollBar()->value();
    const QModelIndex current = m_gridView->currentIndex();
    m_chosenEntry = table->schema.entry;
    m_grid->setTable(std::move(table));
    if (sameTable) {
        m_gridView->verticalScrollBar()->setValue(scrolled);
        if (current.isValid())
            m_gridView->setCurrentIndex(m_grid->index(current.row(), current.column()));
    } else {
        m_gridView->resizeColumnsToContents();
        for (int column = 0; column < m_grid->columnCount(); ++column)
            m_gridView->setColumnWidth(column, std::min(m_gridView->columnWidth(column), WidestColumn));
    }
    updateRowsLabel();
}

void TTableWindow::updateRowsLabel()
{
    const int shown = m_grid->rowCount();
    const int all = m_grid->tableRowCount();
    lblRows->setText(shown == all ? counted(all, "row", "rows")
                                  : QStringLiteral("%1 of %2").arg(shown).arg(counted(all, "row", "rows")));
}

void TTableWindow::copySelection()
{
    QModelIndexList cells = m_gridView->selectionModel()->selectedIndexes();
    if (cells.isEmpty() && m_gridView->currentIndex().isValid())
        cells << m_gridView->currentIndex();
    if (!cells.isEmpty())
        QApplication::clipboard()->setText(m_grid->copyText(cells));
}

void TTableWindow::exportCsv()
{
    const QString name = m_grid->table().schema.name;
    const std::optional<QString> file =
        m_dialogs.askCsvFileName(this, (name.startsWith(u'.') ? QStringLiteral("table") : name) + QStringLiteral(".csv"));
    if (!file)
        return;
    if (const StoreError failure = writeCsvFile(*file, GridCsv(*m_grid))) {
        m_dialogs.showError(this, failure.message());
        return;
    }
    // Until the grid changes, the line under it says where the rows went.
    lblRows->setText(tr("%1 exported to %2").arg(counted(m_grid->rowCount(), "row", "rows"),
                                                  QDir::toNativeSeparators(*file)));
}
