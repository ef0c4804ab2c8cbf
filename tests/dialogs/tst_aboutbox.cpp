// SPDX-License-Identifier: MIT
#include "tests/support/modaldriver.h"
#include "ui/dialogs/aboutbox.h"
#include "ui/dialogs/programicon.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestAboutBox final : public QObject
{
    Q_OBJECT

private slots:
    void showsNameVersionAndCopyright();
    void showsTheProgramIcon();
    void enterAndEscapeClose_data();
    void enterAndEscapeClose();
};

void TestAboutBox::showsNameVersionAndCopyright()
{
    QWidget owner;
    owner.setGeometry(100, 100, 640, 480);
    owner.show();
    TAboutBox box(&owner);
    box.show();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QCOMPARE(box.windowTitle(), QStringLiteral("About Norvane"));
    QCOMPARE(box.height(), 89);
    QVERIFY(box.width() >= 353);
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QVERIFY(box.isModal());
    QVERIFY((box.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength() <= 2);

    auto *name = child<QLabel>(box, "lblName");
    QCOMPARE(name->text(), QStringLiteral("Norvane"));
    QVERIFY(!name->font().bold());
    QCOMPARE(box.font().pointSize(), 8);
    QCOMPARE(name->font().pointSize(), 8);
    QCOMPARE(name->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(child<QLabel>(box, "lblVersion")->text(), QStringLiteral("Version 1.3"));
    const QString copyright = child<QLabel>(box, "lblCopyright")->text();
    QVERIFY(copyright.startsWith(QLatin1String("Copyright")));
    QVERIFY(copyright.contains(QLatin1String("MIT licence"))); // as the package and SPDX lines say
    QVERIFY(!copyright.contains(QLatin1Char('\n')));

    // Every text whole and inside the box, the copyright line under the button.
    auto *ok = child<QPushButton>(box, "btnOk");
    for (const char *label : {"lblName", "lblVersion", "lblCopyright"}) {
        const QLabel *l = child<QLabel>(box, label);
        QVERIFY2(l->width() >= l->sizeHint().width(), label);
        QVERIFY2(box.rect().contains(l->geometry()), label);
        QVERIFY2(!l->geometry().intersects(ok->geometry()), label);
    }
    QVERIFY(box.rect().contains(ok->geometry()));

    // OK is the only control that takes the focus, and it has it.
    QTRY_COMPARE(QApplication::focusWidget(), ok);
    QVERIFY(ok->isDefault());
    QTest::keyClick(ok, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), ok);
}

void TestAboutBox::showsTheProgramIcon()
{
    QVERIFY(!programIcon().isNull());
    QVERIFY(programIcon().availableSizes().contains(QSize(32, 32)));

    TAboutBox box(nullptr);
    auto *image = child<QLabel>(box, "ProgramIcon");
    QCOMPARE(image->geometry(), QRect(16, 28, 32, 32));
    const QPixmap icon = image->pixmap();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.size(), QSize(32, 32));
    // Drawn over the background: the corners are transparent.
    QCOMPARE(qAlpha(icon.toImage().pixel(0, 0)), 0);
    QCOMPARE(icon.toImage(), programIcon().pixmap(QSize(32, 32)).toImage());
}

void TestAboutBox::enterAndEscapeClose_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("Space") << int(Qt::Key_Space);
}

void TestAboutBox::enterAndEscapeClose()
{
    QFETCH(int, key);
    TAboutBox box(nullptr);
    int result = -2;
    QVERIFY(driveModal<TAboutBox>([&] { result = box.exec(); }, [key](TAboutBox *box) {
        QTRY_VERIFY(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QTRY_VERIFY(!box->isVisible());
    }));
    QCOMPARE(result, int(QDialog::Accepted));
}

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"
