// SPDX-License-Identifier: MIT
#include "ui/prometheus/prometheusdialog.h"

#include "store/generatoryaml.h"
#include "ui/prometheus/prometheusexport.h"
#include "ui/widgets/uifont.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

template<size_t N>
QStringList names(const char *const (&list)[N])
{
    QStringList out;
    for (const char *name : list)
        out << QString::fromLatin1(name);
    return out;
}

QPlainTextEdit *textPane(const char *name, const QString &accessibleName, bool readOnly)
{
    auto *pane = new QPlainTextEdit;
    pane->setObjectName(QLatin1String(name));
    pane->setAccessibleName(accessibleName);
    pane->setReadOnly(readOnly);
    pane->setTabChangesFocus(true);
    pane->setLineWrapMode(QPlainTextEdit::NoWrap);
    pane->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return pane;
}

QPushButton *button(const QString &caption, const char *name)
{
    auto *pushButton = new QPushButton(caption);
    pushButton->setObjectName(QLatin1String(name));
    pushButton->setAutoDefault(false);
    return pushButton;
}

// Replaces a pane's text only when it changed, so that where the user
// scrolled to stays.
void showText(QPlainTextEdit *pane, const QString &text)
{
    if (pane->toPlainText() != text)
        pane->setPlainText(text);
}

} // namespace

TPrometheusDialog::TPrometheusDialog(PrometheusExport &model, QWidget *owner)
    : QDialog(owner), m_model(model), m_generatorInstalled(!PrometheusExport::generatorPath().isEmpty())
{
    setObjectName(QStringLiteral("PrometheusDialog"));
    setWindowTitle(tr("Export for Prometheus"));
    setFont(norvaneFont());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setSizeGripEnabled(true);

    auto *lblSource = new QLabel(tr("Exporting: %1").arg(model.sourceDescription()));
    lblSource->setObjectName(QStringLiteral("lblSource"));
    lblSource->setTextFormat(Qt::PlainText);
    edtModule = new QLineEdit;
    edtModule->setObjectName(QStringLiteral("edtModule"));
    auto *lblModule = new QLabel(tr("Module &name:"));
    lblModule->setBuddy(edtModule);
    edtFolder = new QLineEdit;
    edtFolder->setObjectName(QStringLiteral("edtFolder"));
    auto *lblFolder = new QLabel(tr("&Folder:"));
    lblFolder->setBuddy(edtFolder);
    QPushButton *btnBrowse = button(tr("&Browse..."), "btnBrowse");
    auto *top = new QHBoxLayout;
    top->addWidget(lblModule);
    top->addWidget(edtModule, 1);
    top->addSpacing(8);
    top->addWidget(lblFolder);
    top->addWidget(edtFolder, 2);
    top->addWidget(btnBrowse);

    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("ExportPages"));
    m_pages->addTab(createObjectsPage(), tr("&Objects"));
    m_pages->addTab(createAgentPage(), tr("&Agent"));
    m_pages->addTab(createModulesPage(), tr("MIB &modules"));
    m_pages->addTab(createScrapePage(), tr("&Scrape job"));
    edtGeneratorYaml = textPane("edtGeneratorYaml", tr("generator.yml"), true);
    auto *right = new QWidget;
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(new QLabel(tr("generator.yml (prometheus-snmp-generator 0.21):")));
    rightLayout->addWidget(edtGeneratorYaml, 1);
    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(m_pages);
    splitter->addWidget(right);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({480, 420});

    lblMessages = new QLabel;
    lblMessages->setObjectName(QStringLiteral("lblMessages"));
    lblMessages->setWordWrap(true);
    lblMessages->setTextFormat(Qt::PlainText);
    edtOutput = textPane("edtOutput", tr("Generator output"), true);
    edtOutput->setMaximumBlockCount(5000);
    edtOutput->setFixedHeight(edtOutput->fontMetrics().lineSpacing() * 5 + 12);
    btnWrite = button(tr("&Write Files"), "btnWrite");
    btnRunGenerator = button(tr("&Run Generator"), "btnRunGenerator");
    QPushButton *btnClose = button(tr("Close"), "btnClose");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnWrite);
    buttons->addWidget(btnRunGenerator);
    buttons->addWidget(btnClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblSource);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);
    layout->addWidget(lblMessages);
    layout->addWidget(edtOutput);
    layout->addLayout(buttons);
    resize(940, 640);

    showSettings();
    showProposal();
    showState();

    connect(edtModule, &QLineEdit::textEdited, this, &TPrometheusDialog::takeSettings);
    connect(edtFolder, &QLineEdit::textEdited, this, &TPrometheusDialog::takeSettings);
    connect(btnBrowse, &QPushButton::clicked, this, &TPrometheusDialog::chooseFolder);
    connect(btnWrite, &QPushButton::clicked, this, &TPrometheusDialog::writeFiles);
    connect(btnRunGenerator, &QPushButton::clicked, this, [this] {
        m_model.runGenerator();
        showState();
    });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_model, &PrometheusExport::proposalChanged, this, &TPrometheusDialog::showProposal);
    connect(&m_model, &PrometheusExport::changed, this, &TPrometheusDialog::showState);
    connect(&m_model, &PrometheusExport::generatorFinished, this, &TPrometheusDialog::showState);
    connect(&m_model, &PrometheusExport::outputChanged, this, [this] {
        showText(edtOutput, m_model.output());
        edtOutput->verticalScrollBar()->setValue(edtOutput->verticalScrollBar()->maximum());
    });
    lstWalk->setFocus();
}

