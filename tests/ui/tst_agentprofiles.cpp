// SPDX-License-Identifier: MIT
// What a request to an agent goes with, without a window: the version and
// SNMPv3 security of the agent's properties (found whatever the letter case
// of the agent text), the passphrases kept by Agent Properties, and whether
// the community is sent; the keyring entries that follow the agent's user,
// version and Remember; and each way a keyring fails, named.
#include "common/messages.h"
#include "tests/support/fakekeyring.h"
#include "ui/agentprofiles.h"

#include <QElapsedTimer>
#include <QTest>

Q_DECLARE_METATYPE(AgentVersion)
Q_DECLARE_METATYPE(Keyring::Failure)

namespace {

// Agent Properties confirmed for "Router": SNMPv3 user admin, passphrases remembered.
void keepAdmin(AgentProfiles &profiles, AgentVersion version = AgentVersion::V3)
{
    AgentProfiles::Editing editing = profiles.edit(QStringLiteral("Router"));
    editing.shown.properties.version = version;
    editing.shown.properties.userName = QStringLiteral("admin");
    editing.shown.properties.rememberPassphrases = true;
    editing.shown.authPassphrase = Secret::fromText(QStringLiteral("authpass1"));
    editing.shown.privPassphrase = Secret::fromText(QStringLiteral("privpass1"));
    profiles.keep(editing, {});
}

} // namespace

class TestAgentProfiles final : public QObject
{
    Q_OBJECT

private slots:
    void complete_data();
    void complete();
    void entriesFollowTheAgent_data();
    void entriesFollowTheAgent();
    void keyringFailures_data();
    void keyringFailures();
};

void TestAgentProfiles::complete_data()
{
    QTest::addColumn<AgentVersion>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("version"); // of the request's transport settings
    QTest::addColumn<bool>("sendsCommunity");
    QTest::addColumn<QString>("user"); // empty: no SNMPv3 security
    QTest::newRow("no properties") << AgentVersion::V3 << "10.0.0.9" << int(SnmpVersion::V2c) << true << "";
    QTest::newRow("default: the options' version") << AgentVersion::Default << "router" << int(SnmpVersion::V2c)
                                                   << true << "";
    QTest::newRow("SNMPv1") << AgentVersion::V1 << "router" << int(SnmpVersion::V1) << true << "";
    QTest::newRow("SNMPv3, other letter case") << AgentVersion::V3 << "ROUTER" << int(SnmpVersion::V2c) << false
                                               << "admin";
}

void TestAgentProfiles::complete()
{
    QFETCH(AgentVersion, stored);
    QFETCH(QString, typed);
    AgentProfiles profiles(std::make_unique<FakeKeyring>(std::make_shared<FakeKeyring::State>()));
    QCOMPARE(profiles.edit(QStringLiteral("Router")).shown.agent, QStringLiteral("Router"));
    keepAdmin(profiles, stored);
    QCOMPARE(profiles.edit(QStringLiteral("rOUTER")).shown.agent, QStringLiteral("Router"));

    QueryRequest request;
    request.agent = typed;
    request.transport.version = SnmpVersion::V2c;
    const AgentProfiles::Completion completion = profiles.complete(request);
    QTEST(completion.sendsCommunity, "sendsCommunity");
    QCOMPARE(completion.missing, AgentProfiles::Missing::Nothing);
    QTEST(int(request.transport.version), "version");
    QFETCH(QString, user);
    QCOMPARE(request.security.has_value(), !user.isEmpty());
    if (request.security) {
        QCOMPARE(QString::fromStdString(request.security->userName), user);
        QCOMPARE(request.security->authPassphrase.bytes(), std::string("authpass1"));
        QCOMPARE(request.security->privPassphrase.bytes(), std::string("privpass1"));
    }
}

void TestAgentProfiles::entriesFollowTheAgent_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("entries"); // in the keyring once it has answered
    QTest::addColumn<bool>("held");           // the agent's passphrases still in memory
    QTest::newRow("kept as they were") << "" << QStringList{"admin@Router"} << true;
    QTest::newRow("another user") << "user" << QStringList{"operator@Router"} << true;
    QTest::newRow("SNMPv2c") << "version" << QStringList() << false;
    QTest::newRow("Remember off") << "remember" << QStringList() << true;
    QTest::newRow("Forget passphrases") << "forget" << QStringList() << false;
    // The write community of a Set, remembered as passphrases are; the v3 user's entry goes.
    QTest::newRow("SNMPv2c, write community")
        << "write" << QStringList{PassphraseVault::entryName(QStringLiteral("Router"), AgentProfiles::writeCommunityKey())}
        << false;
}

