// SPDX-License-Identifier: MIT
// The benchmark agent answers by computing the binding at a position; these
// check it against what a walk needs: every row once, in increasing order,
// the right successor from any name, exact Gets, v1 errors, SNMPv2c bulk
// answers and exceptions, and well-formed long messages. Requests and answers go through the test codec, not
// Net-SNMP, so a fault on either side cannot hide one on the other.
#include "tests/support/bercodec.h"

#include <QProcess>
#include <QSet>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {

using ber::Oid;

constexpr uint8_t GetRequest = 0xA0;
constexpr uint8_t GetNextRequest = 0xA1;
constexpr uint8_t GetBulkRequest = 0xA5;

Oid oid(const char *dotted)
{
    return ber::parseOid(dotted);
}

Oid child(Oid parent, std::initializer_list<uint32_t> ids)
{
    parent.insert(parent.end(), ids);
    return parent;
}

const Oid MibTwo = oid("1.3.6.1.2.1");
const Oid IfEntry = oid("1.3.6.1.2.1.2.2.1");
const Oid IpAddrEntry = oid("1.3.6.1.2.1.4.20.1");

bool startsWith(const Oid &name, const Oid &prefix)
{
    return name.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
}

// One bench agent process serving the given number of rows.
class AgentProcess
{
public:
    explicit AgentProcess(quint64 rows)
    {
        m_process.setProgram(QStringLiteral(BENCH_AGENT_PATH));
        m_process.setArguments({QStringLiteral("--rows"), QString::number(rows)});
        m_process.start();
        if (!m_process.waitForStarted(5000) || !m_process.waitForReadyRead(5000))
            return;
        const QByteArray line = m_process.readLine().trimmed();
        const qsizetype colon = line.lastIndexOf(':');
        if (line.startsWith("127.0.0.1:") && colon > 0)
            m_port = quint16(line.mid(colon + 1).toUInt());
        m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    }
    ~AgentProcess()
    {
        if (m_socket >= 0)
            ::close(m_socket);
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    AgentProcess(const AgentProcess &) = delete;
    AgentProcess &operator=(const AgentProcess &) = delete;

    bool running() const { return m_port != 0 && m_socket >= 0; }

    // Sends the datagram; the answer, or nothing within the wait.
    std::optional<QByteArray> exchange(const QByteArray &datagram, int waitMs = 2000)
    {
        sockaddr_in agent{};
        agent.sin_family = AF_INET;
        agent.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        agent.sin_port = htons(m_port);
        if (::sendto(m_socket, datagram.constData(), size_t(datagram.size()), 0,
                     reinterpret_cast<const sockaddr *>(&agent), sizeof(agent))
            < 0)
            return std::nullopt;
        pollfd watched{m_socket, POLLIN, 0};
        if (::poll(&watched, 1, waitMs) <= 0)
            return std::nullopt;
        QByteArray reply(65536, '\0');
        const ssize_t received = ::recv(m_socket, reply.data(), size_t(reply.size()), 0);
        if (received <= 0)
            return std::nullopt;
        reply.truncate(qsizetype(received));
        return reply;
    }

    // SNMPv1, unless a GetBulk's max-repetitions are given: SNMPv2c then.
    std::optional<ber::Message> request(uint8_t type, const std::vector<Oid> &names, int32_t maxRepetitions = -1)
    {
        ber::Message message;
        message.community = "tarnel";
        message.pduType = type;
        message.requestId = ++m_requestId;
        if (maxRepetitions >= 0) {
            message.version = 1;
            message.errorIndex = maxRepetitions;
        }
        for (const Oid &name : names)
            message.bindings.push_back({name, 0x05, {}});
        const std::optional<QByteArray> reply = exchange(ber::encodeMessage(message));
        if (!reply)
            return std::nullopt;
        std::optional<ber::Message> answer = ber::decodeMessage(*reply);
        if (answer && (answer->pduType != 0xA2 || answer->requestId != message.requestId
                       || answer->community != message.community || answer->version != message.version))
            return std::nullopt;
        return answer;
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
    int m_socket = -1;
    int32_t m_requestId = 1000;
};

} // namespace

class TestBenchAgent final : public QObject
{
    Q_OBJECT

private slots:
    void walkBringsEveryRowOnceInOrder();
    void getNextFromAnyName();
    void getAndLongMessages();
    void ignoresWhatDoesNotDecode();
    void bulkWalkInSnmpV2c();
    void millionRowsEndWhereExpected();
};

// Four interfaces each: 86 rows end inside the ifTable's last column (it has
// 88 rows), 100 reach 12 rows into the address table, 108 hold both whole.
void TestBenchAgent::walkBringsEveryRowOnceInOrder()
{
    for (const quint64 rows : {quint64(86), quint64(100), quint64(108)}) {
        AgentProcess agent(rows);
        QVERIFY(agent.running());
        Oid name = MibTwo;
        std::vector<ber::VarBind> walked;
        for (;;) {
            const std::optional<ber::Message> answer = agent.request(GetNextRequest, {name});
            QVERIFY(answer);
            QCOMPARE(answer->bindings.size(), size_t(1));
            if (answer->errorStatus != 0) {
                // v1's end of the MIB: noSuchName, the request's binding echoed.
                QCOMPARE(answer->errorStatus, 2);
                QCOMPARE(answer->errorIndex, 1);
                QCOMPARE(answer->bindings.front().name, name);
                QCOMPARE(answer->bindings.front().tag, uint8_t(0x05));
                break;
            }
            const ber::VarBind &binding = answer->bindings.front();
            QVERIFY2(binding.name > name, "the successor must be greater");
            QVERIFY(startsWith(binding.name, IfEntry) || startsWith(binding.name, IpAddrEntry));
            walked.push_back(binding);
            name = binding.name;
            QVERIFY(walked.size() <= rows);
        }
        QCOMPARE(walked.size(), size_t(rows));

        QSet<uint8_t> tags;
        for (const ber::VarBind &binding : walked)
            tags.insert(binding.tag);
        const QSet<uint8_t> ifTableTags = {0x02, 0x04, 0x06, 0x41, 0x42, 0x43};
        QVERIFY(tags.contains(ifTableTags));
        QCOMPARE(tags.contains(0x40), rows > 88); // IpAddress lives in the address table

        // Column 2 of interface 1 and the first address row, byte for byte.
        QCOMPARE(walked[4].name, child(IfEntry, {2, 1}));
        QCOMPARE(walked[4].content, QByteArray("GigabitEthernet1/0/1"));
        QCOMPARE(walked[21 * 4].name, child(IfEntry, {22, 1}));
        QCOMPARE(walked[21 * 4].content, ber::oidContent(oid("0.0")));
        if (rows > 88) {
            QCOMPARE(walked[88].name, child(IpAddrEntry, {1, 10, 0, 0, 1}));
            QCOMPARE(walked[88].content, QByteArray("\x0A\x00\x00\x01", 4));
        }
    }
}

// Managers ask for the successor of any name, not only of the last answer.
void TestBenchAgent::getNextFromAnyName()
{
    AgentProcess agent(108); // 4 interfaces, both tables whole
    QVERIFY(agent.running());
    auto next = [&](const Oid &from) -> Oid {
        const std::optional<ber::Message> answer = agent.request(GetNextRequest, {from});
        if (!answer || answer->bindings.size() != 1)
            return {};
        if (answer->errorStatus == 2)
            return oid("0.0"); // past the end
        return answer->bindings.front().name;
    };
    QCOMPARE(next(oid("1.3.6.1")), child(IfEntry, {1, 1}));
    QCOMPARE(next(child(IfEntry, {5})), child(IfEntry, {5, 1}));        // a column without index
    QCOMPARE(next(child(IfEntry, {5, 4})), child(IfEntry, {6, 1}));     // the end of a column
    QCOMPARE(next(child(IfEntry, {5, 2, 9})), child(IfEntry, {5, 3}));  // a longer name in between
    QCOMPARE(next(child(IfEntry, {22, 4})), child(IpAddrEntry, {1, 10, 0, 0, 1})); // table to table
    QCOMPARE(next(child(IpAddrEntry, {1, 10, 0, 0})), child(IpAddrEntry, {1, 10, 0, 0, 1}));
    QCOMPARE(next(child(IfEntry, {3, 2})), child(IfEntry, {3, 3}));     // backwards after the above
    QCOMPARE(next(child(IpAddrEntry, {5, 10, 0, 0, 4})), oid("0.0"));
    QCOMPARE(next(oid("1.3.6.1.2.1.5")), oid("0.0"));
}

// A Get of many names answers all of them in order, in a message whose
// lengths need the long forms; a name that does not exist fails the Get.
void TestBenchAgent::getAndLongMessages()
{
    AgentProcess agent(108);
    QVERIFY(agent.running());
    std::vector<Oid> names;
    for (uint32_t column = 1; column <= 22; ++column)
        names.push_back(child(IfEntry, {column, 3}));
    for (uint32_t column = 1; column <= 5; ++column)
        names.push_back(child(IpAddrEntry, {column, 10, 0, 0, 3}));
    const std::optional<ber::Message> answer = agent.request(GetRequest, names);
    QVERIFY(answer);
    QCOMPARE(answer->errorStatus, 0);
    QCOMPARE(answer->bindings.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i)
        QCOMPARE(answer->bindings[i].name, names[i]);
    QCOMPARE(answer->bindings[1].content, QByteArray("GigabitEthernet1/0/3"));
    QCOMPARE(answer->bindings[4].tag, uint8_t(0x42)); // ifSpeed
    QCOMPARE(answer->bindings[4].content, ber::unsignedContent(1000000000u));
    QCOMPARE(answer->bindings[5].content, QByteArray("\x00\x1A\x2B\x00\x00\x03", 6));
    QCOMPARE(answer->bindings[8].tag, uint8_t(0x43)); // ifLastChange
    QCOMPARE(answer->bindings[22].tag, uint8_t(0x40));
    QCOMPARE(answer->bindings[22].content, QByteArray("\x0A\x00\x00\x03", 4));
    QCOMPARE(answer->bindings[26].content, ber::integerContent(65535));

    // The third name is no row: noSuchName at index 3, the request echoed.
    const std::vector<Oid> withMissing = {child(IfEntry, {1, 1}), child(IfEntry, {2, 2}), child(IfEntry, {2, 5})};
    const std::optional<ber::Message> failed = agent.request(GetRequest, withMissing);
    QVERIFY(failed);
    QCOMPARE(failed->errorStatus, 2);
    QCOMPARE(failed->errorIndex, 3);
    QCOMPARE(failed->bindings.size(), size_t(3));
    QCOMPARE(failed->bindings[2].name, withMissing[2]);
    QCOMPARE(failed->bindings[2].tag, uint8_t(0x05));
}

void TestBenchAgent::ignoresWhatDoesNotDecode()
{
    AgentProcess agent(10);
    QVERIFY(agent.running());
    QVERIFY(!agent.exchange(QByteArray("\x30\x05garbage", 9), 100));
    QVERIFY(!agent.exchange(QByteArray(), 100));
    QVERIFY(agent.request(GetNextRequest, {MibTwo}));
}

// A GetBulk walk brings the rows of an SNMPv2c GetNext walk, whatever the
// repetitions asked, in answers that fit one datagram; the end is an
// endOfMibView, and SNMPv2c Gets and GetNexts carry exceptions.
void TestBenchAgent::bulkWalkInSnmpV2c()
{
    AgentProcess agent(5000);
    QVERIFY(agent.running());
    std::vector<ber::VarBind> walked;
    for (Oid name = MibTwo; walked.size() <= 5000;) {
        const std::optional<ber::Message> got = agent.request(GetNextRequest, {name}, 0);
        QVERIFY(got && got->errorStatus == 0);
        if (got->bindings.front().tag == 0x82)
            break;
        walked.push_back(got->bindings.front());
        name = walked.back().name;
    }
    QCOMPARE(walked.size(), size_t(5000));

    for (const int32_t repetitions : {1, 50, 1000000}) {
        std::vector<ber::VarBind> bulk;
        for (Oid name = MibTwo;;) {
            const std::optional<ber::Message> got = agent.request(GetBulkRequest, {name}, repetitions);
            QVERIFY(got && got->errorStatus == 0 && !got->bindings.empty());
            QVERIFY(got->bindings.size() <= size_t(repetitions));
            QVERIFY(ber::encodeMessage(*got).size() <= 65507);
            for (const ber::VarBind &binding : got->bindings) {
                if (binding.tag == 0x82) {
                    QCOMPARE(binding.name, walked.back().name); // from the last row on
                    name.clear();
                    break;
                }
                bulk.push_back(binding);
            }
            if (name.empty())
                break;
            name = bulk.back().name;
        }
        QCOMPARE(bulk.size(), walked.size());
        for (size_t i = 0; i < bulk.size(); ++i) {
            QCOMPARE(bulk[i].name, walked[i].name);
            QCOMPARE(bulk[i].content, walked[i].content);
        }
    }

    const std::optional<ber::Message> missing = agent.request(GetRequest, {child(IfEntry, {2, 9999}), child(IfEntry, {2, 1})}, 0);
    QVERIFY(missing);
    QCOMPARE(missing->errorStatus, 0);
    QCOMPARE(missing->bindings[0].tag, uint8_t(0x80));
    QCOMPARE(missing->bindings[1].content, QByteArray("GigabitEthernet1/0/1"));
}

// The address table's names are built from the interface number: they must
// keep increasing up to the millionth row.
void TestBenchAgent::millionRowsEndWhereExpected()
{
    AgentProcess agent(1'000'000);
    QVERIFY(agent.running());
    // 37,038 interfaces; position 999,999 is column 5 of interface 37,012 (10.0.144.148).
    const Oid last = child(IpAddrEntry, {5, 10, 0, 144, 148});
    const std::optional<ber::Message> get = agent.request(GetRequest, {last});
    QVERIFY(get);
    QCOMPARE(get->errorStatus, 0);
    QCOMPARE(get->bindings.front().content, ber::integerContent(65535));
    const std::optional<ber::Message> beyond = agent.request(GetNextRequest, {last});
    QVERIFY(beyond);
    QCOMPARE(beyond->errorStatus, 2);
    const std::optional<ber::Message> before = agent.request(GetNextRequest, {child(IpAddrEntry, {5, 10, 0, 144, 147})});
    QVERIFY(before);
    QCOMPARE(before->errorStatus, 0);
    QCOMPARE(before->bindings.front().name, last);
    // The last interface's address row (37,038 = 10.0.144.174) exists in column 4, not in column 5.
    const std::optional<ber::Message> cut = agent.request(GetRequest, {child(IpAddrEntry, {5, 10, 0, 144, 174})});
    QVERIFY(cut);
    QCOMPARE(cut->errorStatus, 2);
    const std::optional<ber::Message> kept = agent.request(GetRequest, {child(IpAddrEntry, {4, 10, 0, 144, 174})});
    QVERIFY(kept);
    QCOMPARE(kept->errorStatus, 0);
}

QTEST_GUILESS_MAIN(TestBenchAgent)
#include "tst_benchagent.moc"