QWidget *TPrometheusDialog::createObjectsPage()
{
    auto *page = new QWidget;
    lstWalk = new QListWidget;
    lstWalk->setObjectName(QStringLiteral("lstWalk"));
    lstWalk->setAccessibleName(tr("Objects to walk"));
    lstWalk->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed);
    QPushButton *btnAddWalk = button(tr("A&dd"), "btnAddWalk");
    QPushButton *btnRemoveWalk = button(tr("R&emove"), "btnRemoveWalk");
    lstLookups = new QListWidget;
    lstLookups->setObjectName(QStringLiteral("lstLookups"));
    lstLookups->setAccessibleName(tr("Lookups"));
    QPushButton *btnRemoveLookup = button(tr("Remo&ve"), "btnRemoveLookup");
    tblOverrides = new QTableWidget(0, 2);
    tblOverrides->setObjectName(QStringLiteral("tblOverrides"));
    tblOverrides->setAccessibleName(tr("Overrides"));
    tblOverrides->setHorizontalHeaderLabels({tr("Object"), tr("Type")});
    tblOverrides->horizontalHeader()->setStretchLastSection(true);
    tblOverrides->verticalHeader()->hide();
    tblOverrides->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblOverrides->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblOverrides->setColumnWidth(0, 180);
    QPushButton *btnRemoveOverride = button(tr("Remove"), "btnRemoveOverride");

    auto *grid = new QGridLayout(page);
    const auto caption = [](const QString &text, QWidget *buddy) {
        auto *label = new QLabel(text);
        label->setBuddy(buddy);
        return label;
    };
    grid->addWidget(caption(tr("Wal&k (names or OIDs):"), lstWalk), 0, 0);
    grid->addWidget(lstWalk, 1, 0, 3, 1);
    grid->addWidget(btnAddWalk, 1, 1);
    grid->addWidget(btnRemoveWalk, 2, 1);
    grid->addWidget(caption(tr("&Lookups (index -> label):"), lstLookups), 4, 0);
    grid->addWidget(lstLookups, 5, 0);
    grid->addWidget(btnRemoveLookup, 5, 1, Qt::AlignTop);
    grid->addWidget(caption(tr("Overr&ides:"), tblOverrides), 6, 0);
    grid->addWidget(tblOverrides, 7, 0);
    grid->addWidget(btnRemoveOverride, 7, 1, Qt::AlignTop);
    grid->setRowStretch(3, 2);
    grid->setRowStretch(5, 1);
    grid->setRowStretch(7, 2);

    const auto walkTexts = [this] {
        QStringList walk;
        for (int i = 0; i < lstWalk->count(); ++i)
            walk << lstWalk->item(i)->text();
        return walk;
    };
    connect(lstWalk, &QListWidget::itemChanged, this, [this, walkTexts] {
        if (!m_showing)
            m_model.setWalk(walkTexts());
    });
    connect(btnAddWalk, &QPushButton::clicked, this, [this] {
        auto *item = new QListWidgetItem(QString(), lstWalk);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        lstWalk->setCurrentItem(item);
        lstWalk->editItem(item);
    });
    connect(btnRemoveWalk, &QPushButton::clicked, this, [this, walkTexts] {
        delete lstWalk->currentItem();
        m_model.setWalk(walkTexts());
    });
    connect(btnRemoveLookup, &QPushButton::clicked, this, [this] { m_model.removeLookup(lstLookups->currentRow()); });
    connect(btnRemoveOverride, &QPushButton::clicked, this,
            [this] { m_model.removeOverride(tblOverrides->currentRow()); });
    return page;
}

