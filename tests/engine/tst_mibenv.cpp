// SPDX-License-Identifier: MIT
// MIBS and MIBDIRS are honoured: with MIBS empty no module loads, even from
// the folders that are searched, and names fall back to numeric labels.
// The environment must be set before the library's first use, hence a
// process of its own.
#include "engine/mib/oidtext.h"
#include "engine/query/rowrender.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestMibEnv final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noModulesLoaded();

private:
    QTemporaryDir m_dir;
};

void TestMibEnv::initTestCase()
{
    const QByteArray ours = qgetenv("NORVANE_MIBDIR");
    QVERIFY2(!ours.isEmpty(), "NORVANE_MIBDIR is set by the test environment");
    // The first leaves mib-2.25 an anonymous node, which the second names in place.
    for (const char *name : {"A", "B"}) {
        QFile module(m_dir.filePath(QStringLiteral("%1.txt").arg(QLatin1String(name))));
        QVERIFY(module.open(QIODevice::WriteOnly));
        module.write(QStringLiteral("NORVANE-%1-MIB DEFINITIONS ::= BEGIN\nIMPORTS mib-2 FROM SNMPv2-SMI;\n"
                                    "test%1 OBJECT IDENTIFIER ::= { mib-2 25 %2 }\nEND\n")
                         .arg(QLatin1String(name), QLatin1String(*name == 'A' ? "1" : ""))
                         .toLatin1());
    }
    qputenv("MIBDIRS", ours + ':' + m_dir.path().toLocal8Bit());
    qputenv("MIBS", "");
    qunsetenv("NORVANE_MIBDIR");
}

void TestMibEnv::noModulesLoaded()
{
    AsnObjectIdentifier id;
    QVERIFY(!SnmpMgrStrToOid("sysDescr.0", &id));
    QVERIFY(SnmpMgrStrToOid("1.3.6.1.4.1.99999", &id));
    char *text = nullptr;
    QVERIFY(SnmpMgrOidToStr(&id, &text));
    const SnmpText name(text);
    QCOMPARE(QByteArray(name.get()), QByteArray("iso.3.6.1.4.1.99999"));

    // As with Net-SNMP's tools, a module-qualified name loads its module from the search path.
    QVERIFY(SnmpMgrStrToOid("SNMPv2-MIB::sysDescr.0", &id));
    QVERIFY(SnmpMgrStrToOid("sysDescr.0", &id));
    QVERIFY(SnmpMgrOidToStr(&id, &text));
    const SnmpText loaded(text);
    QCOMPARE(QByteArray(loaded.get()), QByteArray("SNMPv2-MIB::sysDescr.0"));

    // The rows' names follow what such a name loads.
    QVERIFY(SnmpMgrStrToOid("NORVANE-A-MIB::testA", &id));
    const SnmpVarBind row{{{1, 3, 6, 1, 2, 1, 25, 9, 1}}, {}};
    QCOMPARE(renderBinding(row).name, std::string("NORVANE-A-MIB::25.9.1"));
    QVERIFY(SnmpMgrStrToOid("NORVANE-B-MIB::testB", &id));
    QCOMPARE(renderBinding(row).name, std::string("NORVANE-B-MIB::testB.9.1"));
}

QTEST_GUILESS_MAIN(TestMibEnv)
#include "tst_mibenv.moc"
