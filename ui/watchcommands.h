// SPDX-License-Identifier: MIT
#pragma once

#include "store/settings.h"
#include "ui/watch/rowagents.h"

#include <QObject>
#include <QPointer>

#include <memory>

class AgentProfiles;
class DialogService;
class QAbstractItemView;
class ResultModel;
class TTableWindow;
class TWatchWindow;
class WatchListModel;
class WatchPoller;
struct QueryRequest;
struct TransportSettings;

// The main window's side of the Watch: Add to Watch from the result list (or
// the Table View's selected cells, when that is the active window), the Watch
// window, the list kept in the settings. Requests go with the agent's
// properties and the transport settings, as a run's do.
class WatchCommands final : public QObject
{
    Q_OBJECT

public:
    WatchCommands(ResultModel &results, QAbstractItemView &list, AgentProfiles &agents,
                  const TransportSettings &transport, DialogService &dialogs, QWidget *owner);
    ~WatchCommands() override;

    // A run starts: its rows are read from its agent.
    void runStarted(const QueryRequest &request);
    bool canAdd(const TTableWindow *table) const;
    // Adds the objects of the selected rows or cells, and shows them in the Watch window.
    void addSelected(const TTableWindow *table);
    TWatchWindow &show();
    TWatchWindow *window() const; // null until first shown
    WatchPoller &poller() const { return *m_poller; }

    // The list comes back paused.
    void applySettings(const WatchSettings &settings);
    WatchSettings settings() const;

private:
    // The result rows the command takes: the Table View's cells or the list's row.
    QList<int> chosenRows(const TTableWindow *table) const;

    ResultModel &m_results;
    QAbstractItemView &m_list;
    DialogService &m_dialogs;
    QWidget *m_owner;
    RowAgents m_rowAgents;
    std::unique_ptr<WatchPoller> m_poller;
    std::unique_ptr<WatchListModel> m_model;
    QPointer<TWatchWindow> m_window;
};