QWidget *TPrometheusDialog::createAgentPage()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    const auto addRow = [&](const QString &caption, QWidget *field, const char *name) {
        field->setObjectName(QLatin1String(name));
        auto *label = new QLabel(caption);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    const auto spin = [](int low, int high) {
        auto *box = new QSpinBox;
        box->setRange(low, high);
        return box;
    };
    cboVersion = new QComboBox;
    cboVersion->addItems({QStringLiteral("1"), QStringLiteral("2c"), QStringLiteral("3")});
    addRow(tr("SNMP &version:"), cboVersion, "cboVersion");
    udMaxRepetitions = spin(1, 10000);
    addRow(tr("Max r&epetitions:"), udMaxRepetitions, "udMaxRepetitions");
    udTimeOut = spin(1, 3600000);
    udTimeOut->setSuffix(tr(" ms"));
    addRow(tr("&Timeout:"), udTimeOut, "udTimeOut");
    udRetries = spin(0, 100);
    addRow(tr("Retr&ies:"), udRetries, "udRetries");
    edtCommunity = new QLineEdit;
    addRow(tr("&Community:"), edtCommunity, "edtCommunity");
    edtUser = new QLineEdit;
    addRow(tr("&User name:"), edtUser, "edtUser");
    cboLevel = new QComboBox;
    cboLevel->addItems(names(usmnames::Levels));
    addRow(tr("Security &level:"), cboLevel, "cboLevel");
    cboAuth = new QComboBox;
    for (int a = 1; a <= int(std::size(usmnames::Auth)); ++a)
        cboAuth->addItem(QString::fromLatin1(generatorAuthName(AuthProtocol(a))));
    addRow(tr("Aut&hentication:"), cboAuth, "cboAuth");
    cboPriv = new QComboBox;
    for (int p = 1; p <= int(std::size(usmnames::Priv)); ++p)
        cboPriv->addItem(QString::fromLatin1(generatorPrivName(PrivProtocol(p))));
    addRow(tr("Privac&y:"), cboPriv, "cboPriv");
    edtContext = new QLineEdit;
    addRow(tr("Conte&xt:"), edtContext, "edtContext");
    chkWritePassphrases = new QCheckBox(tr("Write the &passphrases into the files"));
    chkWritePassphrases->setObjectName(QStringLiteral("chkWritePassphrases"));
    form->addRow(chkWritePassphrases);
    edtAuthPassphrase = new QLineEdit;
    edtAuthPassphrase->setEchoMode(QLineEdit::Password);
    addRow(tr("Authentication passphrase:"), edtAuthPassphrase, "edtAuthPassphrase");
    edtPrivPassphrase = new QLineEdit;
    edtPrivPassphrase->setEchoMode(QLineEdit::Password);
    addRow(tr("Privacy passphrase:"), edtPrivPassphrase, "edtPrivPassphrase");

    for (QComboBox *box : {cboVersion, cboLevel, cboAuth, cboPriv})
        connect(box, &QComboBox::currentIndexChanged, this, &TPrometheusDialog::takeSettings);
    for (QSpinBox *box : {udMaxRepetitions, udTimeOut, udRetries})
        connect(box, &QSpinBox::valueChanged, this, &TPrometheusDialog::takeSettings);
    for (QLineEdit *edit : {edtCommunity, edtUser, edtContext})
        connect(edit, &QLineEdit::textEdited, this, &TPrometheusDialog::takeSettings);
    connect(chkWritePassphrases, &QCheckBox::toggled, this, &TPrometheusDialog::takeSettings);
    for (QLineEdit *edit : {edtAuthPassphrase, edtPrivPassphrase})
        connect(edit, &QLineEdit::textEdited, this, &TPrometheusDialog::takePassphrases);
    return page;
}

QWidget *TPrometheusDialog::createModulesPage()
{
    auto *page = new QWidget;
    edtModules = textPane("edtModules", tr("MIB modules"), true);
    chkCopyMibs = new QCheckBox(tr("&Copy these module files into \"%1\" beside generator.yml")
                                    .arg(QLatin1String(PrometheusExport::MibFolder)));
    chkCopyMibs->setObjectName(QStringLiteral("chkCopyMibs"));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(tr("The modules the objects come from, with their imports, and the files they were loaded from:")));
    layout->addWidget(edtModules, 1);
    layout->addWidget(chkCopyMibs);
    connect(chkCopyMibs, &QCheckBox::toggled, this, &TPrometheusDialog::takeSettings);
    return page;
}

