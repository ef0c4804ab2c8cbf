// SPDX-License-Identifier: MIT
#include "common/apperror.h"
#include "common/messages.h"
#include "engine/snmp/snmperrors.h"
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
    void detailsOfEachCode_data();
    void detailsOfEachCode();
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

// Every code and status of the one table, in the messages that carry them;
// other messages have no details.
void TestErrorBox::detailsOfEachCode_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("details");
    const auto add = [](const std::string &message, const SnmpErrorInfo *info) {
        QTest::newRow(message.c_str()) << QString::fromStdString(message) << QString::fromUtf8(info ? info->meaning : "");
    };
    for (const SnmpErrorInfo &code : snmpErrorCodes())
        for (const char *templ : {msg::OpenError, msg::RequestError})
            add(formatMessage(templ, int(code.code)), &code);
    for (const SnmpErrorInfo &status : snmpErrorStatuses())
        add(formatMessage(msg::RequestStatus, int(status.code), 2), &status);
    add(formatMessage(msg::RequestError, 12345), nullptr);
    add(formatMessage(msg::RequestStatus, 99, 1), nullptr);
    add(formatMessage(msg::InvalidOids, "40"), nullptr);
    add("SnmpMgrRequest error: 40. And more", nullptr);
}

void TestErrorBox::detailsOfEachCode()
{
    QFETCH(QString, message);
    QFETCH(QString, details);
    const QString shown = errorBoxDetails(message);
    QVERIFY2(details.isEmpty() ? shown.isEmpty() : shown.endsWith(details), qPrintable(shown));
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
    QString details;
    QVERIFY(driveModal<QMessageBox>([&] { showErrorBox(&owner, QStringLiteral("SnmpMgrRequest error: 40.")); },
                                    [&](QMessageBox *box) { details = box->detailedText(), box->accept(); }));
    QVERIFY2(details.contains(QStringLiteral("did not answer")), qPrintable(details));
    QVERIFY(driveModal<QMessageBox>([&] { showErrorBox(&owner, QStringLiteral("Invalid filename")); }, [&](QMessageBox *box) {
        details = box->detailedText();
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
    QCOMPARE(details, QString());
    QCOMPARE(buttonText.remove(u'&'), QStringLiteral("OK"));
}

QTEST_MAIN(TestErrorBox)
#include "tst_errorbox.moc"
