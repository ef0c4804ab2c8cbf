// SPDX-License-Identifier: MIT
#include "tests/support/modaldriver.h"
#include "ui/dialogs/optionsdialog.h"
#include "ui/widgets/updown.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <functional>

namespace {

QToolButton *arrow(QWidget *dialog, const char *spinner, const char *which)
{
    return child<TUpDown>(dialog, spinner)->findChild<QToolButton *>(QLatin1String(which));
}

// TOptionsDialog::edit while `script` drives the dialog it opens.
bool editWith(int &timeOut, int &retries, SnmpVersion &version, const std::function<void(TOptionsDialog *)> &script)
{
    bool confirmed = false;
    const auto edit = [&] { confirmed = TOptionsDialog::edit(nullptr, timeOut, retries, version); };
    return driveModal<TOptionsDialog>(edit, script) && confirmed;
}

} // namespace

class TestOptionsDialog final : public QObject
{
    Q_OBJECT

private slots:
    void opensWithTheDefaults();
    void timeoutStepsByThousandAndStopsAtTheEnds();
    void retriesRunFromOneToNine();
    void holdingAnArrowRepeatsAtTheSameStep();
    void offGridValueStepsFromWhereItIs();
    void valueOutOfRangeOrBeyondSixteenBits_data();
    void valueOutOfRangeOrBeyondSixteenBits();
    void typingChangesNothing();
    void onlyOkWritesTheSettings_data();
    void onlyOkWritesTheSettings();
    void okWritesWhatIsShown();
    void keyboardOrder();
    void captionsAreNotCut();
};

void TestOptionsDialog::opensWithTheDefaults()
{
    TOptionsDialog dialog(nullptr);
    dialog.setPositions(1000, 1);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
    // The design's 265 by 145, widened by what a font wider than the
    // design's needs for the labels before the edits at x 157.
    int labelRight = 0;
    for (QLabel *label : dialog.findChildren<QLabel *>())
        labelRight = std::max(labelRight, 16 + label->sizeHint().width());
    // The version row adds 35 to the height.
    QCOMPARE(dialog.size(), QSize(265 + std::max(0, labelRight - 157), 180));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(dialog.isModal());
    QCOMPARE(fieldText(&dialog, "edtTimeOut"), QStringLiteral("1000"));
    QCOMPARE(fieldText(&dialog, "edtRetries"), QStringLiteral("1"));
    QTRY_COMPARE(focusName(), QStringLiteral("edtTimeOut"));
    QVERIFY(child<QPushButton>(&dialog, "btnOk")->isDefault());
    QCOMPARE(child<QGroupBox>(&dialog, "GroupBox")->title(), QStringLiteral("SnmpMgrOpen settings"));
    auto *version = child<QComboBox>(&dialog, "cboVersion");
    QVERIFY(!version->isEditable());
    QCOMPARE(version->currentText(), QStringLiteral("1"));
    QCOMPARE(version->itemText(1), QStringLiteral("2c"));
    QCOMPARE(version->count(), 2);
}

