// SPDX-License-Identifier: MIT
// MIBS and MIBDIRS are honoured: with MIBS empty no module loads, even from
// the folders that are searched, and names fall back to numeric labels.
// The environment must be set before the library's first use, hence a
// process of its own.
#include "engine/snmpmgr.h"

#include <QTest>

class TestMibEnv final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noModulesLoaded();
};

void TestMibEnv::initTestCase()
{
    const QByteArray ours = qgetenv("NORVANE_MIBDIR");
    QVERIFY2(!ours.isEmpty(), "NORVANE_MIBDIR is set by the test environment");
    qputenv("MIBDIRS", ours);
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
}

QTEST_GUILESS_MAIN(TestMibEnv)
#include "tst_mibenv.moc"
