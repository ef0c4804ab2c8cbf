// SPDX-License-Identifier: MIT
#pragma once

#include "engine/query/queryrun.h"
#include "store/passphrasevault.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class AgentProfiles;
class DialogService;
class QAbstractItemView;
class ResultModel;
struct SetEdit;

// The main window's side of Set: Set Value for the selected row (or the Oids
// box's OID), the confirmation, then one SetRequest to the Agent box's agent
// with its write credentials: the write community for SNMPv1 and SNMPv2c
// (from Agent Properties, the keyring, or asked in the dialog; never the
// Community box's), the agent's SNMPv3 user otherwise. The answer's bindings
// go to the list as rows. Nothing is sent unconfirmed, and Run never repeats
// a Set. The wait processes events: the window answers, and closing it gives
// the Set up.
class SetCommands final : public QObject
{
    Q_OBJECT

public:
    struct Hooks
    {
        std::function<QueryRequest()> boxes; // the Agent and Oids boxes, the transport settings
        std::function<void(const QString &)> status;
        std::function<void(const QueryRequest &)> rowsFrom; // the answer's rows come from this agent
    };
    SetCommands(ResultModel &results, QAbstractItemView &list, AgentProfiles &agents, DialogService &dialogs,
                QWidget *owner, Hooks hooks);
    ~SetCommands() override;

    void execute();
    bool isSetting() const { return m_setting; }
    void cancel(); // the window closes, or a keyring wait is given up

private:
    SetEdit prepare(const QueryRequest &boxes) const;
    void send(SetEdit &edit, QueryRequest request);

    ResultModel &m_results;
    QAbstractItemView &m_list;
    AgentProfiles &m_agents;
    DialogService &m_dialogs;
    QWidget *m_owner;
    Hooks m_hooks;
    RunControl m_control;
    bool m_setting = false;
    std::unique_ptr<PassphraseVault::Pending> m_keyringWait;
};
