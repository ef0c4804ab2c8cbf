// SPDX-License-Identifier: MIT
// The options dialog opened from the main window: what it confirms is what
// the next Run's session uses, and nothing reaches the settings file before exit.
#include "store/registryhive.h"
#include "tests/support/modaldriver.h"
#include "tests/support/scriptedagent.h"
#include "tests/support/windowfixture.h"
#include "ui/dialogs/optionsdialog.h"
#include "ui/results/resultmodel.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include <chrono>
#include <thread>

namespace {

// Answers every request LateMs after it came (on the agent's thread):
// past the old timeout of 1000 ms, well within the new one of 2000.
constexpr int LateMs = 1200;
ScriptedAgent::Handler lateHandler()
{
    return [table = ScriptedAgent::tableHandler({{ScriptedAgent::oid("1.3.6.1.2.1.1.1.0"), ScriptedAgent::Value::octets("tarnel")}})](
               const ScriptedAgent::Request &request) {
        std::this_thread::sleep_for(std::chrono::milliseconds(LateMs));
        return table(request);
    };
}

} // namespace

class TestOptionsWindow final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void confirmedValuesOpenTheNextRunsSession();
    void cancellingKeepsTheOldValues_data();
    void cancellingKeepsTheOldValues();

private:
    QStringList configFiles() const;

    WindowFixture m_window;
};

void TestOptionsWindow::init()
{
    // Each window starts from an empty settings folder, which shows whether anything was written.
    QVERIFY(m_window.start(WindowFixture::Dialogs::Real));
}

void TestOptionsWindow::cleanup()
{
    m_window.stop();
}

QStringList TestOptionsWindow::configFiles() const
{
    QStringList files;
    QDirIterator it(m_window.settingsFolder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

void TestOptionsWindow::confirmedValuesOpenTheNextRunsSession()
{
    m_window->move(120, 60);
    const bool opened = m_window.drive<TOptionsDialog>("actOptions", [this](TOptionsDialog *dialog) {
        QCOMPARE(dialog->parentWidget(), m_window.get());
        QVERIFY(centredOver(dialog, m_window.get()));
        QCOMPARE(fieldText(dialog, "edtTimeOut"), QStringLiteral("1000"));
        QCOMPARE(fieldText(dialog, "edtRetries"), QStringLiteral("1"));
        QTRY_COMPARE(focusName(), QStringLiteral("edtTimeOut"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(fieldText(dialog, "edtTimeOut"), QStringLiteral("2000"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusName(), QStringLiteral("edtRetries"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(fieldText(dialog, "edtRetries"), QStringLiteral("2"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(child<QComboBox>(dialog, "cboVersion")->currentText(), QStringLiteral("2c"));
        QTest::mouseClick(child<QPushButton>(dialog, "btnOk"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    });
    QVERIFY(opened);
    QCOMPARE(m_window->transport().timeOut, 2000);
    QCOMPARE(m_window->transport().retries, 2);
    QCOMPARE(m_window->transport().version, SnmpVersion::V2c);
    QCOMPARE(m_window->findChild<TOptionsDialog *>(), nullptr);
    // The settings are written when the program ends, not here.
    QVERIFY(!QFileInfo::exists(RegistryHive::defaultFilePath()));
    QCOMPARE(configFiles(), QStringList());

    // A Get from an agent that answers after 1.2 s: with the new timeout of
    // two seconds the first attempt gets it, with the old one a retry would go.
    ScriptedAgent agent;
    agent.setHandler(lateHandler());
    QVERIFY(agent.start());
    m_window->agentBox()->setEditText(agent.address());
    m_window->communityBox()->setEditText(QStringLiteral("tarnel"));
    m_window->oidBox()->setEditText(QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    QVERIFY(m_window.trigger("actGet"));
    ErrorBoxWatch errors;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_window.trigger("actRun"));

    QCOMPARE(errors.texts, QStringList());
    QCOMPARE(m_window->results().storedRowCount(), 1);
    QVERIFY(clock.elapsed() >= LateMs);
    QCOMPARE(agent.requests().size(), size_t(1));
    QCOMPARE(agent.requests().front().version, int64_t(1)); // SNMPv2c
    QVERIFY(m_window->isIdle());
    QCOMPARE(configFiles(), QStringList());
    // The settings go to that file when the window goes, as at program end.
    m_window.quit();
    QVERIFY(QFileInfo::exists(RegistryHive::defaultFilePath()));
}

void TestOptionsWindow::cancellingKeepsTheOldValues_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("Esc") << "escape";
    QTest::newRow("close box") << "close";
}

void TestOptionsWindow::cancellingKeepsTheOldValues()
{
    QFETCH(QString, way);
    // Values from an earlier confirmation, not the defaults.
    m_window->setTransport({3000, 4, SnmpVersion::V2c});
    bool closed = false;
    const bool opened = m_window.drive<TOptionsDialog>("actOptions", [&](TOptionsDialog *dialog) {
        QCOMPARE(fieldText(dialog, "edtTimeOut"), QStringLiteral("3000"));
        QCOMPARE(fieldText(dialog, "edtRetries"), QStringLiteral("4"));
        QTRY_COMPARE(focusName(), QStringLiteral("edtTimeOut"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QTest::keyClick(child<QLineEdit>(dialog, "edtRetries"), Qt::Key_Down);
        QCOMPARE(fieldText(dialog, "edtTimeOut"), QStringLiteral("4000"));
        QCOMPARE(fieldText(dialog, "edtRetries"), QStringLiteral("3"));
        child<QComboBox>(dialog, "cboVersion")->setCurrentIndex(0);
        if (way == "cancel")
            QTest::mouseClick(child<QPushButton>(dialog, "btnCancel"), Qt::LeftButton);
        else if (way == "escape")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            dialog->close();
        closed = !dialog->isVisible();
    });
    QVERIFY(opened);
    QVERIFY(closed);
    QCOMPARE(m_window->transport().timeOut, 3000);
    QCOMPARE(m_window->transport().retries, 4);
    QCOMPARE(m_window->transport().version, SnmpVersion::V2c);

    // The next opening shows them; OK without a change writes them back as shown.
    QVERIFY(m_window.drive<TOptionsDialog>("actOptions", [](TOptionsDialog *dialog) {
        QCOMPARE(fieldText(dialog, "edtTimeOut"), QStringLiteral("3000"));
        QCOMPARE(fieldText(dialog, "edtRetries"), QStringLiteral("4"));
        QTRY_COMPARE(focusName(), QStringLiteral("edtTimeOut"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!dialog->isVisible());
    }));
    QCOMPARE(m_window->transport().timeOut, 3000);
    QCOMPARE(m_window->transport().retries, 4);
    QCOMPARE(configFiles(), QStringList());
}

QTEST_MAIN(TestOptionsWindow)
#include "tst_optionswindow.moc"
