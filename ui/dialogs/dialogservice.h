// SPDX-License-Identifier: MIT
#pragma once

#include "common/snmpversion.h"
#include "store/settings.h"
#include "ui/dialogs/agentpropertiesedit.h"

#include <QString>

#include <optional>

class PrometheusExport;
struct SetEdit;
class QAbstractItemView;
class QWidget;

// What Save As writes: the result file, or a recording of the walk that
// another tool serves or reads.
enum class SaveFormat { ResultFile, Snmprec, SnmpWalk };

struct SaveChoice
{
    QString path;
    SaveFormat format = SaveFormat::ResultFile;
};

// The format a chosen name is written in: a recording's extension
// (".snmprec", ".snmpwalk", in any letter case) says so whatever the filter
// chosen; any other name is written in the filter's format.
SaveFormat saveFormatOf(const QString &path, SaveFormat chosenFilter);

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
    // Agent Properties for the edit's agent text; true with the edit written
    // when confirmed. A service that cannot ask answers as a user who cancels.
    virtual bool editAgentProperties(QWidget *owner, AgentPropertiesEdit &edit);

    // Save As: which file? The chosen path, nothing when cancelled. A service
    // that has no way to ask answers as a user who cancels, so nothing is
    // written unasked.
    virtual std::optional<QString> askSaveFileName(QWidget *owner, const QString &initialName);
    // Save As with its formats: which file, in which? The dialog shows the
    // current format's filter first. By default the name askSaveFileName
    // gives, in the format its extension tells (saveFormatOf).
    virtual std::optional<SaveChoice> askSaveChoice(QWidget *owner, const QString &initialName, SaveFormat current);
    // Open and Compare With: which recording or result file? Nothing when
    // cancelled, or when nobody can be asked.
    virtual std::optional<QString> askRecordingFileName(QWidget *owner, const QString &title);
    // Whether an existing file that the dialog did not ask about may be
    // replaced; no unless someone says yes.
    virtual bool confirmReplace(QWidget *owner, const QString &fileName);
    // Load MIB File: which file? Nothing when cancelled, or when nobody can be asked.
    virtual std::optional<QString> askMibFileName(QWidget *owner);
    // Export CSV: which file? Nothing when cancelled, or when there is no way to ask.
    virtual std::optional<QString> askCsvFileName(QWidget *owner, const QString &initialName);
    // Export for Prometheus: the dialog over the export, which edits it,
    // writes its files and runs the generator. A service that cannot ask
    // leaves it as it was proposed, nothing written.
    virtual void editPrometheusExport(QWidget *owner, PrometheusExport &exporter);
    // The Traps window's SNMPv3 user: true with all of it written when
    // confirmed; a service that cannot ask answers as a user who cancels.
    virtual bool editTrapUser(QWidget *owner, TrapUser &user, Secret &authPassphrase, Secret &privPassphrase);
    // Set Value: true with the edit's bindings (and the community asked for)
    // written when the user chose Set...; a service that cannot ask cancels.
    virtual bool editSet(QWidget *owner, SetEdit &edit);
    // The Set's confirmation: true only when the user says send (Enter does).
    virtual bool confirmSet(QWidget *owner, const QString &text);
};

// The real dialogs, shown modally with the owner as their parent.
class ModalDialogs final : public DialogService
{
public:
    void showError(QWidget *owner, const QString &message) override;
    void openDetails(QWidget *owner, QAbstractItemView *listView) override;
    bool editOptions(QWidget *owner, int &timeOut, int &retries, SnmpVersion &version) override;
    void openAbout(QWidget *owner) override;
    bool editAgentProperties(QWidget *owner, AgentPropertiesEdit &edit) override;
    std::optional<QString> askSaveFileName(QWidget *owner, const QString &initialName) override;
    std::optional<SaveChoice> askSaveChoice(QWidget *owner, const QString &initialName, SaveFormat current) override;
    std::optional<QString> askRecordingFileName(QWidget *owner, const QString &title) override;
    bool confirmReplace(QWidget *owner, const QString &fileName) override;
    std::optional<QString> askMibFileName(QWidget *owner) override;
    std::optional<QString> askCsvFileName(QWidget *owner, const QString &initialName) override;
    void editPrometheusExport(QWidget *owner, PrometheusExport &exporter) override;
    bool editTrapUser(QWidget *owner, TrapUser &user, Secret &authPassphrase, Secret &privPassphrase) override;
    bool editSet(QWidget *owner, SetEdit &edit) override;
    bool confirmSet(QWidget *owner, const QString &text) override;
};
