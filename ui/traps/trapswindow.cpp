// SPDX-License-Identifier: MIT
#include "ui/traps/trapswindow.h"

#include "common/bytetext.h"
#include "engine/mib/mibsetup.h"
#include "engine/query/rowrender.h"
#include "engine/traps/traptext.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/traps/rejectedlistmodel.h"
#include "ui/traps/trapfilter.h"
#include "ui/traps/traplistmodel.h"
#include "ui/traps/trapsaving.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// "12,345", whatever the system's locale: the counts read as the benchmarks do.
QString number(uint64_t n)
{
    return QLocale(QLocale::English).toString(qulonglong(n));
}

QString userLine(const TrapUser &u)
{
    const QString level = QLatin1String(usmnames::levelName(u.level));
    QString protocols;
    if (u.level != SecurityLevel::NoAuthNoPriv)
        protocols = QLatin1String(usmnames::authName(u.auth));
    if (u.level == SecurityLevel::AuthPriv)
        protocols += u'/' + QLatin1String(usmnames::privName(u.priv));
    const QString engine = u.engineId.isEmpty() ? QStringLiteral("informs only")
                                                : QStringLiteral("traps of engine ") + QString::fromLatin1(u.engineId.toHex());
    return QStringLiteral("%1  (%2 %3; %4)").arg(u.userName, level, protocols, engine);
}

} // namespace

TTrapsWindow::TTrapsWindow(DialogService &dialogs, const TrapSettings &settings, QAction *mibValues,
                           std::unique_ptr<Keyring> keyring, QWidget *owner)
    : FrameWindow(owner),
      m_dialogs(dialogs),
      m_settings(settings),
      m_passphrases(std::move(keyring)),
      m_list(new TrapListModel(TrapListModel::DefaultBound, this)),
      m_filter(new TrapFilter(*m_list, this)),
      m_rejected(new RejectedListModel(this)),
      m_bindings(new ResultModel(this)),
      m_receiver(*this)
{
    setObjectName(QStringLiteral("TrapsWindow"));
    setWindowTitle(tr("Traps"));
    resize(860, 560);
    createControls();
    applyCommunities();
    updateUsers();
    updateStatus();
    if (mibValues) {
        const auto follow = [this](bool on) {
            m_list->setMibValues(on);
            m_bindings->setMibValues(on);
        };
        follow(mibValues->isChecked());
        connect(mibValues, &QAction::toggled, this, follow);
    }
    connect(&m_receiver, &TrapReceiver::countsChanged, this, &TTrapsWindow::updateStatus);
}

TTrapsWindow::~TTrapsWindow()
{
    m_receiver.stop();
}

void TTrapsWindow::createControls()
{
    auto *lblAddress = new QLabel(tr("&Address:"), this);
    edtAddress = new QLineEdit(m_settings.address, this);
    edtAddress->setObjectName(QStringLiteral("edtAddress"));
    edtAddress->setPlaceholderText(tr("all IPv4 and IPv6 addresses"));
    edtAddress->setAccessibleName(tr("Address"));
    lblAddress->setBuddy(edtAddress);
    auto *lblPort = new QLabel(tr("P&ort:"), this);
    udPort = new QSpinBox(this);
    udPort->setObjectName(QStringLiteral("udPort"));
    udPort->setRange(1, 65535);
    udPort->setValue(m_settings.port);
    udPort->setAccessibleName(tr("Port"));
    lblPort->setBuddy(udPort);
    btnListen = new QPushButton(tr("&Listen"), this);
    btnListen->setObjectName(QStringLiteral("btnListen"));
    connect(btnListen, &QPushButton::clicked, this, [this] { isListening() ? stop() : listen(); });
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("TrapPages"));
    m_pages->addTab(createNotificationsPage(), tr("&Notifications"));
    m_pages->addTab(createRejectedPage(), tr("&Rejected"));
    m_pages->addTab(createSecurityPage(), tr("Securit&y"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(lblAddress);
    bar->addWidget(edtAddress, 1);
    bar->addWidget(lblPort);
    bar->addWidget(udPort);
    bar->addWidget(btnListen);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_pages, 1);
    layout->addWidget(lblStatus);

}