// One entry per agent and user: what the agent no longer uses leaves the
// keyring (and memory), what it uses is written there.
void TestAgentProfiles::entriesFollowTheAgent()
{
    QFETCH(QString, change);
    const auto keyring = std::make_shared<FakeKeyring::State>();
    AgentProfiles profiles(std::make_unique<FakeKeyring>(keyring));
    keepAdmin(profiles);
    QTRY_COMPARE(keyring->entries.size(), size_t(1));

    AgentProfiles::Editing editing = profiles.edit(QStringLiteral("router"));
    QCOMPARE(editing.shown.authPassphrase.bytes(), std::string("authpass1")); // held since kept
    AgentProperties &p = editing.shown.properties;
    if (change == QLatin1String("user"))
        p.userName = QStringLiteral("operator");
    else if (change == QLatin1String("version"))
        p.version = AgentVersion::V2c;
    else if (change == QLatin1String("remember"))
        p.rememberPassphrases = false;
    else if (change == QLatin1String("write"))
        p.version = AgentVersion::V2c, editing.shown.writeCommunity = Secret("wr1te-c0m");
    else if (change == QLatin1String("forget"))
        editing.shown.forgetPassphrases = true, editing.shown.authPassphrase = {}, editing.shown.privPassphrase = {};
    profiles.keep(editing, {});

    QFETCH(QStringList, entries);
    QTRY_COMPARE(FakeKeyring::names(*keyring), entries);
    if (!entries.isEmpty())
        QCOMPARE(keyring->entries.begin()->second, change == QLatin1String("write") ? std::string("wr1te-c0m\0", 10)
                                                                                   : std::string("authpass1\0privpass1", 19));
    QCOMPARE(profiles.writeCommunity(QStringLiteral("router")).community.bytes(),
             change == QLatin1String("write") ? std::string("wr1te-c0m") : std::string());
    if (change == QLatin1String("write")) {
        // The next start: Agent Properties confirmed before the keyring was read keeps the entry.
        AgentProfiles next(std::make_unique<FakeKeyring>(keyring));
        next.setProperties(profiles.properties());
        QCOMPARE(next.writeCommunity(QStringLiteral("Router")).missing, AgentProfiles::Missing::Remembered);
        const qsizetype calls = keyring->calls.size();
        next.keep(next.edit(QStringLiteral("Router")), {});
        QCOMPARE(keyring->calls.size(), calls); // not even asked to remove it
    }
    QueryRequest request;
    request.agent = QStringLiteral("Router");
    const AgentProfiles::Completion completion = profiles.complete(request);
    QFETCH(bool, held);
    QCOMPARE(request.security && !request.security->authPassphrase.empty(), held);
    // Nothing held, nothing remembered: the user is asked.
    QCOMPARE(completion.missing, held || !request.security ? AgentProfiles::Missing::Nothing : AgentProfiles::Missing::Unknown);
}

void TestAgentProfiles::keyringFailures_data()
{
    QTest::addColumn<FakeKeyring::Mode>("mode");
    QTest::addColumn<Keyring::Failure>("failure");
    QTest::addColumn<QString>("message");
    QTest::newRow("no Secret Service") << FakeKeyring::Mode::Fail << Keyring::Failure::NoService
                                       << QString::fromLatin1(msg::KeyringNoService);
    QTest::newRow("locked, unlock cancelled") << FakeKeyring::Mode::Fail << Keyring::Failure::Locked
                                              << QString::fromLatin1(msg::KeyringLocked);
    QTest::newRow("the keyring's own words") << FakeKeyring::Mode::Fail << Keyring::Failure::Other
                                             << QString::fromLatin1(msg::KeyringFailed).arg("refused");
    QTest::newRow("never answers") << FakeKeyring::Mode::Silent << Keyring::Failure::None
                                   << QString::fromLatin1(msg::KeyringTimedOut).arg(1);
}

// A read of remembered passphrases fails with its own message, within the
// time limit when the keyring never answers; from then on the session leaves
// the keyring alone: nothing is waited for, nothing written.
void TestAgentProfiles::keyringFailures()
{
    QFETCH(FakeKeyring::Mode, mode);
    QFETCH(Keyring::Failure, failure);
    QFETCH(QString, message);
    const auto keyring = std::make_shared<FakeKeyring::State>();
    const std::chrono::milliseconds limit(300);
    AgentProfiles profiles(std::make_unique<FakeKeyring>(keyring), limit);
    keepAdmin(profiles);
    QTRY_COMPARE(keyring->entries.size(), size_t(1));
    AgentProfiles fresh(std::make_unique<FakeKeyring>(keyring), limit); // the next start
    fresh.setProperties(profiles.properties());
    keyring->mode = mode;
    keyring->failure = failure;

    QueryRequest request;
    request.agent = QStringLiteral("Router");
    QCOMPARE(fresh.complete(request).missing, AgentProfiles::Missing::Remembered);
    std::optional<PassphraseVault::Fetched> fetched;
    QElapsedTimer clock;
    clock.start();
    const auto pending = fresh.fetch(QStringLiteral("Router"), QStringLiteral("admin"),
                                     [&](PassphraseVault::Fetched answer) { fetched = std::move(answer); });
    QTRY_VERIFY(fetched.has_value());
    QVERIFY2(clock.elapsed() < 2 * limit.count(), qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!fetched->passphrases);
    QCOMPARE(fetched->failure.message(), message);
    QCOMPARE(fresh.keyringProblem(), message);

    const qsizetype calls = keyring->calls.size();
    QCOMPARE(fresh.complete(request).missing, AgentProfiles::Missing::Unknown);
    AgentProfiles::Editing editing = fresh.edit(QStringLiteral("Router"));
    QCOMPARE(editing.shown.keyringProblem, message);
    editing.shown.authPassphrase = Secret::fromText(QStringLiteral("typed-auth"));
    fresh.keep(editing, {}); // kept in memory, nothing asked of the keyring
    QCOMPARE(fresh.complete(request).missing, AgentProfiles::Missing::Nothing);
    QCOMPARE(keyring->calls.size(), calls);
}

QTEST_MAIN(TestAgentProfiles)
#include "tst_agentprofiles.moc"
