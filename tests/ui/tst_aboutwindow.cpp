// SPDX-License-Identifier: MIT
// The About box opened from the main window, and the program icon the two share.
#include "aboutbox.h"
#include "confighome.h"
#include "mainform.h"
#include "modaldriver.h"
#include "programicon.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

#include <memory>

namespace {

QImage programImage()
{
    return programIcon().pixmap(QSize(32, 32)).toImage();
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

QTEST_MAIN(TestAboutWindow)
#include "tst_aboutwindow.moc"