QWidget *TTrapsWindow::createNotificationsPage()
{
    auto *page = new QWidget(this);
    auto *lblFilter = new QLabel(tr("&Filter:"), page);
    edtFilter = new QLineEdit(page);
    edtFilter->setObjectName(QStringLiteral("edtFilter"));
    edtFilter->setClearButtonEnabled(true);
    edtFilter->setAccessibleName(tr("Filter"));
    lblFilter->setBuddy(edtFilter);
    // Each change goes over every notification kept: once typing pauses.
    m_filterTimer.setSingleShot(true);
    m_filterTimer.setInterval(FilterDelayMs);
    connect(edtFilter, &QLineEdit::textChanged, &m_filterTimer, qOverload<>(&QTimer::start));
    connect(&m_filterTimer, &QTimer::timeout, this, [this] { m_filter->setText(edtFilter->text()); });
    chkPause = new QCheckBox(tr("&Pause"), page);
    chkPause->setObjectName(QStringLiteral("chkPause"));
    connect(chkPause, &QCheckBox::toggled, this, [this](bool on) {
        m_list->setPaused(on);
        updateStatus();
    });
    lblPaused = new QLabel(page);
    lblPaused->setObjectName(QStringLiteral("lblPaused"));
    auto *btnClear = new QPushButton(tr("&Clear"), page);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    connect(btnClear, &QPushButton::clicked, this, &TTrapsWindow::clear);
    auto *btnSaveAs = new QPushButton(tr("Sa&ve As..."), page);
    btnSaveAs->setObjectName(QStringLiteral("btnSaveAs"));
    connect(btnSaveAs, &QPushButton::clicked, this, &TTrapsWindow::saveAs);
    auto *btnExportCsv = new QPushButton(tr("&Export CSV..."), page);
    btnExportCsv->setObjectName(QStringLiteral("btnExportCsv"));
    connect(btnExportCsv, &QPushButton::clicked, this, &TTrapsWindow::exportCsv);

    m_listView = new ListView(page);
    m_listView->setObjectName(QStringLiteral("TrapList"));
    m_listView->setAccessibleName(tr("Notifications"));
    m_listView->setModel(m_filter);
    // The bindings take what is left; a cut-off text shows whole as a tooltip.
    const int widths[TrapListModel::SummaryColumn] = {90, 130, 110, 130, 170};
    for (int column = 0; column < TrapListModel::SummaryColumn; ++column)
        m_listView->setColumnWidth(column, widths[column]);
    m_listView->horizontalHeader()->setStretchLastSection(true);
    connect(m_listView->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &TTrapsWindow::showBindings);
    // The list follows the newest while it shows its end, as a log does.
    connect(m_filter, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = m_listView->verticalScrollBar();
        m_followEnd = bar->value() == bar->maximum();
    });
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_followEnd)
            m_listView->scrollToBottom();
    });

    lblDetails = new QLabel(page);
    lblDetails->setObjectName(QStringLiteral("lblDetails"));
    lblDetails->setTextFormat(Qt::PlainText);
    lblDetails->setWordWrap(true);
    m_bindings->setRowIcon(QIcon(QStringLiteral(":/images/row.png")));
    m_bindingsView = new ListView(page);
    m_bindingsView->setObjectName(QStringLiteral("TrapBindings"));
    m_bindingsView->setAccessibleName(tr("Bindings"));
    m_bindingsView->setModel(m_bindings);
    const int bindingWidths[ResultModel::ValueColumn] = {200, 200, 110};
    for (int column = 0; column < ResultModel::ValueColumn; ++column)
        m_bindingsView->setColumnWidth(column, bindingWidths[column]);
    m_bindingsView->horizontalHeader()->setStretchLastSection(true);

    auto *lower = new QWidget(page);
    auto *lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(lblDetails);
    lowerLayout->addWidget(m_bindingsView, 1);
    auto *split = new QSplitter(Qt::Vertical, page);
    split->addWidget(m_listView);
    split->addWidget(lower);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto *bar = new QHBoxLayout;
    bar->addWidget(lblFilter);
    bar->addWidget(edtFilter, 1);
    bar->addWidget(chkPause);
    bar->addWidget(lblPaused);
    bar->addWidget(btnClear);
    bar->addWidget(btnSaveAs);
    bar->addWidget(btnExportCsv);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(bar);
    layout->addWidget(split, 1);
    return page;
}

