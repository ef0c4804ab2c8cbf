// SPDX-License-Identifier: MIT
#include "engine/mib/mibinfo.h"
#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"
#include "tests/support/modaldriver.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/windowfixture.h"
#include "ui/results/resultmodel.h"
#include "ui/set/setdialog.h"

#include <QAbstractButton>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

constexpr const char *WriteCommunity = "kestrel-rw-7c1";

} // namespace

class TestSet final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void setFromTheWindow();
    void dialogChecksBeforeSending();

private:
    SnmpdAgent m_snmpd;
};

void TestSet::initTestCase()
{
    m_snmpd.writableSystem();
    m_snmpd.addConfig(QStringLiteral("rwcommunity %1 127.0.0.1\n").arg(QLatin1String(WriteCommunity)));
    QVERIFY2(m_snmpd.start(), qPrintable(m_snmpd.log()));
}

// The Oids box's object, the write community asked for (not the Community
// box's), nothing sent unconfirmed, the answer as a row, and the community
// in no file of the settings folder.
void TestSet::setFromTheWindow()
{
    WindowFixture window;
    QVERIFY(window.start());
    window.setInputs(m_snmpd.address(), QLatin1String(SnmpdAgent::Community), QStringLiteral("sysLocation.0"));
    bool asked = false;
    window.log.answerSet = [&](SetEdit &edit) {
        asked = edit.askCommunity;
        if (edit.bindings.size() != 1)
            return false;
        edit.bindings.front().text = "bench 9";
        edit.community = Secret(WriteCommunity);
        return true;
    };
    QVERIFY(window.trigger("actSet"));
    QVERIFY(asked);
    QCOMPARE(window.log.confirmations.size(), 1);
    const QString confirmation = window.log.confirmations.front();
    QVERIFY2(confirmation.contains(m_snmpd.address()) && confirmation.contains(QLatin1String("sysLocation.0 (OCTET STRING)"))
                 && confirmation.contains(QLatin1String("->  bench 9")),
             qPrintable(confirmation));
    QCOMPARE(window->results().storedRowCount(), 0); // declined: nothing sent

    window.log.answerConfirm = true;
    QVERIFY(window.trigger("actSet"));
    QVERIFY2(window.log.errors.isEmpty(), qPrintable(window.log.errors.join(u'\n')));
    QCOMPARE(window->results().storedRowCount(), 1);
    QCOMPARE(window->results().rowTexts(0)[ResultModel::ValueColumn], QStringLiteral("bench 9"));
    QVERIFY2(window->statusLine()->simpleText().startsWith(QLatin1String("The Set succeeded")),
             qPrintable(window->statusLine()->simpleText()));
    // The community typed once is held for the agent: not asked again.
    QVERIFY(window.trigger("actSet"));
    QVERIFY(!asked);

    const QString folder = window.settingsFolder();
    window.quit(); // writes the settings
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(!file.readAll().contains(WriteCommunity), qPrintable(file.fileName()));
    }
}

// The real dialog, by keyboard: a value out of the MIB's range is named under
// the field and Set... stays disabled; every field has an accessible name.
void TestSet::dialogChecksBeforeSending()
{
    SnmpMgrLoadMibs();
    AsnObjectIdentifier oid;
    QVERIFY(SnmpMgrStrToOid("IP-MIB::ipDefaultTTL.0", &oid));
    SetEdit edit;
    edit.agent = m_snmpd.address();
    edit.credentials = QStringLiteral("SNMPv2c, the write community");
    edit.bindings.push_back(setBindingFor(oid.ids, "IP-MIB::ipDefaultTTL.0", mibObject(oid.ids), "64"));
    TSetDialog dialog(nullptr, edit);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *value = dialog.findChild<QLineEdit *>(QStringLiteral("edtValue"));
    auto *problem = dialog.findChild<QLabel *>(QStringLiteral("lblProblem"));
    auto *set = dialog.findChild<QPushButton *>(QStringLiteral("btnSet"));
    QCOMPARE(QApplication::focusWidget(), value);
    QTest::keyClicks(value, QStringLiteral("300"));
    QVERIFY2(problem->text().contains(QLatin1String("outside the MIB's range 1..255")), qPrintable(problem->text()));
    QVERIFY(!set->isEnabled());
    value->selectAll();
    QTest::keyClicks(value, QStringLiteral("128"));
    QVERIFY(set->isEnabled());
    QTest::keyClick(value, Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.bindings().front().text, std::string("128"));

    // An enumeration is a drop-down of the MIB's labels.
    QVERIFY(SnmpMgrStrToOid("IF-MIB::ifAdminStatus.1", &oid));
    SetEdit enumEdit;
    enumEdit.bindings.push_back(setBindingFor(oid.ids, "IF-MIB::ifAdminStatus.1", mibObject(oid.ids), "up(1)"));
    enumEdit.bindings.front().text = "up";
    TSetDialog enumDialog(nullptr, enumEdit);
    enumDialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&enumDialog));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(enumDialog.bindings().front().text, std::string("down"));

    // The confirmation: Enter sends, Esc does not.
    ModalDialogs dialogs;
    for (const auto &[key, sends] : {std::pair{Qt::Key_Return, true}, std::pair{Qt::Key_Escape, false}}) {
        bool confirmed = !sends;
        QVERIFY(driveModal<QMessageBox>([&] { confirmed = dialogs.confirmSet(nullptr, setConfirmationText(edit)); },
                                        [key = key](QMessageBox *box) {
                                            QVERIFY(box->text().contains(QLatin1String("IP-MIB::ipDefaultTTL.0 (INTEGER)")));
                                            QTest::keyClick(box, key);
                                        }));
        QCOMPARE(confirmed, sends);
    }
    for (QWidget *field : dialog.findChildren<QWidget *>()) {
        if (field->focusPolicy() != Qt::NoFocus && field->isVisibleTo(&dialog) && !qobject_cast<QAbstractButton *>(field)) // a button is named by its text
            QVERIFY2(!field->accessibleName().isEmpty(), qPrintable(field->objectName()));
    }
}

QTEST_MAIN(TestSet)
#include "tst_set.moc"
