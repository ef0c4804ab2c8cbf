// SPDX-License-Identifier: MIT
#include "tests/support/modaldriver.h"
#include "ui/dialogs/errorbox.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTest>

class TestErrorBox final : public QObject
{
    Q_OBJECT

private slots:
    void finalDotRule_data();
    void finalDotRule();
    void showsTheRealBox();
};

void TestErrorBox::finalDotRule_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "File access denied" << "File access denied.";
    QTest::newRow("digit") << "I/O error 32" << "I/O error 32.";
    QTest::newRow("dot") << "SnmpMgrRequest error: 40." << "SnmpMgrRequest error: 40.";
    QTest::newRow("quote") << "Failed to get data for 'TimeOut'" << "Failed to get data for 'TimeOut'";
    QTest::newRow("paren") << "Something (x)" << "Something (x)";
    // "/" is 0x2F, the first code above "."; "-" is 0x2D, below it.
    QTest::newRow("slash") << "path a/" << "path a/.";
    QTest::newRow("hyphen") << "dash -" << "dash -";
    QTest::newRow("blank") << "trailing " << "trailing ";
    QTest::newRow("non-ascii") << QString::fromUtf8("caf\xC3\xA9") << QString::fromUtf8("caf\xC3\xA9.");
    QTest::newRow("empty") << "" << "";
}

void TestErrorBox::finalDotRule()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(errorBoxText(message), shown);
}

void TestErrorBox::showsTheRealBox()
{
    QWidget owner;
    owner.show();
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = -1;
    QString buttonText;
    QVERIFY(driveModal<QMessageBox>([&] { showErrorBox(&owner, QStringLiteral("Invalid filename")); }, [&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = int(box->buttons().size());
        buttonText = box->buttons().value(0)->text();
        box->button(QMessageBox::Ok)->click();
    }));
    QCOMPARE(title, QStringLiteral("Norvane"));
    QCOMPARE(text, QStringLiteral("Invalid filename."));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons, 1);
    QCOMPARE(buttonText.remove(u'&'), QStringLiteral("OK"));
}

QTEST_MAIN(TestErrorBox)
#include "tst_errorbox.moc"
