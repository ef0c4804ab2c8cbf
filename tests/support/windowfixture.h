// SPDX-License-Identifier: MIT
#pragma once

// The main window as the window tests and the window benchmark build it: a
// settings folder of its own, the window's questions answered and recorded
// by one double (or put to the real modal dialogs, which drive() drives), and
// commands triggered as a user triggers them.

#include "tests/support/confighome.h"
#include "tests/support/modaldriver.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/mainform.h"
#include "ui/set/setedit.h"
#include "ui/widgets/statusbar.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QStringList>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>

// What the window asked and what it is to be told. Kept apart from the
// double because a test reads it after the window has gone, when the exit's
// settings write has been and its failure shown.
struct DialogLog
{
    QStringList errors;
    QStringList asked;        // the initial name of each save dialog
    QStringList replaced;     // the files each replace question named
    int detailsOpened = 0;
    int detailsRow = -1;      // the list's current row when the details opened
    int detailsRowCount = -1; // and its row count then
    int optionsOpened = 0;
    int aboutOpened = 0;
    std::function<std::optional<QString>()> answerFile = [] { return std::nullopt; };
    std::optional<QString> answerMibFile; // Load MIB File's choice
    std::optional<QString> answerRecording; // Open's and Compare With's choice
    std::function<std::optional<QString>()> answerCsvFile = [] { return std::nullopt; };
    bool answerReplace = false;
    std::function<bool(int &timeOut, int &retries, SnmpVersion &version)> answerOptions = [](int &, int &, SnmpVersion &) {
        return false;
    };
    // Agent Properties: given what the dialog would show, true with the answer written.
    std::function<bool(AgentPropertiesEdit &)> answerAgent = [](AgentPropertiesEdit &) { return false; };
    // The Traps window's SNMPv3 user: given what the dialog would show, true with the answer written.
    std::function<bool(TrapUser &, Secret &auth, Secret &priv)> answerTrapUser = [](TrapUser &, Secret &, Secret &) {
        return false;
    };
    // Set Value and its confirmation: given what they would show, true with the answer written.
    std::function<bool(SetEdit &)> answerSet = [](SetEdit &) { return false; };
    QStringList confirmations; // each confirmation's text
    bool answerConfirm = false;
};

class StubDialogs final : public DialogService
{
public:
    explicit StubDialogs(DialogLog &log) : m_log(log) {}

    void showError(QWidget *, const QString &message) override { m_log.errors << message; }
    void openDetails(QWidget *, QAbstractItemView *listView) override
    {
        ++m_log.detailsOpened;
        m_log.detailsRow = listView->currentIndex().row();
        m_log.detailsRowCount = listView->model()->rowCount();
    }
    bool editOptions(QWidget *, int &timeOut, int &retries, SnmpVersion &version) override
    {
        ++m_log.optionsOpened;
        return m_log.answerOptions(timeOut, retries, version);
    }
    void openAbout(QWidget *) override { ++m_log.aboutOpened; }
    bool editAgentProperties(QWidget *, AgentPropertiesEdit &edit) override { return m_log.answerAgent(edit); }
    std::optional<QString> askSaveFileName(QWidget *, const QString &initialName) override
    {
        m_log.asked << initialName;
        return m_log.answerFile();
    }
    bool confirmReplace(QWidget *, const QString &fileName) override
    {
        m_log.replaced << fileName;
        return m_log.answerReplace;
    }
    std::optional<QString> askMibFileName(QWidget *) override { return m_log.answerMibFile; }
    std::optional<QString> askRecordingFileName(QWidget *, const QString &) override { return m_log.answerRecording; }
    std::optional<QString> askCsvFileName(QWidget *, const QString &initialName) override
    {
        m_log.asked << initialName;
        return m_log.answerCsvFile();
    }
    bool editTrapUser(QWidget *, TrapUser &user, Secret &auth, Secret &priv) override
    {
        return m_log.answerTrapUser(user, auth, priv);
    }
    bool editSet(QWidget *, SetEdit &edit) override { return m_log.answerSet(edit); }
    bool confirmSet(QWidget *, const QString &text) override
    {
        m_log.confirmations << text;
        return m_log.answerConfirm;
    }

private:
    DialogLog &m_log;
};