void TestOptionsDialog::timeoutStepsByThousandAndStopsAtTheEnds()
{
    TOptionsDialog dialog(nullptr);
    dialog.setPositions(1000, 1);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto *edit = child<QLineEdit>(&dialog, "edtTimeOut");
    QToolButton *up = arrow(&dialog, "udTimeOut", "up");
    QToolButton *down = arrow(&dialog, "udTimeOut", "down");

    QTest::mouseClick(down, Qt::LeftButton);
    QCOMPARE(edit->text(), QStringLiteral("1000"));
    for (int value = 2000; value <= 32000; value += 1000) {
        // Arrows and the Up key alike; no thousands separators.
        if (value % 2000)
            QTest::mouseClick(up, Qt::LeftButton);
        else
            QTest::keyClick(edit, Qt::Key_Up);
        QCOMPARE(edit->text(), QString::number(value));
    }
    QTest::mouseClick(up, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(edit->text(), QStringLiteral("32000"));
    QCOMPARE(dialog.timeOutPosition(), 32000);
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(edit->text(), QStringLiteral("31000"));

    // The arrows never take the focus from the edit.
    QCOMPARE(focusName(), QStringLiteral("edtTimeOut"));
}

void TestOptionsDialog::retriesRunFromOneToNine()
{
    TOptionsDialog dialog(nullptr);
    dialog.setPositions(1000, 1);
    dialog.show();
    QToolButton *up = arrow(&dialog, "udRetries", "up");
    QToolButton *down = arrow(&dialog, "udRetries", "down");
    QTest::mouseClick(down, Qt::LeftButton);
    QCOMPARE(fieldText(&dialog, "edtRetries"), QStringLiteral("1"));
    for (int value = 2; value <= 9; ++value) {
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(fieldText(&dialog, "edtRetries"), QString::number(value));
    }
    QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(fieldText(&dialog, "edtRetries"), QStringLiteral("9"));
    QCOMPARE(dialog.retriesPosition(), 9);
    for (int value = 8; value >= 1; --value) {
        QTest::keyClick(child<QLineEdit>(&dialog, "edtRetries"), Qt::Key_Down);
        QCOMPARE(fieldText(&dialog, "edtRetries"), QString::number(value));
    }
    QTest::mouseClick(down, Qt::LeftButton);
    QCOMPARE(dialog.retriesPosition(), 1);
    QCOMPARE(dialog.timeOutPosition(), 1000);
}

void TestOptionsDialog::holdingAnArrowRepeatsAtTheSameStep()
{
    TOptionsDialog dialog(nullptr);
    dialog.setPositions(1000, 1);
    dialog.show();
    auto *spinner = child<TUpDown>(&dialog, "udTimeOut");
    QSignalSpy moves(spinner, &TUpDown::positionChanged);
    QToolButton *up = arrow(&dialog, "udTimeOut", "up");
    QTest::mousePress(up, Qt::LeftButton);
    QTRY_VERIFY(moves.size() >= 3);
    QTest::mouseRelease(up, Qt::LeftButton);
    int previous = 1000;
    for (const QList<QVariant> &move : moves) {
        QCOMPARE(move.first().toInt() - previous, 1000);
        previous = move.first().toInt();
    }
    QCOMPARE(fieldText(&dialog, "edtTimeOut"), QString::number(previous));
}

void TestOptionsDialog::offGridValueStepsFromWhereItIs()
{
    TOptionsDialog dialog(nullptr);
    dialog.setPositions(1500, 1);
    dialog.show();
    auto *edit = child<QLineEdit>(&dialog, "edtTimeOut");
    QCOMPARE(edit->text(), QStringLiteral("1500"));
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(edit->text(), QStringLiteral("2500"));
    for (int i = 0; i < 29; ++i)
        QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(edit->text(), QStringLiteral("31500"));
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(edit->text(), QStringLiteral("32000"));

    dialog.setPositions(1500, 1);
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(edit->text(), QStringLiteral("1000"));
}

// Such a value is shown as its low 16 bits, unchanged; the first step
// brings it into the range.
void TestOptionsDialog::valueOutOfRangeOrBeyondSixteenBits_data()
{
    QTest::addColumn<int>("timeOut");
    QTest::addColumn<int>("retries");
    QTest::addColumn<QString>("timeOutShown");
    QTest::addColumn<QString>("retriesShown");
    QTest::addColumn<QString>("timeOutUp");
    QTest::addColumn<QString>("timeOutDown");
    QTest::addColumn<QString>("retriesUp");
    QTest::addColumn<QString>("retriesDown");
    QTest::newRow("low ends") << 0 << 0 << "0" << "0" << "1000" << "1000" << "1" << "1";
    QTest::newRow("negative") << -5000 << -1 << "-5000" << "-1" << "1000" << "1000" << "1" << "1";
    QTest::newRow("above the range") << 32767 << 12 << "32767" << "12" << "32000" << "31767" << "9" << "9";
    QTest::newRow("beyond 16 bits") << 40000 << 65537 << "-25536" << "1" << "1000" << "1000" << "2" << "1";
    QTest::newRow("wraps into range") << 65536 + 5000 << 65536 + 3 << "5000" << "3" << "6000" << "4000" << "4" << "2";
}

void TestOptionsDialog::valueOutOfRangeOrBeyondSixteenBits()
{
    QFETCH(int, timeOut);
    QFETCH(int, retries);
    TOptionsDialog dialog(nullptr);
    dialog.setPositions(timeOut, retries);
    dialog.show();
    auto *timeOutEdit = child<QLineEdit>(&dialog, "edtTimeOut");
    auto *retriesEdit = child<QLineEdit>(&dialog, "edtRetries");
    QTEST(timeOutEdit->text(), "timeOutShown");
    QTEST(retriesEdit->text(), "retriesShown");
    // The positions read back sign-extended, as shown.
    QCOMPARE(QString::number(dialog.timeOutPosition()), timeOutEdit->text());
    QCOMPARE(QString::number(dialog.retriesPosition()), retriesEdit->text());

    QTest::keyClick(timeOutEdit, Qt::Key_Up);
    QTEST(timeOutEdit->text(), "timeOutUp");
    QTest::keyClick(retriesEdit, Qt::Key_Up);
    QTEST(retriesEdit->text(), "retriesUp");
    dialog.setPositions(timeOut, retries);
    QTest::mouseClick(arrow(&dialog, "udTimeOut", "down"), Qt::LeftButton);
    QTEST(timeOutEdit->text(), "timeOutDown");
    QTest::mouseClick(arrow(&dialog, "udRetries", "down"), Qt::LeftButton);
    QTEST(retriesEdit->text(), "retriesDown");
}

void TestOptionsDialog::typingChangesNothing()
{
    TOptionsDialog dialog(nullptr);
    dialog.setPositions(2000, 3);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    for (const char *name : {"edtTimeOut", "edtRetries"}) {
        auto *edit = child<QLineEdit>(&dialog, name);
        edit->setFocus();
        const QString before = edit->text();
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, QStringLiteral("75"));
        QCOMPARE(edit->text(), before);
    }
    QCOMPARE(dialog.timeOutPosition(), 2000);
    QCOMPARE(dialog.retriesPosition(), 3);
}