QWidget *TTrapsWindow::createRejectedPage()
{
    auto *page = new QWidget(this);
    m_rejectedView = new QTableView(page);
    m_rejectedView->setObjectName(QStringLiteral("RejectedList"));
    m_rejectedView->setAccessibleName(tr("Rejected"));
    m_rejectedView->setModel(m_rejected);
    m_rejectedView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rejectedView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rejectedView->verticalHeader()->hide();
    m_rejectedView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_rejectedView->verticalHeader()->setDefaultSectionSize(m_rejectedView->fontMetrics().height() + 6);
    m_rejectedView->horizontalHeader()->setStretchLastSection(true);
    const int widths[RejectedListModel::ColumnCount] = {170, 130, 80, 110, 300};
    for (int column = 0; column < RejectedListModel::ColumnCount; ++column)
        m_rejectedView->setColumnWidth(column, widths[column]);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(m_rejectedView);
    return page;
}

QWidget *TTrapsWindow::createSecurityPage()
{
    auto *page = new QWidget(this);
    auto *lblCommunities = new QLabel(tr("Accepted &communities (SNMPv1 and v2c), one a line:"), page);
    edtCommunities = new QPlainTextEdit(m_settings.communities.join(u'\n'), page);
    edtCommunities->setObjectName(QStringLiteral("edtCommunities"));
    edtCommunities->setAccessibleName(tr("Accepted communities"));
    lblCommunities->setBuddy(edtCommunities);
    connect(edtCommunities, &QPlainTextEdit::textChanged, this, &TTrapsWindow::applyCommunities);

    auto *lblUsers = new QLabel(tr("SNMPv3 &users:"), page);
    m_usersView = new QListWidget(page);
    m_usersView->setObjectName(QStringLiteral("lstUsers"));
    m_usersView->setAccessibleName(tr("SNMPv3 users"));
    lblUsers->setBuddy(m_usersView);
    connect(m_usersView, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { editUser(m_usersView->row(item)); });
    auto *btnAdd = new QPushButton(tr("A&dd..."), page);
    btnAdd->setObjectName(QStringLiteral("btnAddUser"));
    connect(btnAdd, &QPushButton::clicked, this, &TTrapsWindow::addUser);
    auto *btnEdit = new QPushButton(tr("&Edit..."), page);
    btnEdit->setObjectName(QStringLiteral("btnEditUser"));
    connect(btnEdit, &QPushButton::clicked, this, [this] { editUser(m_usersView->currentRow()); });
    auto *btnRemove = new QPushButton(tr("Re&move"), page);
    btnRemove->setObjectName(QStringLiteral("btnRemoveUser"));
    connect(btnRemove, &QPushButton::clicked, this, [this] { removeUser(m_usersView->currentRow()); });
    lblEngine = new QLabel(page);
    lblEngine->setObjectName(QStringLiteral("lblEngine"));
    lblEngine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblEngine->setWordWrap(true);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(btnAdd);
    buttons->addWidget(btnEdit);
    buttons->addWidget(btnRemove);
    buttons->addStretch(1);
    auto *users = new QHBoxLayout;
    users->addWidget(m_usersView, 1);
    users->addLayout(buttons);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(lblCommunities);
    layout->addWidget(edtCommunities, 1);
    layout->addWidget(lblUsers);
    layout->addLayout(users, 2);
    layout->addWidget(lblEngine);
    return page;
}

void TTrapsWindow::present()
{
    show();
    raise();
    activateWindow();
}

TrapSettings TTrapsWindow::settings() const
{
    TrapSettings s = m_settings;
    s.address = edtAddress->text().trimmed();
    s.port = udPort->value();
    return s;
}

void TTrapsWindow::listen()
{
    m_settings.address = edtAddress->text().trimmed();
    m_settings.port = udPort->value();
    // Loaded now, not at the first notification of a burst.
    mibsetup::ensureLoaded();
    const TrapReceiver::Listening listening =
        m_receiver.listen(bytesFromText(m_settings.address).toStdString(), uint16_t(m_settings.port),
                          QCoreApplication::applicationFilePath().toStdString(), m_settings.engineId.toStdString(),
                          m_settings.engineBoots);
    if (!listening.problem.empty()) {
        updateStatus();
        m_dialogs.showError(this, QString::fromStdString(listening.problem));
        return;
    }
    m_settings.engineId = QByteArray::fromStdString(listening.engine.id);
    m_settings.engineBoots = listening.engine.boots;
    applyUsers();
    updateUsers();
    updateStatus();
}

void TTrapsWindow::stop()
{
    m_receiver.stop();
    updateStatus();
}

void TTrapsWindow::clear()
{
    m_list->clear();
    m_rejected->clear();
    m_bindings->clear();
    lblDetails->clear();
    updateStatus();
}

