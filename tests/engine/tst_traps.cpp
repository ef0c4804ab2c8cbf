// SPDX-License-Identifier: MIT
// The notification receiver without a window: Net-SNMP's own senders of
// every version (informs answered, so the sender exits 0), the RFC 3584
// translation of an SNMPv1 Trap-PDU, refusals counted with their reasons,
// bad datagrams that change nothing, ports that cannot be had, a burst of
// 10,000 that loses none.

#include "engine/snmp/notificationsession.h"
#include "engine/snmp/snmpmgr.h"
#include "engine/traps/packedbindings.h"
#include "engine/traps/trapreceiver.h"
#include "tests/support/bercodec.h"
#include "tests/support/loopbackudp.h"
#include "tests/support/trapsenders.h"

#include <QTest>

#include <fcntl.h>

#include <set>

namespace {

using namespace notificationoids;

class Collect final : public NotificationSink
{
public:
    std::vector<Notification> got;
    std::vector<Rejection> refused;
    void received(Notification &&n) override { got.push_back(std::move(n)); }
    void rejected(Rejection &&r) override { refused.push_back(std::move(r)); }
};

QString dotted(const std::vector<uint32_t> &ids)
{
    QString text;
    for (const uint32_t id : ids)
        text += QLatin1Char('.') + QString::number(id);
    return text;
}

QStringList names(const Notification &n)
{
    QStringList list;
    for (const SnmpVarBind &b : n.bindings)
        list << dotted(b.name.ids);
    return list;
}

QByteArray tlv(uint8_t tag, const QByteArray &content)
{
    return ber::encodeTlv(tag, content);
}

QByteArray integer(int64_t value)
{
    return tlv(0x02, ber::integerContent(value));
}

QByteArray oid(const char *dotted)
{
    return tlv(0x06, ber::oidContent(ber::parseOid(dotted)));
}

QByteArray varbinds(const QByteArray &pairs)
{
    return tlv(0x30, pairs);
}

QByteArray pair(const char *name, const QByteArray &value)
{
    return tlv(0x30, oid(name) + value);
}

// SNMPv1's Trap-PDU: enterprise, agent address, generic, specific, time-stamp, bindings.
QByteArray trapV1(int generic, int specific, const QByteArray &bindings)
{
    const QByteArray pdu = oid("1.3.6.1.4.1.8072.3.2.10") + tlv(0x40, QByteArray("\x0A\x00\x00\x07", 4))
        + integer(generic) + integer(specific) + tlv(0x43, ber::unsignedContent(4242)) + varbinds(bindings);
    return tlv(0x30, integer(0) + tlv(0x04, "public") + tlv(0xA4, pdu));
}

QByteArray message(int version, uint8_t type, const QByteArray &bindings)
{
    const QByteArray pdu = integer(77) + integer(0) + integer(0) + varbinds(bindings);
    return tlv(0x30, integer(version) + tlv(0x04, "public") + tlv(type, pdu));
}

const QByteArray IfIndex3 = pair("1.3.6.1.2.1.2.2.1.1.3", integer(3));
const QByteArray V2Head = pair("1.3.6.1.2.1.1.3.0", tlv(0x43, ber::unsignedContent(99)))
    + pair("1.3.6.1.6.3.1.1.4.1.0", oid("1.3.6.1.6.3.1.1.5.3"));

// The port argument of the senders.
QString target(quint16 port)
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

ListeningUser testUser(const std::string &engineId)
{
    ListeningUser user;
    user.security.userName = TrapSender::User;
    user.security.level = SecurityLevel::AuthPriv;
    user.security.auth = AuthProtocol::SHA256;
    user.security.priv = PrivProtocol::AES256;
    user.security.authPassphrase = Secret(TrapSender::AuthPassphrase);
    user.security.privPassphrase = Secret(TrapSender::PrivPassphrase);
    user.engineId = engineId;
    return user;
}

} // namespace

