// SPDX-License-Identifier: MIT
// The About box opened from the main window (its layout, texts and keys), the
// program icon the two share, and the artwork compiled into the program.
#include "tests/support/modaldriver.h"
#include "tests/support/windowfixture.h"
#include "ui/dialogs/aboutbox.h"
#include "ui/widgets/programicon.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>

namespace {

QImage programImage()
{
    return programIcon().pixmap(QSize(32, 32)).toImage();
}

// Counts the fully transparent and the opaque pixels of an image.
std::pair<int, int> transparentAndOpaque(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int transparent = 0;
    int opaque = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const int alpha = qAlpha(argb.pixel(x, y));
            transparent += alpha == 0;
            opaque += alpha == 255;
        }
    return {transparent, opaque};
}

} // namespace

class TestAboutWindow final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showsNameVersionAndTheProgramIcon();
    void enterAndEscapeClose_data();
    void enterAndEscapeClose();
    void windowShowsTheProgramIcon();
    void artworkIsCompiledIn_data();
    void artworkIsCompiledIn();

private:
    WindowFixture m_window;
};

void TestAboutWindow::init()
{
    QVERIFY(m_window.start(WindowFixture::Dialogs::Real));
}

void TestAboutWindow::cleanup()
{
    m_window.stop();
}

void TestAboutWindow::showsNameVersionAndTheProgramIcon()
{
    m_window->move(160, 90);
    const bool opened = m_window.drive<TAboutBox>("actAbout", [this](TAboutBox *box) {
        QCOMPARE(box->parentWidget(), m_window.get());
        QVERIFY(centredOver(box, m_window.get()));
        QCOMPARE(box->windowTitle(), QStringLiteral("About Norvane"));
        QCOMPARE(child<QLabel>(box, "lblName")->text(), QStringLiteral("Norvane"));
        QCOMPARE(child<QLabel>(box, "lblVersion")->text(), QStringLiteral("Version 1.3"));
        const QString copyright = child<QLabel>(box, "lblCopyright")->text();
        QVERIFY(copyright.startsWith(QLatin1String("Copyright")));
        QVERIFY(copyright.contains(QLatin1String("MIT licence"))); // as the package and SPDX lines say
        QVERIFY(!copyright.contains(u'\n'));

        const QPixmap icon = child<QLabel>(box, "ProgramIcon")->pixmap();
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.toImage().convertToFormat(QImage::Format_ARGB32),
                 programImage().convertToFormat(QImage::Format_ARGB32));

        // Fixed, modal, in the design's 8-point font; drawn over the background.
        QCOMPARE(box->height(), 89);
        QVERIFY(box->width() >= 353);
        QCOMPARE(box->minimumSize(), box->maximumSize());
        QVERIFY(box->isModal());
        auto *name = child<QLabel>(box, "lblName");
        QVERIFY(!name->font().bold());
        QCOMPARE(box->font().pointSize(), 8);
        QCOMPARE(name->font().pointSize(), 8);
        QCOMPARE(name->palette().color(QPalette::WindowText), QColor(Qt::black));
        auto *image = child<QLabel>(box, "ProgramIcon");
        QCOMPARE(image->geometry(), QRect(16, 28, 32, 32));
        QCOMPARE(qAlpha(image->pixmap().toImage().pixel(0, 0)), 0);

        // Every text whole and inside the box, the copyright line under the button.
        auto *ok = child<QPushButton>(box, "btnOk");
        for (const char *label : {"lblName", "lblVersion", "lblCopyright"}) {
            const QLabel *l = child<QLabel>(box, label);
            QVERIFY2(l->width() >= l->sizeHint().width(), label);
            QVERIFY2(box->rect().contains(l->geometry()), label);
            QVERIFY2(!l->geometry().intersects(ok->geometry()), label);
        }
        QVERIFY(box->rect().contains(ok->geometry()));

        // OK is the only control that takes the focus, and it has it.
        QTRY_COMPARE(QApplication::focusWidget(), ok);
        QVERIFY(ok->isDefault());
        QTest::keyClick(ok, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ok);
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!box->isVisible());
    });
    QVERIFY(opened);
    // Destroyed when it closed.
    QCOMPARE(m_window->findChild<TAboutBox *>(), nullptr);
}

void TestAboutWindow::enterAndEscapeClose_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("Space") << int(Qt::Key_Space);
}

void TestAboutWindow::enterAndEscapeClose()
{
    QFETCH(int, key);
    bool closed = false;
    const bool opened = m_window.drive<TAboutBox>("actAbout", [&](TAboutBox *box) {
        QTRY_COMPARE(QApplication::focusWidget(), child<QPushButton>(box, "btnOk"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        closed = !box->isVisible();
    });
    QVERIFY(opened);
    QVERIFY(closed);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(m_window->findChild<TAboutBox *>(), nullptr);
    // The window behind took no part: no run was stopped, nothing else opened.
    QVERIFY(m_window->isIdle());
    QVERIFY(m_window->isVisible());
}

// The window's own icon is the program artwork, as the About box shows it;
// it does not depend on an application-wide icon being set.
void TestAboutWindow::windowShowsTheProgramIcon()
{
    QVERIFY(QApplication::windowIcon().isNull());
    const QIcon icon = m_window->windowIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32),
             programImage().convertToFormat(QImage::Format_ARGB32));
}

void TestAboutWindow::artworkIsCompiledIn_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    QTest::newRow("row") << ":/images/row.png" << 16;
    QTest::newRow("run") << ":/images/run.png" << 16;
    QTest::newRow("stop") << ":/images/stop.png" << 16;
    QTest::newRow("clear") << ":/images/clear.png" << 16;
    QTest::newRow("program") << ":/images/norvane.png" << 256;
    QTest::newRow("program 32") << ":/images/norvane-32.png" << 32;
    QTest::newRow("program 16") << ":/images/norvane-16.png" << 16;
}

void TestAboutWindow::artworkIsCompiledIn()
{
    QFETCH(QString, path);
    QFETCH(int, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    // A drawing over a transparent ground, not a blank or a filled square.
    const auto [transparent, opaque] = transparentAndOpaque(image);
    QVERIFY(transparent > 0);
    QVERIFY(opaque > size * size / 10);
}

QTEST_MAIN(TestAboutWindow)
#include "tst_aboutwindow.moc"
