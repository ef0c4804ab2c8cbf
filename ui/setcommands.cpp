// SPDX-License-Identifier: MIT
#include "ui/setcommands.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/mib/mibinfo.h"
#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"
#include "engine/set/setrun.h"
#include "ui/agentprofiles.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/results/resultmodel.h"
#include "ui/set/setedit.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QScopeGuard>

namespace {

// The rows go to the list as a run's do.
class ListSink final : public QuerySink
{
public:
    explicit ListSink(ResultModel &results) : m_results(results) {}
    void inputsAccepted() override {}
    void appendRow(ResultRow &&row) override
    {
        m_results.appendRow(std::move(row));
        ++rows;
    }
    void betweenRows() override {}
    int rows = 0;

private:
    ResultModel &m_results;
};

} // namespace

SetCommands::SetCommands(ResultModel &results, QAbstractItemView &list, AgentProfiles &agents, DialogService &dialogs,
                         QWidget *owner, Hooks hooks)
    : m_results(results), m_list(list), m_agents(agents), m_dialogs(dialogs), m_owner(owner), m_hooks(std::move(hooks))
{
}

SetCommands::~SetCommands()
{
    cancel();
}

void SetCommands::cancel()
{
    m_control.abandoned = true;
    m_keyringWait.reset();
}

SetEdit SetCommands::prepare(const QueryRequest &boxes) const
{
    SetEdit edit;
    edit.agent = boxes.agent;
    SnmpMgrLoadMibs(); // the types and checks are the MIB's
    m_results.flush();
    const QModelIndexList rows = m_list.selectionModel() ? m_list.selectionModel()->selectedRows() : QModelIndexList();
    for (const QModelIndex &index : rows) {
        const std::optional<SnmpVarBind> binding = m_results.binding(index.row());
        if (!binding)
            continue;
        const auto texts = m_results.rowTexts(index.row());
        const QString name = texts[ResultModel::NameColumn].isEmpty() ? texts[ResultModel::OidColumn] : texts[ResultModel::NameColumn];
        edit.bindings.push_back(setBindingFor(binding->name.ids, name.toStdString(), mibObject(binding->name.ids),
                                              texts[ResultModel::ValueColumn].toStdString(), &binding->value));
    }
    if (edit.bindings.empty()) {
        const QString typed = boxes.oids.trimmed();
        AsnObjectIdentifier oid;
        if (!typed.isEmpty() && SnmpMgrStrToOid(typed.toStdString(), &oid) && oid.ids.size() >= 2)
            edit.bindings.push_back(setBindingFor(oid.ids, typed.toStdString(), mibObject(oid.ids)));
    }
    return edit;
}

void SetCommands::execute()
{
    if (m_setting || m_keyringWait)
        return;
    QueryRequest request = m_hooks.boxes();
    if (request.agent.trimmed().isEmpty()) {
        m_dialogs.showError(m_owner, QString::fromLatin1(msg::EmptyInput));
        return;
    }
    const AgentProfiles::Completion completion = m_agents.complete(request);
    SetEdit edit = prepare(request);
    if (request.security) {
        if (completion.missing == AgentProfiles::Missing::Remembered) {
            // Read from the keyring first; the command comes back when it answers.
            m_hooks.status(QString::fromLatin1(msg::KeyringWait));
            m_keyringWait = m_agents.fetch(completion.agent, completion.user, [this](PassphraseVault::Fetched fetched) {
                m_keyringWait.reset();
                m_hooks.status(QString());
                if (fetched.passphrases)
                    execute();
                else
                    m_dialogs.showError(m_owner, fetched.failure.message().isEmpty()
                                          ? tr("The desktop keyring holds no passphrases for this agent's user: type "
                                               "them in Agent Properties, then Set.")
                                          : fetched.failure.message());
            });
            return;
        }
        if (completion.missing == AgentProfiles::Missing::Unknown) {
            m_dialogs.showError(m_owner, tr("The passphrases of SNMPv3 user '%1' are not known: type them in Agent Properties, "
                                 "then Set.")
                                  .arg(completion.user));
            return;
        }
        edit.credentials = tr("SNMPv3 user '%1', %2")
                               .arg(QString::fromStdString(request.security->userName),
                                    QLatin1String(usmnames::levelName(request.security->level)));
    } else {
        AgentProfiles::WriteCommunity write = m_agents.writeCommunity(request.agent);
        if (write.missing == AgentProfiles::Missing::Remembered) {
            // Read from the keyring first; the command comes back when it answers.
            m_hooks.status(QString::fromLatin1(msg::KeyringWait));
            m_keyringWait = m_agents.fetchWriteCommunity(request.agent, [this](PassphraseVault::Fetched fetched) {
                m_keyringWait.reset();
                m_hooks.status(QString());
                if (!fetched.passphrases)
                    m_agents.holdWriteCommunity(m_hooks.boxes().agent, Secret()); // none there: ask for it
                execute();
            });
            return;
        }
        edit.askCommunity = write.community.empty();
        edit.credentials = tr("SNMPv%1, %2")
                               .arg(request.transport.version == SnmpVersion::V1 ? QStringLiteral("1") : QStringLiteral("2c"),
                                    edit.askCommunity ? tr("the write community asked for") : tr("the write community"));
    }
    if (!m_dialogs.editSet(m_owner, edit)) {
        m_hooks.status(QString::fromLatin1(msg::SetCancelled));
        return;
    }
    if (!m_dialogs.confirmSet(m_owner, setConfirmationText(edit))) {
        m_hooks.status(QString::fromLatin1(msg::SetCancelled));
        return;
    }
    send(edit, std::move(request));
}

void SetCommands::send(SetEdit &edit, QueryRequest request)
{
    SetRequest set;
    set.agent = request.agent;
    set.transport = request.transport;
    set.security = std::move(request.security);
    set.wait = RequestWait::ProcessEvents;
    if (!set.security) {
        if (edit.askCommunity && !edit.community.empty())
            m_agents.holdWriteCommunity(request.agent, edit.community);
        set.community = m_agents.writeCommunity(request.agent).community.copy();
    }
    for (const SetBinding &b : edit.bindings) {
        SetCheck check = checkSetBinding(b);
        if (!check.value || b.oid.empty())
            return; // the dialog let no such binding through
        set.bindings.list.push_back({AsnObjectIdentifier{b.oid}, std::move(*check.value)});
    }
    m_hooks.rowsFrom(request);
    m_control = RunControl();
    // The window's commands wait meanwhile (updateCommands runs as the wait's loop idles).
    m_setting = true;
    auto done = qScopeGuard([this] { m_setting = false; });
    ListSink sink(m_results);
    try {
        const QueryEnd end = runSet(set, sink, m_control);
        m_results.flush();
        if (end == QueryEnd::Completed)
            m_hooks.status(sink.rows == 1 ? QString::fromLatin1(msg::SetSucceededOne)
                                          : formatMessage(msg::SetSucceeded, sink.rows).c_str());
    } catch (const AppError &failure) {
        done.dismiss();
        m_setting = false;
        m_dialogs.showError(m_owner, QString::fromUtf8(failure.what()));
    }
}