class TestTraps final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void datagrams_data();
    void datagrams();
    void netSnmpSenders_data();
    void netSnmpSenders();
    void usersOutliveQuerySessions();
    void everyAddressBothFamilies();
    void portsThatCannotBeHad_data();
    void portsThatCannotBeHad();
    void burstLosesNothing();
    void informAnswerThatCannotGoOut();

private:
    void sendRaw(const QByteArray &datagram);

    Collect m_sink;
    std::unique_ptr<TrapReceiver> m_receiver;
    quint16 m_port = 0;
    std::string m_engineId;
};

void TestTraps::initTestCase()
{
    m_engineId = QByteArray::fromHex(TrapSender::EngineIdHex).toStdString();
}

void TestTraps::init()
{
    m_sink = Collect();
    m_receiver = std::make_unique<TrapReceiver>(m_sink);
    m_receiver->setCommunities({"public"});
    // Ports the kernel hands out are free a moment later; another test may
    // take one first, so a few are tried.
    for (int attempt = 0; attempt < 5 && !m_receiver->isListening(); ++attempt) {
        m_port = freeLoopbackPort();
        m_receiver->listen("127.0.0.1", m_port, {}, {}, 0);
    }
    QVERIFY(m_receiver->isListening());
    std::vector<ListeningUser> users;
    users.push_back(testUser(m_engineId));
    QCOMPARE(m_receiver->setUsers(std::move(users)), std::string());
}

void TestTraps::cleanup()
{
    m_receiver.reset();
}

void TestTraps::sendRaw(const QByteArray &datagram)
{
    const UdpSocket socket;
    const sockaddr_in to = loopbackAddress(m_port);
    QCOMPARE(::sendto(socket.fd(), datagram.constData(), size_t(datagram.size()), 0,
                      reinterpret_cast<const sockaddr *>(&to), sizeof to),
             ssize_t(datagram.size()));
}

void TestTraps::datagrams_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("trapOid");       // empty: refused
    QTest::addColumn<QStringList>("bindings"); // the names, in order; or the reason's words
    const QString upTime = QStringLiteral(".1.3.6.1.2.1.1.3.0");
    const QString trapOid = QStringLiteral(".1.3.6.1.6.3.1.1.4.1.0");
    const QString rfc3584 = QStringLiteral(".1.3.6.1.6.3.18.1.3.0 .1.3.6.1.6.3.18.1.4.0 .1.3.6.1.6.3.1.1.4.3.0");

    QTest::newRow("SNMPv1 linkDown: RFC 3584's form")
        << trapV1(2, 0, IfIndex3) << QStringLiteral(".1.3.6.1.6.3.1.1.5.3")
        << (QStringList{upTime, trapOid, QStringLiteral(".1.3.6.1.2.1.2.2.1.1.3")} + rfc3584.split(u' '));
    QTest::newRow("SNMPv1 enterpriseSpecific: enterprise.0.specific")
        << trapV1(6, 17, {}) << QStringLiteral(".1.3.6.1.4.1.8072.3.2.10.0.17") << (QStringList{upTime, trapOid} + rfc3584.split(u' '));
    QTest::newRow("SNMPv1 with snmpTrapAddress.0 of its own: not added twice")
        << trapV1(0, 0, pair("1.3.6.1.6.3.18.1.3.0", tlv(0x40, QByteArray(4, '\x01')))) << QStringLiteral(".1.3.6.1.6.3.1.1.5.1")
        << QStringList{upTime, trapOid, QStringLiteral(".1.3.6.1.6.3.18.1.3.0"), QStringLiteral(".1.3.6.1.6.3.18.1.4.0"),
                       QStringLiteral(".1.3.6.1.6.3.1.1.4.3.0")};
    QTest::newRow("SNMPv2c trap") << message(1, 0xA7, V2Head + IfIndex3) << QStringLiteral(".1.3.6.1.6.3.1.1.5.3")
                                  << QStringList{upTime, trapOid, QStringLiteral(".1.3.6.1.2.1.2.2.1.1.3")};
    QTest::newRow("SNMPv2c trap without snmpTrapOID.0") << message(1, 0xA7, IfIndex3) << QString()
                                                       << QStringList{QStringLiteral(".1.3.6.1.2.1.2.2.1.1.3")};

    const auto refused = [](const char *name, const QByteArray &datagram, const char *reason) {
        QTest::newRow(name) << datagram << QStringLiteral("-") << QString::fromLatin1(reason).split(u'|');
    };
    refused("empty", QByteArray(), "Not an SNMP message.");
    refused("garbage", QByteArray("\x30\x84\xFF\xFF\xFF\xFF\x02\x01", 8), "Not an SNMP message.");
    refused("unknown version", message(7, 0xA7, V2Head), "Unknown SNMP version 7.");
    refused("truncated", message(1, 0xA7, V2Head + IfIndex3).chopped(3), "Not an SNMP message.");
    refused("truncated inside the PDU", [] {
        QByteArray d = message(1, 0xA7, V2Head + IfIndex3);
        d[1] = char(d[1] - 1); // the outer length still holds, the last binding does not
        return d.chopped(1);
    }(), "Malformed or truncated message.");
    refused("a GetRequest", message(1, 0xA0, V2Head), "Not a notification: a GetRequest.");
    refused("an SNMPv2 trap in an SNMPv1 message", message(0, 0xA7, V2Head), "Not a notification");
    refused("an SNMPv1 Trap-PDU in an SNMPv2c message", [] {
        QByteArray d = trapV1(2, 0, {});
        d[4] = 1; // the version's one content octet
        return d;
    }(), "Not a notification");
    refused("a name that is no OID", message(1, 0xA7, tlv(0x30, tlv(0x06, "\x81") + integer(1))),
            "no object identifier");
    refused("SNMPv3 that is no SNMPv3 message", tlv(0x30, integer(3) + tlv(0x04, "x")), "Not read|Malformed");
}

