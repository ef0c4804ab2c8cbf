// SPDX-License-Identifier: MIT
#include "ui/watchcommands.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/tables/tableschema.h"
#include "engine/watch/watchpoller.h"
#include "ui/agentprofiles.h"
#include "ui/results/resultmodel.h"
#include "ui/tableview/tablemodel.h"
#include "ui/tableview/tablewindow.h"
#include "ui/watch/watchlistmodel.h"
#include "ui/watch/watchwindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTreeView>

#include <algorithm>

WatchCommands::WatchCommands(ResultModel &results, QAbstractItemView &list, AgentProfiles &agents,
                             const TransportSettings &transport, DialogService &dialogs, QWidget *owner)
    : m_results(results), m_list(list), m_dialogs(dialogs), m_owner(owner)
{
    m_poller = std::make_unique<WatchPoller>([&agents, &transport](const QString &agent, const QString &community) {
        QueryRequest request;
        request.agent = agent;
        request.community = community;
        request.transport = transport;
        agents.complete(request);
        return request;
    });
    m_model = std::make_unique<WatchListModel>(*m_poller);
    connect(&m_results, &QAbstractItemModel::modelReset, this, [this] {
        if (m_results.storedRowCount() == 0)
            m_rowAgents.clear();
    });
}

// The window goes first: it shows the model, which reads the poller.
WatchCommands::~WatchCommands()
{
    delete m_window;
}

void WatchCommands::runStarted(const QueryRequest &request)
{
    m_rowAgents.runStarted(m_results.storedRowCount(), request.agent, request.community);
}

QList<int> WatchCommands::chosenRows(const TTableWindow *table) const
{
    QList<int> rows;
    if (table && table->isActiveWindow()) {
        for (const QModelIndex &cell : table->gridView()->selectionModel()->selectedIndexes()) {
            if (const int row = table->grid()->resultRow(cell); row >= 0)
                rows << row;
        }
    } else {
        for (const QModelIndex &index : m_list.selectionModel()->selectedRows())
            rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool WatchCommands::canAdd(const TTableWindow *table) const
{
    // Asked whenever the window is idle: no walk over a large selection here.
    const QItemSelectionModel *selection =
        table && table->isActiveWindow() ? table->gridView()->selectionModel() : m_list.selectionModel();
    return selection && selection->hasSelection();
}

void WatchCommands::addSelected(const TTableWindow *table)
{
    m_results.flush();
    QList<int> watched;
    bool full = false;
    for (const int row : chosenRows(table)) {
        const QByteArrayView oidText = m_results.field(row, ResultModel::OidColumn);
        std::vector<uint32_t> oid = parseOidText({oidText.data(), size_t(oidText.size())});
        const std::optional<RowAgents::Source> source = m_rowAgents.sourceOf(row);
        if (oid.empty() || !source)
            continue;
        const WatchTarget target{source->agent, source->community, std::move(oid)};
        m_model->add(target);
        // Added now, or watched already: selected either way.
        if (const int watchedRow = m_poller->rowOf(target); watchedRow >= 0) {
            watched << watchedRow;
        } else {
            full = true;
            break;
        }
    }
    TWatchWindow &window = show();
    window.selectRows(watched);
    window.listView()->setFocus();
    // What was added is to be watched now; a list restored paused stays so until then.
    if (!watched.isEmpty() && !m_poller->isPolling())
        window.toggleRunning();
    if (full)
        throwMessage(msg::WatchFull, int(WatchPoller::MaxObjects));
}

TWatchWindow &WatchCommands::show()
{
    if (!m_window)
        m_window = new TWatchWindow(*m_model, m_dialogs, m_owner);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return *m_window;
}

TWatchWindow *WatchCommands::window() const
{
    return m_window;
}

void WatchCommands::applySettings(const WatchSettings &settings)
{
    m_poller->setIntervalMs(settings.intervalMs);
    for (const WatchEntry &entry : settings.entries) {
        std::vector<uint32_t> oid = parseOidText(entry.oid.toStdString());
        if (!oid.empty())
            m_model->add({entry.agent, entry.community, std::move(oid)});
    }
}

WatchSettings WatchCommands::settings() const
{
    WatchSettings settings;
    settings.intervalMs = m_poller->intervalMs();
    for (const WatchTarget &target : m_poller->targets()) {
        QString oid;
        for (const uint32_t id : target.oid)
            oid += QLatin1Char('.') + QString::number(id);
        settings.entries.push_back({target.agent, target.community, oid});
    }
    return settings;
}
