// SPDX-License-Identifier: MIT
// Agent Properties through the window: an SNMPv3 agent set up in the dialog
// runs, its properties come back at the next start, its passphrases from
// the desktop keyring when there is one (gnome-keyring in a D-Bus session of
// the test's own, tests/support/with-keyring.sh) and from nowhere when there
// is none; and no passphrase reaches the settings file, the result file or
// the program's output.

#include "common/apperror.h"
#include "common/messages.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/v3users.h"
#include "tests/support/windowfixture.h"
#include "ui/results/resultmodel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <QTest>

#include <unistd.h>

using namespace v3users;

namespace {

// Whatever the process writes to stdout and stderr while it lives, in a file.
class CapturedOutput
{
public:
    CapturedOutput()
    {
        m_file.open();
        std::fflush(nullptr);
        m_stdout = ::dup(1);
        m_stderr = ::dup(2);
        ::dup2(m_file.handle(), 1);
        ::dup2(m_file.handle(), 2);
    }
    ~CapturedOutput() { restore(); }
    QByteArray text()
    {
        restore();
        QFile file(m_file.fileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    void restore()
    {
        if (m_stdout < 0)
            return;
        std::fflush(nullptr);
        ::dup2(m_stdout, 1);
        ::dup2(m_stderr, 2);
        ::close(m_stdout);
        ::close(m_stderr);
        m_stdout = m_stderr = -1;
    }
    QTemporaryFile m_file;
    int m_stdout = -1;
    int m_stderr = -1;
};

bool keyringAvailable()
{
    return !qEnvironmentVariableIsEmpty("GNOME_KEYRING_CONTROL");
}

} // namespace

class TestAgentProperties final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void v3AgentAcrossStarts();

private:
    SnmpdAgent m_snmpd;
};

void TestAgentProperties::initTestCase()
{
    m_snmpd.addConfig(snmpdConfig());
    QVERIFY2(m_snmpd.start(), qPrintable(m_snmpd.log()));
}

// Run twice, with a keyring (remembered passphrases come back) and without
// one (the dialog says so; the passphrases are gone at the next start, the
// other properties are not).
void TestAgentProperties::v3AgentAcrossStarts()
{
    CapturedOutput output;
    const QString user = userName(AuthProtocol::SHA256, PrivProtocol::AES256);
    WindowFixture window;
    QVERIFY(window.start());
    const QString results = window.settingsFolder() + QStringLiteral("/results.txt");
    window.log.answerFile = [&] { return std::optional<QString>(results); };
    window.log.answerAgent = [&](const QString &agent, AgentProperties &p, Secret &auth, Secret &priv) {
        if (agent != m_snmpd.address())
            return false;
        p.version = AgentVersion::V3;
        p.userName = user;
        p.level = SecurityLevel::AuthPriv;
        p.auth = AuthProtocol::SHA256;
        p.priv = PrivProtocol::AES256;
        p.rememberPassphrases = true;
        auth = Secret(AuthPassphrase);
        priv = Secret(PrivPassphrase);
        return true;
    };
    // The Community box is not used with SNMPv3: empty, it is no error.
    window.setInputs(m_snmpd.address(), QString(), QStringLiteral("1.3.6.1.2.1.1.5.0"));
    QVERIFY(window.trigger("actAgentProperties"));
    if (keyringAvailable()) {
        QCOMPARE(window.log.errors, QStringList());
    } else {
        QCOMPARE(window.log.errors.size(), 1);
        QVERIFY2(window.log.errors[0].startsWith(QLatin1String("The desktop keyring could not be used (")),
                 qPrintable(window.log.errors[0]));
    }
    QVERIFY(window.trigger("actRun"));
    QTRY_COMPARE(window->results().rowCount(), 1);
    QCOMPARE(window->results().index(0, 3).data().toString(), QString::fromLatin1(SnmpdAgent::SysName));
    QVERIFY(window.trigger("actSaveAs"));
    QVERIFY(QFile::exists(results));

    // The next start: the properties from the settings file, the passphrases
    // from the keyring or not at all.
    window.quit();
    window.log.errors.clear();
    QVERIFY(window.open());
    AgentProperties shown;
    QString shownAuth;
    window.log.answerAgent = [&](const QString &, AgentProperties &p, Secret &auth, Secret &) {
        shown = p;
        shownAuth = auth.toText();
        return false;
    };
    window.setInputs(m_snmpd.address(), QString(), QStringLiteral("1.3.6.1.2.1.1.5.0"));
    QVERIFY(window.trigger("actAgentProperties"));
    QCOMPARE(shown.version, AgentVersion::V3);
    QCOMPARE(shown.userName, user);
    QCOMPARE(shown.priv, PrivProtocol::AES256);
    QVERIFY(shown.rememberPassphrases);
    QVERIFY(window.trigger("actRun"));
    if (keyringAvailable()) {
        QCOMPARE(shownAuth, QString::fromLatin1(AuthPassphrase));
        QTRY_COMPARE(window->results().rowCount(), 1);
        QCOMPARE(window.log.errors, QStringList());
    } else {
        QCOMPARE(shownAuth, QString());
        QTRY_COMPARE(window.log.errors.size(), 2);
        QCOMPARE(window.log.errors[1], QString::fromStdString(formatMessage(msg::UsmShortPassphrase, "authentication")));
    }
    window.quit();

    // Nowhere in a file or in what the program wrote.
    QFile settings(window.settingsFolder() + QStringLiteral("/Ferrolyn/Norvane.reg"));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QByteArray settingsText = settings.readAll();
    QVERIFY(settingsText.contains("[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\Agents\\127.0.0.1:"));
    QFile resultFile(results);
    QVERIFY(resultFile.open(QIODevice::ReadOnly));
    const QByteArray printed = output.text();
    for (const QByteArray &text : {settingsText, resultFile.readAll(), printed}) {
        QVERIFY(!text.contains(AuthPassphrase));
        QVERIFY(!text.contains(PrivPassphrase));
    }
}

QTEST_MAIN(TestAgentProperties)
#include "tst_agentproperties.moc"