// Each datagram through the socket: taken in the SNMPv2 form, or refused
// and counted with its reason; either way the receiver takes a good trap next.
void TestTraps::datagrams()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, trapOid);
    QFETCH(QStringList, bindings);

    sendRaw(datagram);
    sendRaw(message(1, 0xA7, V2Head));
    QTRY_COMPARE(m_receiver->counts().received + m_receiver->counts().rejected, uint64_t(2));
    QCOMPARE(m_sink.got.size() + m_sink.refused.size(), size_t(2));
    if (trapOid == QLatin1String("-")) {
        QCOMPARE(m_sink.refused.size(), size_t(1));
        const QString reason = QString::fromStdString(m_sink.refused[0].reason);
        QVERIFY2(std::any_of(bindings.begin(), bindings.end(), [&](const QString &part) { return reason.contains(part); }),
                 qPrintable(reason));
        QCOMPARE(m_sink.refused[0].sender.address, std::string("127.0.0.1"));
        return;
    }
    QCOMPARE(m_sink.got.size(), size_t(2));
    const Notification &n = m_sink.got[0];
    QCOMPARE(dotted(n.trapOid.ids), trapOid);
    QCOMPARE(names(n), bindings);
    QCOMPARE(n.community, std::string("public"));
    if (n.version == NotificationVersion::V1) {
        // The Trap-PDU's fields are kept besides: agent address, community, enterprise as bindings too.
        QVERIFY(n.v1);
        QCOMPARE(n.v1->agentAddress, std::string("\x0A\x00\x00\x07", 4));
        QCOMPARE(n.bindings[0].value.unsigned32, 4242u);
        QCOMPARE(n.bindings[n.bindings.size() - 2].value.bytes, std::string("public"));
        QCOMPARE(dotted(n.bindings.back().value.object.ids), QStringLiteral(".1.3.6.1.4.1.8072.3.2.10"));
    }
    // What the list keeps of them reads back the same.
    const std::vector<SnmpVarBind> again = unpackBindings(packBindings(n.bindings));
    QCOMPARE(again.size(), n.bindings.size());
    for (size_t i = 0; i < again.size(); ++i) {
        QCOMPARE(again[i].name.ids, n.bindings[i].name.ids);
        QCOMPARE(again[i].value.asnType, n.bindings[i].value.asnType);
        QCOMPARE(again[i].value.bytes, n.bindings[i].value.bytes);
        QCOMPARE(again[i].value.object.ids, n.bindings[i].value.object.ids);
        QCOMPARE(again[i].value.number, n.bindings[i].value.number);
        QCOMPARE(again[i].value.unsigned32, n.bindings[i].value.unsigned32);
    }
}