QWidget *TPrometheusDialog::createScrapePage()
{
    auto *page = new QWidget;
    edtTargets = textPane("edtTargets", tr("Targets"), false);
    edtTargets->setFixedHeight(edtTargets->fontMetrics().lineSpacing() * 3 + 12);
    edtExporter = new QLineEdit;
    edtExporter->setObjectName(QStringLiteral("edtExporter"));
    edtScrapeJob = textPane("edtScrapeJob", tr("Scrape job"), true);
    QPushButton *btnCopy = button(tr("Co&py"), "btnCopyScrapeJob");
    auto *form = new QFormLayout;
    auto *lblTargets = new QLabel(tr("&Targets (one a line):"));
    lblTargets->setBuddy(edtTargets);
    form->addRow(lblTargets, edtTargets);
    auto *lblExporter = new QLabel(tr("&Exporter address:"));
    lblExporter->setBuddy(edtExporter);
    form->addRow(lblExporter, edtExporter);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(new QLabel(tr("For prometheus.yml:")));
    layout->addWidget(edtScrapeJob, 1);
    layout->addWidget(btnCopy, 0, Qt::AlignRight);
    connect(edtTargets, &QPlainTextEdit::textChanged, this, &TPrometheusDialog::takeSettings);
    connect(edtExporter, &QLineEdit::textEdited, this, &TPrometheusDialog::takeSettings);
    connect(btnCopy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_model.scrapeConfig()); });
    return page;
}

void TPrometheusDialog::showSettings()
{
    const PrometheusExportSettings &s = m_model.settings();
    m_showing = true;
    edtModule->setText(s.moduleName);
    edtFolder->setText(s.folder);
    cboVersion->setCurrentIndex(s.version - 1);
    udMaxRepetitions->setValue(s.maxRepetitions);
    udTimeOut->setValue(s.timeoutMs);
    udRetries->setValue(s.retries);
    edtCommunity->setText(s.community);
    edtUser->setText(s.userName);
    cboLevel->setCurrentIndex(int(s.level) - 1);
    cboAuth->setCurrentIndex(int(s.auth) - 1);
    cboPriv->setCurrentIndex(int(s.priv) - 1);
    edtContext->setText(s.context);
    chkWritePassphrases->setChecked(s.writePassphrases);
    QString auth = m_model.authPassphrase().toText();
    QString priv = m_model.privPassphrase().toText();
    edtAuthPassphrase->setText(auth);
    edtPrivPassphrase->setText(priv);
    wipeText(auth);
    wipeText(priv);
    chkCopyMibs->setChecked(s.copyMibs);
    edtTargets->setPlainText(s.targets.join(u'\n'));
    edtExporter->setText(s.exporterAddress);
    m_showing = false;
}

void TPrometheusDialog::takeSettings()
{
    if (m_showing)
        return;
    PrometheusExportSettings s = m_model.settings();
    s.moduleName = edtModule->text().trimmed();
    s.folder = edtFolder->text().trimmed();
    s.version = cboVersion->currentIndex() + 1;
    s.maxRepetitions = udMaxRepetitions->value();
    s.timeoutMs = udTimeOut->value();
    s.retries = udRetries->value();
    s.community = edtCommunity->text();
    s.userName = edtUser->text();
    s.level = SecurityLevel(cboLevel->currentIndex() + 1);
    s.auth = AuthProtocol(cboAuth->currentIndex() + 1);
    s.priv = PrivProtocol(cboPriv->currentIndex() + 1);
    s.context = edtContext->text();
    s.writePassphrases = chkWritePassphrases->isChecked();
    s.copyMibs = chkCopyMibs->isChecked();
    s.targets.clear();
    for (const QString &line : edtTargets->toPlainText().split(u'\n'))
        if (!line.trimmed().isEmpty())
            s.targets << line.trimmed();
    s.exporterAddress = edtExporter->text().trimmed();
    m_model.setSettings(s);
}

void TPrometheusDialog::takePassphrases()
{
    QString auth = edtAuthPassphrase->text();
    QString priv = edtPrivPassphrase->text();
    m_model.setPassphrases(Secret::fromText(auth), Secret::fromText(priv));
    wipeText(auth);
    wipeText(priv);
}