void TTrapsWindow::received(Notification &&notification)
{
    m_list->append(std::move(notification));
}

void TTrapsWindow::rejected(Rejection &&rejection)
{
    m_rejected->append(std::move(rejection));
}

void TTrapsWindow::chunkDone()
{
    m_list->announce();
    m_rejected->announce();
}

void TTrapsWindow::showBindings()
{
    m_bindings->clear();
    const QModelIndex current = m_filter->mapToSource(m_listView->currentIndex());
    if (!current.isValid()) {
        lblDetails->clear();
        return;
    }
    const Notification n = m_list->notification(current.row());
    const SnmpVersion version = n.version == NotificationVersion::V1 ? SnmpVersion::V1 : SnmpVersion::V2c;
    for (const SnmpVarBind &b : n.bindings)
        m_bindings->appendRow(renderBinding(b, version));
    m_bindings->flush();
    const std::string who = n.version == NotificationVersion::V3 ? "user '" + n.user + "'"
                                                                 : "community '" + n.community + "'";
    const std::string details = notificationDetails(n);
    lblDetails->setText(QStringLiteral("%1 %2 %3 from %4, %5%6")
                            .arg(QString::fromStdString(notificationName(n.trapOid)), QLatin1String(versionName(n.version)),
                                 n.inform ? tr("inform") : tr("trap"), QString::fromStdString(senderText(n.sender)),
                                 QString::fromLatin1(who.data(), qsizetype(who.size())),
                                 details.empty() ? QString() : QStringLiteral("; ") + QString::fromStdString(details)));
}

void TTrapsWindow::updateStatus()
{
    const ReceiverCounts c = m_receiver.counts();
    QString where;
    if (isListening()) {
        const QString address = m_settings.address.isEmpty() ? tr("all addresses") : m_settings.address;
        // The kernel reports twice the buffer asked for: its bookkeeping is in it.
        const int buffer = m_receiver.receiveBuffer() / 2;
        where = tr("Listening on %1, UDP port %2 (receive buffer %3)")
                    .arg(address)
                    .arg(m_receiver.port())
                    .arg(buffer >= (1 << 20) ? tr("%1 MiB").arg(buffer >> 20) : tr("%1 KiB").arg(buffer >> 10));
    } else {
        where = tr("Not listening");
    }
    QString text = tr("%1. %2 received, %3 rejected, %4 lost")
                       .arg(where, number(c.received), number(c.rejected), number(c.lost));
    if (c.informsAnswered || c.answersFailed)
        text += (c.informsAnswered == 1 ? tr("; %1 inform answered") : tr("; %1 informs answered"))
                    .arg(number(c.informsAnswered));
    if (c.answersFailed)
        text += tr(", %1 could not be answered").arg(number(c.answersFailed));
    if (m_list->dropped())
        text += tr("; %1 dropped from the list (it keeps the last %2)")
                    .arg(number(m_list->dropped()), number(TrapListModel::DefaultBound));
    lblStatus->setText(text + u'.');
    lblPaused->setText(m_list->isPaused() ? tr("%1 arrived").arg(number(m_list->arrivedWhilePaused())) : QString());
    btnListen->setText(isListening() ? tr("&Stop") : tr("&Listen"));
    edtAddress->setEnabled(!isListening());
    udPort->setEnabled(!isListening());
    m_pages->setTabText(1, c.rejected ? tr("&Rejected (%1)").arg(number(c.rejected)) : tr("&Rejected"));
}

QString TTrapsWindow::vaultAgent(const TrapUser &user)
{
    return QStringLiteral("traps:") + QString::fromLatin1(user.engineId.toHex());
}

void TTrapsWindow::updateUsers()
{
    m_usersView->clear();
    for (const TrapUser &u : m_settings.users)
        m_usersView->addItem(userLine(u));
    lblEngine->setText(m_settings.engineId.isEmpty()
                           ? tr("Norvane's engine ID, which senders of SNMPv3 informs name, is made at the first Listen.")
                           : tr("Norvane's engine ID, for senders of SNMPv3 informs: %1 (boots %2).")
                                 .arg(QString::fromLatin1(m_settings.engineId.toHex()))
                                 .arg(m_settings.engineBoots));
}