void TestTraps::netSnmpSenders_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments"); // before the target; the trap's fields after it
    QTest::addColumn<QStringList>("trap");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("expected"); // version and identity, or the reason's words

    const QStringList linkDownV2 = {QString(), QStringLiteral(".1.3.6.1.6.3.1.1.5.3"), QStringLiteral(".1.3.6.1.2.1.2.2.1.1.3"),
                                    QStringLiteral("i"), QStringLiteral("3")};
    const QStringList c = {QStringLiteral("-v2c"), QStringLiteral("-c"), QStringLiteral("public")};
    const QStringList e = {QStringLiteral("-e"), QStringLiteral("0x") + QLatin1String(TrapSender::EngineIdHex)};
    QTest::newRow("snmptrap -v1") << QStringLiteral("snmptrap") << QStringList{"-v1", "-c", "public"}
                                  << QStringList{".1.3.6.1.4.1.8072.3.2.10", "10.0.0.7", "2", "0", "", ".1.3.6.1.2.1.2.2.1.1.3", "i", "3"}
                                  << true << QStringLiteral("SNMPv1 public");
    QTest::newRow("snmptrap -v2c") << QStringLiteral("snmptrap") << c << linkDownV2 << true << QStringLiteral("SNMPv2c public");
    QTest::newRow("snmpinform -v2c") << QStringLiteral("snmpinform") << c << linkDownV2 << true << QStringLiteral("SNMPv2c public");
    QTest::newRow("snmptrap -v3 -e, authPriv SHA-256 AES-256") << QStringLiteral("snmptrap") << (TrapSender::v3Arguments() + e)
                                                               << linkDownV2 << true << QStringLiteral("SNMPv3 nvtrap");
    QTest::newRow("snmpinform -v3") << QStringLiteral("snmpinform") << TrapSender::v3Arguments() << linkDownV2 << true << QStringLiteral("SNMPv3 nvtrap");
    QTest::newRow("a wrong community") << QStringLiteral("snmptrap") << QStringList{"-v2c", "-c", "private"} << linkDownV2 << false
                                       << QStringLiteral("Community 'private' is not accepted.");
    QTest::newRow("a wrong SNMPv3 passphrase") << QStringLiteral("snmptrap")
                                               << (TrapSender::v3Arguments(QStringLiteral("wrongAuth-0000")) + e)
                                               << linkDownV2 << false << QStringLiteral("Authentication failed for user 'nvtrap'");
    QTest::newRow("an inform with a wrong SNMPv3 passphrase")
        << QStringLiteral("snmpinform") << TrapSender::v3Arguments(QStringLiteral("wrongAuth-0000")) << linkDownV2 << false
        << QStringLiteral("Authentication failed for user 'nvtrap'");
    QTest::newRow("an SNMPv3 trap from an engine not set up") << QStringLiteral("snmptrap")
                                                              << (TrapSender::v3Arguments() + QStringList{"-e", "0x8000000009090909"})
                                                              << linkDownV2 << false << QStringLiteral("Unknown user 'nvtrap'");
}