void TestOptionsDialog::onlyOkWritesTheSettings_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("Cancel") << "cancel" << false;
    QTest::newRow("Esc") << "escape" << false;
    QTest::newRow("close box") << "close" << false;
    QTest::newRow("OK") << "ok" << true;
    QTest::newRow("Enter") << "enter" << true;
}

void TestOptionsDialog::onlyOkWritesTheSettings()
{
    QFETCH(QString, how);
    QFETCH(bool, confirmed);
    int timeOut = 1000;
    int retries = 1;
    SnmpVersion version = SnmpVersion::V1;
    const bool result = editWith(timeOut, retries, version, [how](QDialog *dialog) {
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        auto *edit = child<QLineEdit>(dialog, "edtTimeOut");
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(edit, Qt::Key_Up);
        QTest::mouseClick(arrow(dialog, "udRetries", "up"), Qt::LeftButton);
        QTest::mouseClick(arrow(dialog, "udRetries", "up"), Qt::LeftButton);
        QCOMPARE(edit->text(), QStringLiteral("5000"));
        QCOMPARE(fieldText(dialog, "edtRetries"), QStringLiteral("3"));
        QTest::keyClick(child<QComboBox>(dialog, "cboVersion"), Qt::Key_Down);
        QCOMPARE(child<QComboBox>(dialog, "cboVersion")->currentText(), QStringLiteral("2c"));
        if (how == QLatin1String("cancel"))
            QTest::mouseClick(child<QPushButton>(dialog, "btnCancel"), Qt::LeftButton);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(edit, Qt::Key_Escape);
        else if (how == QLatin1String("close"))
            dialog->close();
        else if (how == QLatin1String("ok"))
            QTest::mouseClick(child<QPushButton>(dialog, "btnOk"), Qt::LeftButton);
        else
            QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!dialog->isVisible());
    });
    QCOMPARE(result, confirmed);
    QCOMPARE(timeOut, confirmed ? 5000 : 1000);
    QCOMPARE(retries, confirmed ? 3 : 1);
    QCOMPARE(version, confirmed ? SnmpVersion::V2c : SnmpVersion::V1);

    // The next opening shows the settings as they now are.
    QString timeOutShown;
    QString retriesShown;
    QString versionShown;
    editWith(timeOut, retries, version, [&](QDialog *dialog) {
        timeOutShown = fieldText(dialog, "edtTimeOut");
        retriesShown = fieldText(dialog, "edtRetries");
        versionShown = child<QComboBox>(dialog, "cboVersion")->currentText();
        dialog->reject();
    });
    QCOMPARE(timeOutShown, QString::number(timeOut));
    QCOMPARE(retriesShown, QString::number(retries));
    QCOMPARE(versionShown, QLatin1String(confirmed ? "2c" : "1"));
}

