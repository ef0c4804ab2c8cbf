// SPDX-License-Identifier: MIT
#pragma once

#include "common/agentproperties.h"
#include "common/secret.h"
#include "common/snmpversion.h"
#include "store/settings.h"

#include <QString>

#include <optional>

class QAbstractItemView;
class QWidget;

// Every question the main window asks through a modal dialog goes through
// here, so that tests can answer them without a dialog on screen.
class DialogService
{
public:
    virtual ~DialogService() = default;

    // The error box of the application's top-level handler.
    virtual void showError(QWidget *owner, const QString &message) = 0;
    // The details dialog over the list's selected row.
    virtual void openDetails(QWidget *owner, QAbstractItemView *listView) = 0;
    // The options dialog; true with all three values written when confirmed.
    virtual bool editOptions(QWidget *owner, int &timeOut, int &retries, SnmpVersion &version) = 0;
    virtual void openAbout(QWidget *owner) = 0;
    // Agent Properties for the agent text; true with all of them written when
    // confirmed. A service that cannot ask answers as a user who cancels.
    virtual bool editAgentProperties(QWidget *owner, const QString &agent, AgentProperties &properties,
                                     Secret &authPassphrase, Secret &privPassphrase);

    // Save As: which file? The chosen path, nothing when cancelled. A service
    // that has no way to ask answers as a user who cancels, so nothing is
    // written unasked.
    virtual std::optional<QString> askSaveFileName(QWidget *owner, const QString &initialName);
    // Whether an existing file that the dialog did not ask about may be
    // replaced; no unless someone says yes.
    virtual bool confirmReplace(QWidget *owner, const QString &fileName);
    // Load MIB File: which file? Nothing when cancelled, or when nobody can be asked.
    virtual std::optional<QString> askMibFileName(QWidget *owner);
    // Export CSV: which file? Nothing when cancelled, or when there is no way to ask.
    virtual std::optional<QString> askCsvFileName(QWidget *owner, const QString &initialName);
    // The Traps window's SNMPv3 user: true with all of it written when
    // confirmed; a service that cannot ask answers as a user who cancels.
    virtual bool editTrapUser(QWidget *owner, TrapUser &user, Secret &authPassphrase, Secret &privPassphrase);
};

// The real dialogs, shown modally with the owner as their parent.
class ModalDialogs final : public DialogService
{
public:
    void showError(QWidget *owner, const QString &message) override;
    void openDetails(QWidget *owner, QAbstractItemView *listView) override;
    bool editOptions(QWidget *owner, int &timeOut, int &retries, SnmpVersion &version) override;
    void openAbout(QWidget *owner) override;
    bool editAgentProperties(QWidget *owner, const QString &agent, AgentProperties &properties,
                             Secret &authPassphrase, Secret &privPassphrase) override;
    std::optional<QString> askSaveFileName(QWidget *owner, const QString &initialName) override;
    bool confirmReplace(QWidget *owner, const QString &fileName) override;
    std::optional<QString> askMibFileName(QWidget *owner) override;
    std::optional<QString> askCsvFileName(QWidget *owner, const QString &initialName) override;
    bool editTrapUser(QWidget *owner, TrapUser &user, Secret &authPassphrase, Secret &privPassphrase) override;
};