void TestTraps::netSnmpSenders()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, trap);
    QFETCH(bool, taken);
    QFETCH(QString, expected);

    TrapSender sender;
    // Informs wait 1 s for their answer, then try once more.
    QVERIFY(sender.start(tool, arguments + QStringList{QStringLiteral("-t"), QStringLiteral("1"), QStringLiteral("-r"),
                                                       QStringLiteral("1"), target(m_port)} + trap));
    QTRY_VERIFY_WITH_TIMEOUT(sender.finished(), 15000);
    const QString output = sender.output();
    const bool inform = tool == QLatin1String("snmpinform");
    // An inform is answered; one refused is not, and the sender says so.
    QVERIFY2((sender.exitCode() == 0) == (taken || !inform), qPrintable(output));
    if (!taken) {
        QTRY_VERIFY(!m_sink.refused.empty());
        QVERIFY(m_sink.got.empty());
        const QString reason = QString::fromStdString(m_sink.refused.back().reason);
        QVERIFY2(reason.contains(expected), qPrintable(reason));
        QCOMPARE(m_receiver->counts().received, uint64_t(0));
        QVERIFY(m_receiver->counts().rejected >= 1);
        return;
    }
    QTRY_COMPARE(m_sink.got.size(), size_t(1));
    const Notification &n = m_sink.got[0];
    QCOMPARE(QStringLiteral("%1 %2").arg(QLatin1String(versionName(n.version)),
                                         QString::fromStdString(n.version == NotificationVersion::V3 ? n.user : n.community)),
             expected);
    QCOMPARE(dotted(n.trapOid.ids), QStringLiteral(".1.3.6.1.6.3.1.1.5.3"));
    QVERIFY(names(n).contains(QStringLiteral(".1.3.6.1.2.1.2.2.1.1.3")));
    QCOMPARE(n.inform, inform);
    QCOMPARE(m_receiver->counts().informsAnswered, uint64_t(inform ? 1 : 0));
    if (n.version == NotificationVersion::V1)
        QCOMPARE(n.v1->agentAddress, std::string("\x0A\x00\x00\x07", 4));
    QVERIFY(m_sink.refused.empty());
}

// A query over SNMPv3 forgets the users of earlier sessions; the receiver's stay.
void TestTraps::usersOutliveQuerySessions()
{
    AgentSecurity security = testUser({}).security.copy();
    security.userName = "someone";
    SnmpMgrClose(SnmpMgrOpen("127.0.0.1:1", security, 100, 0));

    TrapSender sender;
    QVERIFY(sender.start(QStringLiteral("snmptrap"),
                         TrapSender::v3Arguments() + QStringList{"-e", QStringLiteral("0x") + TrapSender::EngineIdHex, target(m_port), "",
                                                                 ".1.3.6.1.6.3.1.1.5.3"}));
    QTRY_VERIFY(sender.finished());
    QTRY_COMPARE(m_sink.got.size(), size_t(1));
    QVERIFY(m_sink.refused.empty());
}

// No address: one socket for IPv4 and IPv6, an IPv4 sender shown as such.
void TestTraps::everyAddressBothFamilies()
{
    TrapReceiver all(m_sink);
    all.setCommunities({"public"});
    const quint16 port = freeLoopbackPort();
    QVERIFY(all.listen({}, port, {}, {}, 0).problem.empty());
    const QByteArray trap = message(1, 0xA7, V2Head);
    const UdpSocket v4;
    const sockaddr_in to4 = loopbackAddress(port);
    QCOMPARE(::sendto(v4.fd(), trap.constData(), size_t(trap.size()), 0, reinterpret_cast<const sockaddr *>(&to4), sizeof to4),
             ssize_t(trap.size()));
    const int v6 = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 to6{};
    to6.sin6_family = AF_INET6;
    to6.sin6_addr = in6addr_loopback;
    to6.sin6_port = htons(port);
    const bool sent6 = v6 >= 0
        && ::sendto(v6, trap.constData(), size_t(trap.size()), 0, reinterpret_cast<const sockaddr *>(&to6), sizeof to6)
            == ssize_t(trap.size());
    if (v6 >= 0)
        ::close(v6);
    QTRY_COMPARE(m_sink.got.size(), size_t(sent6 ? 2 : 1));
    QCOMPARE(m_sink.got[0].sender.address, std::string("127.0.0.1"));
    QVERIFY(m_sink.got[0].sender.port != 0);
    if (!sent6)
        QSKIP("no IPv6 loopback here: IPv4 alone checked");
    QCOMPARE(m_sink.got[1].sender.address, std::string("::1"));
}