// Owns the window the way unique_ptr would (get(), ->), and its settings folder.
class WindowFixture
{
public:
    enum class Dialogs { Stub, Real };
    enum class Wait { Active, Exposed };

    DialogLog log;

    WindowFixture() = default;
    ~WindowFixture() { stop(); }
    WindowFixture(const WindowFixture &) = delete;
    WindowFixture &operator=(const WindowFixture &) = delete;

    // A first start: an empty settings folder, an empty log, a window shown.
    bool start(Dialogs dialogs = Dialogs::Stub) { return newSettings() && open(dialogs); }

    // Ends the window, if any, and points XDG_CONFIG_HOME at a new, empty
    // settings folder; the log starts empty.
    bool newSettings()
    {
        quit();
        m_config.reset();
        m_config = std::make_unique<ConfigHome>();
        log = {};
        return m_config->isValid();
    }

    // A program start: the window loads the settings while it is created.
    // Without newSettings() it uses the folder XDG_CONFIG_HOME names.
    TMainForm &create(Dialogs dialogs = Dialogs::Stub)
    {
        quit();
        m_form = std::make_unique<TMainForm>(dialogs == Dialogs::Real ? nullptr : std::make_unique<StubDialogs>(log));
        return *m_form;
    }
    // create(), then shown; true once it is active (or only exposed, for a
    // window that starts minimised or maximised).
    bool open(Dialogs dialogs = Dialogs::Stub, Wait wait = Wait::Active)
    {
        create(dialogs).show();
        return wait == Wait::Active ? QTest::qWaitForWindowActive(m_form.get())
                                    : QTest::qWaitForWindowExposed(m_form.get());
    }
    // A program end: the window is closed, which writes the settings, then destroyed.
    void quit()
    {
        if (m_form)
            m_form->close();
        m_form.reset();
    }
    // quit(), then the settings folder goes.
    void stop()
    {
        quit();
        m_config.reset();
    }

    TMainForm *get() const { return m_form.get(); }
    TMainForm *operator->() const { return m_form.get(); }
    QString settingsFolder() const { return m_config ? m_config->path() : QString(); }

    // The three input boxes' texts, as typed over whatever they showed.
    void setInputs(const QString &agent, const QString &community, const QString &oids)
    {
        m_form->agentBox()->setEditText(agent);
        m_form->communityBox()->setEditText(community);
        m_form->oidBox()->setEditText(oids);
    }
    QAction *command(const char *name) const { return m_form->findChild<QAction *>(QLatin1String(name)); }
    // As a user would: the window re-evaluates its enabling rules, and only a
    // command they enable is triggered. False when it was not.
    bool trigger(const char *name)
    {
        QAction *action = command(name);
        if (!action)
            return false;
        m_form->updateCommands();
        if (!action->isEnabled())
            return false;
        action->trigger();
        return true;
    }
    // What keeps the window from being idle as after a start (not running,
    // Run enabled and Stop not, "Ready" in the simple status line, no busy
    // cursor); empty when nothing does.
    QString notIdle() const
    {
        QStringList wrong;
        const std::pair<bool, const char *> checks[] = {
            {m_form->isIdle() && !m_form->isRunning(), "running"},
            {command("actRun")->isEnabled() && !command("actStop")->isEnabled(), "Run disabled or Stop enabled"},
            {m_form->statusLine()->simplePanel() && m_form->statusLine()->simpleText() == QLatin1String("Ready"),
             "status not Ready"},
            {!QGuiApplication::overrideCursor(), "busy cursor"},
        };
        for (const auto &[ok, what] : checks) {
            if (!ok)
                wrong << QLatin1String(what);
        }
        return wrong.join(QLatin1String(", "));
    }
    // Triggers the command, which is to open a modal dialog of class D, and
    // runs script on the dialog while it is up; see driveModal.
    template <typename D>
    bool drive(const char *name, const std::function<void(D *)> &script)
    {
        return driveModal<D>([this, name] { QVERIFY(trigger(name)); }, script);
    }

private:
    std::unique_ptr<ConfigHome> m_config;
    std::unique_ptr<TMainForm> m_form;
};
