// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class PrometheusExport;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTabWidget;

// Export for Prometheus: the objects to walk, the lookups and overrides, how
// the exporter talks to the agent, the MIB modules and the scrape job on the
// left; generator.yml as it will be written on the right; below, what stands
// in the way and the generator's output. Every field edits the model at
// once; Write Files writes the folder, Run Generator writes it and runs the
// generator on it without holding up the window.
class TPrometheusDialog final : public QDialog
{
    Q_OBJECT

public:
    TPrometheusDialog(PrometheusExport &model, QWidget *owner);

protected:
    void reject() override;

private:
    QWidget *createObjectsPage();
    QWidget *createAgentPage();
    QWidget *createModulesPage();
    QWidget *createScrapePage();
    void showSettings();
    // The fields into the model's settings.
    void takeSettings();
    void takePassphrases();
    void showProposal();
    void showState();
    void writeFiles();
    void chooseFolder();

    PrometheusExport &m_model;
    bool m_showing = false; // fields being filled from the model, not edited
    bool m_generatorInstalled = false;

    QLineEdit *edtModule = nullptr;
    QLineEdit *edtFolder = nullptr;
    QTabWidget *m_pages = nullptr;
    QListWidget *lstWalk = nullptr;
    QListWidget *lstLookups = nullptr;
    QTableWidget *tblOverrides = nullptr;
    QComboBox *cboVersion = nullptr;
    QSpinBox *udMaxRepetitions = nullptr;
    QSpinBox *udTimeOut = nullptr;
    QSpinBox *udRetries = nullptr;
    QLineEdit *edtCommunity = nullptr;
    QLineEdit *edtUser = nullptr;
    QComboBox *cboLevel = nullptr;
    QComboBox *cboAuth = nullptr;
    QComboBox *cboPriv = nullptr;
    QLineEdit *edtContext = nullptr;
    QCheckBox *chkWritePassphrases = nullptr;
    QLineEdit *edtAuthPassphrase = nullptr;
    QLineEdit *edtPrivPassphrase = nullptr;
    QCheckBox *chkCopyMibs = nullptr;
    QPlainTextEdit *edtModules = nullptr;
    QPlainTextEdit *edtTargets = nullptr;
    QLineEdit *edtExporter = nullptr;
    QPlainTextEdit *edtScrapeJob = nullptr;
    QPlainTextEdit *edtGeneratorYaml = nullptr;
    QLabel *lblMessages = nullptr;
    QPlainTextEdit *edtOutput = nullptr;
    QPushButton *btnWrite = nullptr;
    QPushButton *btnRunGenerator = nullptr;
};