void TPrometheusDialog::showProposal()
{
    m_showing = true;
    QStringList shown;
    for (int i = 0; i < lstWalk->count(); ++i)
        shown << lstWalk->item(i)->text();
    // Rebuilt only when the model changed it (an item trimmed, one removed),
    // so that an item just typed keeps its place and the focus.
    if (shown != m_model.walk()) {
        lstWalk->clear();
        for (const QString &name : m_model.walk()) {
            auto *item = new QListWidgetItem(name, lstWalk);
            item->setFlags(item->flags() | Qt::ItemIsEditable);
        }
    }
    lstLookups->clear();
    for (const PrometheusLookup &lookup : m_model.lookups()) {
        QStringList indexes;
        for (const std::string &index : lookup.sourceIndexes)
            indexes << QString::fromStdString(index);
        lstLookups->addItem(QStringLiteral("%1 -> %2").arg(indexes.join(QStringLiteral(", ")),
                                                           QString::fromStdString(lookup.lookup)));
    }
    tblOverrides->setRowCount(0);
    const QStringList types = QStringList(QString::fromLatin1(prometheus::IgnoreOverride)) + names(prometheus::OverrideTypes);
    for (const PrometheusOverride &override : m_model.overrides()) {
        const int row = tblOverrides->rowCount();
        tblOverrides->insertRow(row);
        tblOverrides->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(override.object)));
        auto *type = new QComboBox;
        type->addItems(types);
        type->setCurrentText(QString::fromStdString(override.type));
        tblOverrides->setCellWidget(row, 1, type);
        connect(type, &QComboBox::currentTextChanged, this,
                [this, row](const QString &text) { m_model.setOverrideType(row, text); });
    }
    m_showing = false;
}

void TPrometheusDialog::showState()
{
    const PrometheusExportSettings &s = m_model.settings();
    const bool v3 = s.version == 3;
    edtCommunity->setEnabled(!v3);
    for (QWidget *field : std::initializer_list<QWidget *>{edtUser, cboLevel, cboAuth, cboPriv, edtContext})
        field->setEnabled(v3);
    const bool auth = v3 && s.level != SecurityLevel::NoAuthNoPriv;
    const bool priv = v3 && s.level == SecurityLevel::AuthPriv;
    cboAuth->setEnabled(auth);
    cboPriv->setEnabled(priv);
    chkWritePassphrases->setEnabled(auth);
    edtAuthPassphrase->setEnabled(auth && s.writePassphrases);
    edtPrivPassphrase->setEnabled(priv && s.writePassphrases);

    showText(edtGeneratorYaml, m_model.generatorPreview());
    showText(edtScrapeJob, m_model.scrapeConfig());
    QString modules;
    for (const MibModuleFile &file : m_model.modules().found)
        modules += QStringLiteral("%1  %2\n").arg(QString::fromStdString(file.module), QString::fromStdString(file.file));
    showText(edtModules, modules);

    const QStringList errors = m_model.errors();
    const QStringList messages = errors + m_model.warnings();
    lblMessages->setText(messages.join(u'\n'));
    lblMessages->setStyleSheet(errors.isEmpty() ? QString() : QStringLiteral("color: #b00000"));
    lblMessages->setVisible(!messages.isEmpty());
    const bool running = m_model.generatorRunning();
    btnWrite->setEnabled(errors.isEmpty() && !running);
    btnRunGenerator->setEnabled(errors.isEmpty() && !running && m_generatorInstalled);
    btnRunGenerator->setToolTip(m_generatorInstalled ? tr("Writes the files and runs %1 on them.")
                                                .arg(QLatin1String(PrometheusExport::GeneratorProgram))
                                          : tr("%1 is not installed (Debian: prometheus-snmp-exporter).")
                                                .arg(QLatin1String(PrometheusExport::GeneratorProgram)));
}

void TPrometheusDialog::writeFiles()
{
    // The model tells what it wrote, or why not, in the output pane.
    (void)m_model.writeFiles();
}

void TPrometheusDialog::chooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Folder for the Export"), edtFolder->text(),
                                                             QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    edtFolder->setText(folder);
    takeSettings();
}

void TPrometheusDialog::reject()
{
    // The window's owner may close at once: no generator outlives the dialog.
    m_model.stopGenerator();
    QDialog::reject();
}
