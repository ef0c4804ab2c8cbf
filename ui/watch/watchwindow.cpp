// SPDX-License-Identifier: MIT
#include "ui/watch/watchwindow.h"

#include "engine/watch/watchpoller.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/watch/samplecsv.h"
#include "ui/watch/watchgraph.h"
#include "ui/watch/watchlistmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const char *const SpanNames[] = {"Last 5 minutes", "Last hour", "Last 24 hours", "All"};

} // namespace

TWatchWindow::TWatchWindow(WatchListModel &model, DialogService &dialogs, QWidget *owner)
    : FrameWindow(owner), m_model(model), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("WatchWindow"));
    setWindowTitle(tr("Watch"));
    resize(820, 560);

    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("WatchList"));
    m_list->setAccessibleName(tr("Watched objects"));
    m_list->setModel(&m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    const int widths[WatchListModel::ColumnCount] = {110, 200, 130, 120, 70, 110};
    for (int column = 0; column < WatchListModel::ColumnCount; ++column)
        m_list->setColumnWidth(column, widths[column]);
    m_graph = new WatchGraph(m_model, this);

    auto *lblInterval = new QLabel(tr("&Interval:"), this);
    spnInterval = new QDoubleSpinBox(this);
    spnInterval->setObjectName(QStringLiteral("spnInterval"));
    spnInterval->setAccessibleName(tr("Poll interval"));
    spnInterval->setRange(WatchPoller::MinIntervalMs / 1000.0, WatchPoller::MaxIntervalMs / 1000.0);
    spnInterval->setDecimals(1);
    spnInterval->setSingleStep(0.5);
    spnInterval->setSuffix(tr(" s"));
    spnInterval->setKeyboardTracking(false); // "3600" typed is one interval, not four
    spnInterval->setValue(m_model.poller().intervalMs() / 1000.0);
    lblInterval->setBuddy(spnInterval);
    btnStart = new QPushButton(this);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    auto *lblSpan = new QLabel(tr("Spa&n:"), this);
    cboSpan = new QComboBox(this);
    cboSpan->setObjectName(QStringLiteral("cboSpan"));
    cboSpan->setAccessibleName(tr("Time span"));
    for (const char *name : SpanNames)
        cboSpan->addItem(tr(name));
    lblSpan->setBuddy(cboSpan);
    chkBits = new QCheckBox(tr("&Bits per second"), this);
    chkBits->setObjectName(QStringLiteral("chkBits"));
    chkBits->setToolTip(tr("Octet counters as bits per second"));
    btnRemove = new QPushButton(tr("&Remove"), this);
    btnRemove->setObjectName(QStringLiteral("btnRemove"));
    btnExportCsv = new QPushButton(tr("&Export CSV..."), this);
    btnExportCsv->setObjectName(QStringLiteral("btnExportCsv"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_list);
    split->addWidget(m_graph);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    split->setChildrenCollapsible(false);
    auto *bar = new QHBoxLayout;
    bar->addWidget(lblInterval);
    bar->addWidget(spnInterval);
    bar->addWidget(btnStart);
    bar->addSpacing(12);
    bar->addWidget(lblSpan);
    bar->addWidget(cboSpan);
    bar->addWidget(chkBits);
    bar->addStretch(1);
    bar->addWidget(btnRemove);
    bar->addWidget(btnExportCsv);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(split, 1);
    layout->addWidget(lblStatus);
    setTabOrder(m_list, spnInterval);

    WatchPoller &poller = m_model.poller();
    connect(spnInterval, &QDoubleSpinBox::valueChanged, this, [this, &poller](double seconds) {
        poller.setIntervalMs(int(std::lround(seconds * 1000)));
        updateControls();
    });
    connect(btnStart, &QPushButton::clicked, this, &TWatchWindow::toggleRunning);
    connect(cboSpan, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_graph->setSpanMs(Spans[std::clamp<int>(index, 0, int(std::size(Spans)) - 1)]);
    });
    connect(chkBits, &QCheckBox::toggled, this, [this](bool on) {
        m_model.setBits(on);
        m_graph->update();
    });
    connect(btnRemove, &QPushButton::clicked, this, &TWatchWindow::removeSelected);
    connect(btnExportCsv, &QPushButton::clicked, this, &TWatchWindow::exportCsv);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        std::vector<ObjectId> ids;
        for (const int row : selectedRows())
            ids.push_back(m_model.poller().object(row).id);
        m_graph->setObjects(std::move(ids));
        updateControls();
    });
    connect(&poller, &WatchPoller::polled, this, [this] {
        m_graph->update();
        updateControls();
    });
    connect(&m_model, &QAbstractItemModel::modelReset, this, &TWatchWindow::updateControls);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &TWatchWindow::updateControls);
    auto *remove = new QShortcut(QKeySequence::Delete, m_list, nullptr, nullptr, Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, &TWatchWindow::removeSelected);
    updateControls();
}

void TWatchWindow::selectRows(const QList<int> &rows)
{
    QItemSelection selection;
    for (const int row : rows)
        selection.select(m_model.index(row, 0), m_model.index(row, WatchListModel::ColumnCount - 1));
    m_list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty()) {
        m_list->selectionModel()->setCurrentIndex(m_model.index(rows.back(), 0), QItemSelectionModel::NoUpdate);
        m_list->scrollTo(m_model.index(rows.back(), 0));
    }
}

QList<int> TWatchWindow::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TWatchWindow::toggleRunning()
{
    WatchPoller &poller = m_model.poller();
    if (poller.isPolling())
        poller.pause();
    else
        poller.start();
    m_model.pollingChanged();
    updateControls();
}

void TWatchWindow::removeSelected()
{
    m_model.remove(selectedRows());
    m_graph->setObjects({});
}

void TWatchWindow::updateControls()
{
    const WatchPoller &poller = m_model.poller();
    btnStart->setText(poller.isPolling() ? tr("&Pause") : tr("&Start"));
    btnStart->setEnabled(poller.isPolling() || poller.count() > 0);
    btnRemove->setEnabled(m_list->selectionModel()->hasSelection());
    btnExportCsv->setEnabled(poller.sampleCount() > 0);
    const QString objects = poller.count() == 1 ? tr("1 object") : tr("%1 objects").arg(poller.count());
    QString status = poller.isPolling() ? tr("Polling %1 every %2 s").arg(objects).arg(poller.intervalMs() / 1000.0)
                                        : tr("Paused: %1").arg(objects);
    status += tr("; %1 Gets sent, %2 ticks skipped while an agent's answer was still out")
                  .arg(poller.requestsSent())
                  .arg(poller.skippedTicks());
    lblStatus->setText(status);
}

void TWatchWindow::exportCsv()
{
    std::vector<int> rows;
    for (const int row : selectedRows())
        rows.push_back(row);
    if (rows.empty()) {
        for (int row = 0; row < m_model.rowCount(); ++row)
            rows.push_back(row);
    }
    const qint64 span = m_graph->spanMs();
    const qint64 from = span > 0 ? QDateTime::currentMSecsSinceEpoch() - span : 0;
    const std::optional<QString> file = m_dialogs.askCsvFileName(this, QStringLiteral("watch.csv"));
    if (!file)
        return;
    if (const StoreError failure = writeCsvFile(*file, SampleCsv(m_model, std::move(rows), from)))
        m_dialogs.showError(this, failure.message());
}