void TestTraps::portsThatCannotBeHad_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("taken"); // the port held by another socket
    QTest::addColumn<QStringList>("words");
    QTest::newRow("in use") << QStringLiteral("127.0.0.1") << true << QStringList{"is in use by another program", "another port"};
    QTest::newRow("no address") << QStringLiteral("nonsense") << false << QStringList{"'nonsense' is no IPv4 or IPv6 address"};
    QTest::newRow("not ours") << QStringLiteral("192.0.2.1") << false << QStringList{"'192.0.2.1' is not an address of this computer."};
}

void TestTraps::portsThatCannotBeHad()
{
    QFETCH(QString, address);
    QFETCH(bool, taken);
    QFETCH(QStringList, words);
    const UdpSocket holder;
    const quint16 port = taken ? bindLoopback(holder.fd(), 0) : freeLoopbackPort();
    TrapReceiver other(m_sink);
    const TrapReceiver::Listening listening = other.listen(address.toStdString(), port, {}, {}, 0);
    const QString problem = QString::fromStdString(listening.problem);
    for (const QString &word : words)
        QVERIFY2(problem.contains(word), qPrintable(problem));
    QVERIFY(!other.isListening());
    // The first receiver is not disturbed.
    sendRaw(message(1, 0xA7, V2Head));
    QTRY_COMPARE(m_sink.got.size(), size_t(1));

    // Privilege: the tests may run as root, so the advice is checked as written.
    const QString advice = QString::fromStdString(bindProblemText(EACCES, {}, 162, "/usr/bin/norvane"));
    QVERIFY2(advice.contains(QLatin1String("setcap cap_net_bind_service=+ep /usr/bin/norvane")), qPrintable(advice));
    QVERIFY2(advice.contains(QLatin1String("above 1023")), qPrintable(advice));
}

// 10,000 traps from one Net-SNMP session as fast as it sends them: every one
// reaches the sink, none is counted lost.
void TestTraps::burstLosesNothing()
{
    constexpr int Count = 10000;
    TrapSender sender;
    QVERIFY(sender.start(QStringLiteral(TRAPBURST_PATH), {target(m_port), QString::number(Count)}));
    QTRY_VERIFY_WITH_TIMEOUT(sender.finished(), 60000);
    QCOMPARE(sender.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_sink.got.size(), size_t(Count), 60000);
    std::set<int32_t> indexes;
    for (const Notification &n : m_sink.got)
        indexes.insert(n.bindings.at(2).value.number);
    QCOMPARE(indexes.size(), size_t(Count));
    QCOMPARE(m_receiver->counts().lost, uint64_t(0));
    QCOMPARE(m_receiver->counts().rejected, uint64_t(0));
}

// A Response that cannot go out (the socket is no socket) is reported, not hidden.
void TestTraps::informAnswerThatCannotGoOut()
{
    int pipeFds[2];
    QCOMPARE(::pipe2(pipeFds, O_CLOEXEC), 0);
    {
        NotificationSession session(pipeFds[1]);
        const QByteArray inform = message(1, 0xA6, V2Head);
        const sockaddr_in from = loopbackAddress(9);
        QVERIFY(!session.answerInform(reinterpret_cast<const uint8_t *>(inform.constData()), size_t(inform.size()),
                                      reinterpret_cast<const sockaddr *>(&from), sizeof from));
    }
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

QTEST_GUILESS_MAIN(TestTraps)
#include "tst_traps.moc"
