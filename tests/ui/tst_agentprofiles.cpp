// SPDX-License-Identifier: MIT
// What a request to an agent goes with, without a window: the version and
// SNMPv3 security of the agent's properties (found whatever the letter case
// of the agent text), the passphrases kept by Agent Properties, and whether
// the community is sent.
#include "ui/agentprofiles.h"

#include <QTest>

Q_DECLARE_METATYPE(AgentVersion)

class TestAgentProfiles final : public QObject
{
    Q_OBJECT

private slots:
    void complete_data();
    void complete();
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
    AgentProfiles profiles(std::make_unique<MemoryKeyring>());
    // Agent Properties confirmed for "Router", the passphrases remembered.
    AgentProfiles::Editing editing = profiles.edit(QStringLiteral("Router"));
    QCOMPARE(editing.agent, QStringLiteral("Router"));
    editing.properties.version = stored;
    editing.properties.userName = QStringLiteral("admin");
    editing.properties.rememberPassphrases = true;
    editing.passphrases = {Secret::fromText("authpass1"), Secret::fromText("privpass1")};
    QVERIFY(!profiles.keep(editing));
    QCOMPARE(profiles.edit(QStringLiteral("rOUTER")).agent, QStringLiteral("Router"));

    QueryRequest request;
    request.agent = typed;
    request.transport.version = SnmpVersion::V2c;
    QTEST(profiles.complete(request), "sendsCommunity");
    QTEST(int(request.transport.version), "version");
    QFETCH(QString, user);
    QCOMPARE(request.security.has_value(), !user.isEmpty());
    if (request.security) {
        QCOMPARE(QString::fromStdString(request.security->userName), user);
        QCOMPARE(request.security->authPassphrase.bytes(), std::string("authpass1"));
        QCOMPARE(request.security->privPassphrase.bytes(), std::string("privpass1"));
    }
}

QTEST_MAIN(TestAgentProfiles)
#include "tst_agentprofiles.moc"
