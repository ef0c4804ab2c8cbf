// SPDX-License-Identifier: MIT
// The About box opened from the main window, the program icon the two share,
// and the artwork compiled into the program.
#include "tests/support/confighome.h"
#include "tests/ui/modaldriver.h"
#include "ui/dialogs/aboutbox.h"
#include "ui/dialogs/programicon.h"
#include "ui/mainform.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPushButton>

#include <memory>

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
    bool about(const std::function<void(TAboutBox *)> &script);

    std::unique_ptr<ConfigHome> m_config;
    std::unique_ptr<TMainForm> m_form;
};

void TestAboutWindow::init()
{
    m_config = std::make_unique<ConfigHome>();
    QVERIFY(m_config->isValid());
    m_form = std::make_unique<TMainForm>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestAboutWindow::cleanup()
{
    m_form.reset();
    m_config.reset();
}

// Opens the box through the About command, which is always enabled.
bool TestAboutWindow::about(const std::function<void(TAboutBox *)> &script)
{
    return driveModal<TAboutBox>(
        [this] {
            QAction *command = m_form->commands().actAbout;
            m_form->updateCommands();
            QVERIFY(command->isEnabled());
            command->trigger();
        },
        script);
}

void TestAboutWindow::showsNameVersionAndTheProgramIcon()
{
    m_form->move(160, 90);
    const bool opened = about([this](TAboutBox *box) {
        QCOMPARE(box->parentWidget(), m_form.get());
        QVERIFY(centredOver(box, m_form.get()));
        QCOMPARE(box->windowTitle(), QStringLiteral("About Norvane"));
        QCOMPARE(child<QLabel>(box, "lblName")->text(), QStringLiteral("Norvane"));
        QCOMPARE(child<QLabel>(box, "lblVersion")->text(), QStringLiteral("Version 1.3"));
        const QString copyright = child<QLabel>(box, "lblCopyright")->text();
        QVERIFY(copyright.startsWith(QLatin1String("Copyright")));
        QVERIFY(!copyright.contains(u'\n'));

        const QPixmap icon = child<QLabel>(box, "ProgramIcon")->pixmap();
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.toImage().convertToFormat(QImage::Format_ARGB32),
                 programImage().convertToFormat(QImage::Format_ARGB32));

        auto *ok = child<QPushButton>(box, "btnOk");
        QTRY_COMPARE(QApplication::focusWidget(), ok);
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!box->isVisible());
    });
    QVERIFY(opened);
    // Destroyed when it closed.
    QCOMPARE(m_form->findChild<TAboutBox *>(), nullptr);
}

void TestAboutWindow::enterAndEscapeClose_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void TestAboutWindow::enterAndEscapeClose()
{
    QFETCH(int, key);
    bool closed = false;
    const bool opened = about([&](TAboutBox *box) {
        QTRY_COMPARE(QApplication::focusWidget(), child<QPushButton>(box, "btnOk"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        closed = !box->isVisible();
    });
    QVERIFY(opened);
    QVERIFY(closed);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(m_form->findChild<TAboutBox *>(), nullptr);
    // The window behind took no part: no run was stopped, nothing else opened.
    QVERIFY(m_form->isIdle());
    QVERIFY(m_form->isVisible());
}

// The window's own icon is the program artwork, as the About box shows it;
// it does not depend on an application-wide icon being set.
void TestAboutWindow::windowShowsTheProgramIcon()
{
    QVERIFY(QApplication::windowIcon().isNull());
    const QIcon icon = m_form->windowIcon();
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