void TTrapsWindow::applyCommunities()
{
    std::vector<std::string> communities;
    m_settings.communities.clear();
    for (const QString &line : edtCommunities->toPlainText().split(u'\n')) {
        if (line.isEmpty())
            continue;
        m_settings.communities << line;
        communities.push_back(bytesFromText(line).toStdString());
    }
    m_receiver.setCommunities(std::move(communities));
}

void TTrapsWindow::applyUsers()
{
    std::vector<ListeningUser> users;
    for (const TrapUser &u : m_settings.users) {
        ListeningUser user;
        AgentSecurity &s = user.security;
        s.userName = bytesFromText(u.userName).toStdString();
        s.level = u.level;
        s.auth = u.auth;
        s.priv = u.priv;
        if (std::optional<Passphrases> held = m_passphrases.held(vaultAgent(u), u.userName)) {
            s.authPassphrase = std::move(held->auth);
            s.privPassphrase = std::move(held->priv);
        } else if (u.rememberPassphrases) {
            fetchPassphrases(u);
        }
        user.engineId = u.engineId.toStdString();
        users.push_back(std::move(user));
    }
    const std::string problem = m_receiver.setUsers(std::move(users));
    if (!problem.empty() && isListening() && m_fetches.empty())
        m_dialogs.showError(this, QString::fromStdString(problem));
}

void TTrapsWindow::fetchPassphrases(const TrapUser &user)
{
    if (!m_passphrases.keyringProblem().isEmpty())
        return;
    const QString key = PassphraseVault::entryName(vaultAgent(user), user.userName);
    if (m_fetches.contains(key))
        return;
    // In the background: the users are set up again once the keyring answers.
    m_fetches[key] = m_passphrases.fetch(vaultAgent(user), user.userName, [this, key](PassphraseVault::Fetched fetched) {
        m_fetches.erase(key);
        if (fetched.failure)
            m_dialogs.showError(this, fetched.failure.message());
        else if (fetched.passphrases)
            applyUsers();
    });
}

void TTrapsWindow::addUser()
{
    editUser(-1);
}

void TTrapsWindow::editUser(int row)
{
    const bool adding = row < 0 || row >= int(m_settings.users.size());
    TrapUser user = adding ? TrapUser() : m_settings.users[size_t(row)];
    // What is held: a remembered user's passphrases were fetched when the users were set up.
    Passphrases passphrases;
    if (!adding) {
        if (std::optional<Passphrases> held = m_passphrases.held(vaultAgent(user), user.userName))
            passphrases = std::move(*held);
    }
    const bool wasRemembered = !adding && user.rememberPassphrases;
    if (!m_dialogs.editTrapUser(this, user, passphrases.auth, passphrases.priv))
        return;
    const auto failed = [this](const StoreError &failure) { m_dialogs.showError(this, failure.message()); };
    // Renamed, or for another engine: the keyring entry of the old key goes.
    const bool moved = !adding
        && (vaultAgent(m_settings.users[size_t(row)]) != vaultAgent(user)
            || m_settings.users[size_t(row)].userName != user.userName);
    if (moved) {
        const TrapUser &old = m_settings.users[size_t(row)];
        m_passphrases.forget(vaultAgent(old), old.userName, wasRemembered, failed);
    }
    if (adding)
        m_settings.users.push_back(user);
    else
        m_settings.users[size_t(row)] = user;
    m_passphrases.keep(vaultAgent(user), user.userName, passphrases, user.rememberPassphrases,
                       wasRemembered && !moved, failed);
    updateUsers();
    applyUsers();
}

void TTrapsWindow::removeUser(int row)
{
    if (row < 0 || row >= int(m_settings.users.size()))
        return;
    const TrapUser user = m_settings.users[size_t(row)];
    m_settings.users.erase(m_settings.users.begin() + row);
    // Its passphrases go from memory, and from the keyring when they were there.
    m_passphrases.forget(vaultAgent(user), user.userName, user.rememberPassphrases,
                         [this](const StoreError &failure) { m_dialogs.showError(this, failure.message()); });
    updateUsers();
    applyUsers();
}

void TTrapsWindow::saveAs()
{
    m_list->flush();
    if (const StoreError failure = TrapSaving(m_dialogs, *m_list, *m_filter).saveAs(this))
        m_dialogs.showError(this, failure.message());
}

void TTrapsWindow::exportCsv()
{
    m_list->flush();
    if (const StoreError failure = TrapSaving(m_dialogs, *m_list, *m_filter).exportCsv(this))
        m_dialogs.showError(this, failure.message());
}
