// SPDX-License-Identifier: MIT
#pragma once

#include "engine/traps/trapreceiver.h"
#include "store/passphrasevault.h"
#include "store/settings.h"
#include "ui/widgets/framewindow.h"

#include <QTimer>

#include <map>
#include <memory>

class DialogService;
class ListView;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class RejectedListModel;
class ResultModel;
class TrapFilter;
class TrapListModel;

// The Traps window, beside the main window and not modal: Listen starts a
// receiver on UDP (port 162 of every address unless told otherwise), and
// the notifications it takes are listed as they come, the selected one's
// bindings below as result rows. Closing the window only hides it; the
// receiver listens on until Stop or the program's end. MIB Values follow the
// main window's command.
class TTrapsWindow final : public FrameWindow, private NotificationSink
{
    Q_OBJECT

public:
    static constexpr int FilterDelayMs = 150;

    // Without a keyring the passphrases of the SNMPv3 users stay in memory.
    TTrapsWindow(DialogService &dialogs, const TrapSettings &settings, QAction *mibValues,
                 std::unique_ptr<Keyring> keyring, QWidget *owner);
    ~TTrapsWindow() override;

    // What the settings file keeps: the boxes, the communities, the users,
    // our engine as the last Listen left it.
    TrapSettings settings() const;

    // Shown, raised and activated.
    void present();
    bool isListening() const { return m_receiver.isListening(); }
    void listen();
    void stop();
    const TrapReceiver &receiver() const { return m_receiver; }

    TrapListModel &notifications() const { return *m_list; }
    TrapFilter &shown() const { return *m_filter; }
    RejectedListModel &rejections() const { return *m_rejected; }
    ResultModel &bindings() const { return *m_bindings; }
    ListView *listView() const { return m_listView; }
    ListView *bindingsView() const { return m_bindingsView; }
    QLineEdit *addressBox() const { return edtAddress; }
    QSpinBox *portBox() const { return udPort; }
    QPushButton *listenButton() const { return btnListen; }
    QLineEdit *filterBox() const { return edtFilter; }
    QCheckBox *pauseBox() const { return chkPause; }
    QLabel *pausedLabel() const { return lblPaused; }
    QLabel *statusLabel() const { return lblStatus; }
    QLabel *detailsLabel() const { return lblDetails; }
    QPlainTextEdit *communitiesBox() const { return edtCommunities; }
    QTabWidget *pages() const { return m_pages; }
    void clear();
    void saveAs();
    void exportCsv();
    void addUser();
    void editUser(int row);
    void removeUser(int row);

private:
    void createControls();
    QWidget *createNotificationsPage();
    QWidget *createRejectedPage();
    QWidget *createSecurityPage();
    void received(Notification &&notification) override;
    void rejected(Rejection &&rejection) override;
    void chunkDone() override;
    void showBindings();
    void updateStatus();
    void updateUsers();
    // The users with their passphrases to the receiver; the problem with one, shown.
    void applyUsers();
    void fetchPassphrases(const TrapUser &user);
    void applyCommunities();
    // The keyring entry of a user's passphrases.
    static QString vaultAgent(const TrapUser &user);

    DialogService &m_dialogs;
    TrapSettings m_settings;
    PassphraseVault m_passphrases;
    // The remembered users' passphrases asked of the keyring, by entry name.
    std::map<QString, std::unique_ptr<PassphraseVault::Pending>> m_fetches;
    TrapListModel *m_list = nullptr;
    TrapFilter *m_filter = nullptr;
    RejectedListModel *m_rejected = nullptr;
    ResultModel *m_bindings = nullptr;
    TrapReceiver m_receiver;

    QLineEdit *edtAddress = nullptr;
    QSpinBox *udPort = nullptr;
    QPushButton *btnListen = nullptr;
    QLabel *lblStatus = nullptr;
    QTabWidget *m_pages = nullptr;
    QLineEdit *edtFilter = nullptr;
    QCheckBox *chkPause = nullptr;
    QLabel *lblPaused = nullptr;
    ListView *m_listView = nullptr;
    ListView *m_bindingsView = nullptr;
    QLabel *lblDetails = nullptr;
    QTableView *m_rejectedView = nullptr;
    QPlainTextEdit *edtCommunities = nullptr;
    QListWidget *m_usersView = nullptr;
    QLabel *lblEngine = nullptr;
    QTimer m_filterTimer;
    bool m_followEnd = true; // the list was at its end when rows came
};