void TestOptionsDialog::okWritesWhatIsShown()
{
    struct Case
    {
        int timeOut, retries, timeOutAfter, retriesAfter;
    };
    // A value beyond 16 bits comes back as the spinner holds it.
    for (const Case c : {Case{1500, 4, 1500, 4}, Case{40000, 12, -25536, 12}, Case{65536 + 7000, 0, 7000, 0}}) {
        int timeOut = c.timeOut;
        int retries = c.retries;
        SnmpVersion version = SnmpVersion::V2c;
        QVERIFY(editWith(timeOut, retries, version, [](QDialog *dialog) {
            QTest::mouseClick(child<QPushButton>(dialog, "btnOk"), Qt::LeftButton);
        }));
        QCOMPARE(timeOut, c.timeOutAfter);
        QCOMPARE(retries, c.retriesAfter);
        QCOMPARE(version, SnmpVersion::V2c);
    }
}

void TestOptionsDialog::keyboardOrder()
{
    int timeOut = 1000;
    int retries = 1;
    SnmpVersion version = SnmpVersion::V1;
    const bool result = editWith(timeOut, retries, version, [](QDialog *dialog) {
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QTRY_COMPARE(focusName(), QStringLiteral("edtTimeOut"));
        for (const QString &name : {QStringLiteral("edtRetries"), QStringLiteral("cboVersion"), QStringLiteral("btnOk"),
                                    QStringLiteral("btnCancel"), QStringLiteral("edtTimeOut")}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focusName(), name);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
        QCOMPARE(focusName(), QStringLiteral("edtRetries"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
        QCOMPARE(focusName(), QStringLiteral("cboVersion"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);
        QCOMPARE(focusName(), QStringLiteral("edtTimeOut"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QVERIFY(result);
    QCOMPARE(timeOut, 1000);
    QCOMPARE(retries, 2);
}

void TestOptionsDialog::captionsAreNotCut()
{
    TOptionsDialog dialog(nullptr);
    dialog.show();
    auto *group = child<QGroupBox>(&dialog, "GroupBox");
    for (QLabel *label : group->findChildren<QLabel *>()) {
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        QVERIFY2(label->geometry().right() < label->buddy()->x(), qPrintable(label->text()));
    }
    for (const char *name : {"udTimeOut", "udRetries"}) {
        auto *spinner = child<TUpDown>(&dialog, name);
        QVERIFY(group->rect().contains(spinner->geometry()));
        QCOMPARE(spinner->size(), QSize(15, 21));
    }
    // The version list spans an edit and its spinner, 35 below the row above.
    const QRect version = child<QComboBox>(&dialog, "cboVersion")->geometry();
    const QRect retries = child<QLineEdit>(&dialog, "edtRetries")->geometry();
    QCOMPARE(version, QRect(retries.x(), retries.y() + 35, 75, 21));
    QVERIFY(group->rect().contains(version));
    QVERIFY(dialog.rect().contains(group->geometry()));
    for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
        QVERIFY(dialog.rect().contains(button->geometry()));
        QCOMPARE(button->y(), group->geometry().bottom() + 1 + 9);
    }
}

QTEST_MAIN(TestOptionsDialog)
#include "tst_optionsdialog.moc"
