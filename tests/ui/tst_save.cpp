// SPDX-License-Identifier: MIT
#include "engine/query/rowrender.h"
#include "tests/support/files.h"
#include "tests/support/scriptedagent.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/windowfixture.h"
#include "ui/dialogs/errorbox.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// The OIDs of a walk's lines, in order: "oid | ..." lines of a saved file or
// "oid = ..." lines of snmpwalk -On (whose long values may go on over lines).
QStringList oidsOf(const QByteArray &text, const QString &separator)
{
    const QRegularExpression line(QStringLiteral("^(\\.\\d+(?:\\.\\d+)*)") + QRegularExpression::escape(separator));
    QStringList oids;
    for (const QByteArray &l : text.split('\n')) {
        const QRegularExpressionMatch m = line.match(QString::fromLatin1(l));
        if (m.hasMatch())
            oids << m.captured(1);
    }
    return oids;
}

// A tmpfs of 64 KiB, unmounted when the object goes.
class TinyFileSystem
{
public:
    explicit TinyFileSystem(const QString &dir) : m_dir(QFile::encodeName(dir))
    {
        m_mounted = ::mount("tmpfs", m_dir.constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TinyFileSystem()
    {
        if (m_mounted)
            ::umount2(m_dir.constData(), MNT_DETACH);
    }
    TinyFileSystem(const TinyFileSystem &) = delete;
    TinyFileSystem &operator=(const TinyFileSystem &) = delete;
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_dir;
    bool m_mounted = false;
};

} // namespace

class TestSave final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void threeRowsInListOrder();
    void cancelWritesNothing();
    void extensionRule_data();
    void extensionRule();
    void saveAgainWithoutAsking();
    void refusedFolder();
    void fullDevice();
    void fullFileSystemKeepsTheEarlierFile();
    void recordingReplacedWholeOrNotAtAll();
    void replaceQuestionForTheChangedName();
    void savedWalkMatchesSnmpwalk_data();
    void savedWalkMatchesSnmpwalk();
    void realSaveDialog();
    void mibValuesShownAndSaved();

private:
    void run(const QString &agent, const QString &oids, const char *operation);
    QByteArray listText() const;
    QString out(const QString &name) const { return m_dir->filePath(QStringLiteral("out/") + name); }
    void answer(const QString &path);

    ScriptedAgent m_agent;
    SnmpdAgent m_snmpd;
    bool m_snmpdUp = false;
    std::unique_ptr<QTemporaryDir> m_dir;
    WindowFixture m_window;
};

void TestSave::initTestCase()
{
    // A readable value with the separator in it, and one rendered as a long hex dump.
    m_agent.setTable({
        {ScriptedAgent::oid("1.3.6.1.4.1.99999.1.1"), ScriptedAgent::Value::integer(7)},
        {ScriptedAgent::oid("1.3.6.1.4.1.99999.1.2"), ScriptedAgent::Value::octets("left | right\x7f")},
        {ScriptedAgent::oid("1.3.6.1.4.1.99999.1.3"), ScriptedAgent::Value::octets(QByteArray(48, '\xc3'))},
    });
    QVERIFY(m_agent.start());
    m_snmpdUp = m_snmpd.start();
    if (!m_snmpdUp)
        qWarning("snmpd did not start: %s", qPrintable(m_snmpd.log()));
}

void TestSave::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("out")));
    QVERIFY(m_window.start());
}

void TestSave::cleanup()
{
    m_window.stop();
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    m_dir.reset();
}

void TestSave::run(const QString &agent, const QString &oids, const char *operation)
{
    m_window.setInputs(agent, QStringLiteral("tarnel"), oids);
    QVERIFY(m_window.trigger(operation));
    QVERIFY(m_window.trigger("actRun"));
    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));
}

// The list as the file must hold it, read through the view's own texts.
QByteArray TestSave::listText() const
{
    const QAbstractItemModel *model = m_window->listView()->model();
    QByteArray text;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < 4; ++column)
            fields << model->index(row, column).data().toString();
        text += fields.join(QStringLiteral(" | ")).toLatin1() + "\r\n";
    }
    return text;
}

void TestSave::answer(const QString &path)
{
    m_window.log.answerFile = [path] { return std::optional<QString>(path); };
}

void TestSave::threeRowsInListOrder()
{
    run(m_agent.address(), QStringLiteral(".1.3.6.1.4.1.99999.1"), "actWalk");
    QCOMPARE(m_window->listView()->model()->rowCount(), 3);
    answer(out("three.txt"));
    QVERIFY(m_window.trigger("actSave"));
    QCOMPARE(m_window.log.asked, QStringList{"*.txt"});
    QVERIFY(m_window.log.errors.isEmpty());
    QCOMPARE(m_window->currentFileName(), out("three.txt"));

    const QByteArray text = readAll(out("three.txt"));
    QCOMPARE(text, listText());
    QVERIFY(text.endsWith("\r\n"));
    const QList<QByteArray> lines = text.chopped(2).split('\n');
    QCOMPARE(lines.size(), 3);
    for (const QByteArray &line : lines.first(2))
        QVERIFY(line.endsWith('\r'));
    QVERIFY(lines[0].startsWith(".1.3.6.1.4.1.99999.1.1 | "));
    QVERIFY(lines[0].endsWith(" | Integer32 | 7\r"));
    // Verbatim: the separator inside the value, the DEL byte, the hex dump.
    QVERIFY(lines[1].startsWith(".1.3.6.1.4.1.99999.1.2 | "));
    QVERIFY(lines[1].endsWith(" | Octet String | left | right\x7f\r"));
    QVERIFY(lines[2].endsWith(" | Octet String | " + QByteArray("C3 ").repeated(48)));
}

void TestSave::cancelWritesNothing()
{
    run(m_agent.address(), QStringLiteral(".1.3.6.1.4.1.99999.1"), "actWalk");
    QVERIFY(m_window.trigger("actSave"));
    QCOMPARE(m_window.log.asked, QStringList{"*.txt"});
    QVERIFY(m_window->currentFileName().isEmpty());
    QCOMPARE(QDir(out(QString())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());

    // With a current file: the dialog starts from it, and a cancel keeps it.
    answer(out("first.txt"));
    QVERIFY(m_window.trigger("actSaveAs"));
    QVERIFY(writeFile(out("first.txt"), "old"));
    m_window.log.answerFile = [] { return std::nullopt; };
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window.log.asked, (QStringList{"*.txt", "*.txt", out("first.txt")}));
    QCOMPARE(m_window->currentFileName(), out("first.txt"));
    QCOMPARE(readAll(out("first.txt")), QByteArray("old"));
    QVERIFY(m_window.log.errors.isEmpty());
}

void TestSave::extensionRule_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "results" << "results.txt";
    QTest::newRow(".log replaced") << "results.log" << "results.txt";
    QTest::newRow(".TXT kept") << "results.TXT" << "results.TXT";
    QTest::newRow(".Txt kept") << "results.Txt" << "results.Txt";
    QTest::newRow("final dot") << "results." << "results.txt";
    QTest::newRow("dotted folder") << "data.old/results" << "data.old/results.txt";
    QTest::newRow("two dots") << "results.final.log" << "results.final.txt";
}

void TestSave::extensionRule()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QVERIFY(QDir(out(QString())).mkdir(QStringLiteral("data.old")));
    run(m_agent.address(), QStringLiteral(".1.3.6.1.4.1.99999.1"), "actWalk");
    answer(out(chosen));
    QVERIFY(m_window.trigger("actSaveAs"));
    QVERIFY(m_window.log.errors.isEmpty());
    QVERIFY(m_window.log.replaced.isEmpty());
    QCOMPARE(m_window->currentFileName(), out(written));
    QCOMPARE(readAll(out(written)), listText());
    if (chosen != written)
        QVERIFY(!QFileInfo::exists(out(chosen)) || QFileInfo(out(chosen)).isDir());
}

void TestSave::saveAgainWithoutAsking()
{
    run(m_agent.address(), QStringLiteral(".1.3.6.1.4.1.99999.1"), "actWalk");
    answer(out("r.txt"));
    QVERIFY(m_window.trigger("actSaveAs"));
    const QByteArray walked = readAll(out("r.txt"));
    QCOMPARE(walked, listText());

    // Save writes the same file again: no dialog, no question.
    QVERIFY(writeFile(out("r.txt"), "stale"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_window.log.asked.size(), 1);
    QVERIFY(m_window.log.replaced.isEmpty());
    QCOMPARE(readAll(out("r.txt")), walked);

    // Clear keeps the name; after a new run, Save replaces the file with the new rows.
    QVERIFY(m_window.trigger("actClear"));
    QCOMPARE(m_window->currentFileName(), out("r.txt"));
    run(m_agent.address(), QStringLiteral(".1.3.6.1.4.1.99999.1.1"), "actGet");
    QCOMPARE(m_window->listView()->model()->rowCount(), 1);
    QVERIFY(m_window.trigger("actSave"));
    QCOMPARE(m_window.log.asked.size(), 1);
    const QByteArray text = readAll(out("r.txt"));
    QCOMPARE(text, listText());
    QCOMPARE(text.count("\r\n"), 1);
    QVERIFY(text.startsWith(".1.3.6.1.4.1.99999.1.1 | "));
}

void TestSave::refusedFolder()
{
    // Root may write anywhere a mode allows; sysfs refuses new files even to root.
    QString refused;
    if (::geteuid() == 0) {
        refused = QStringLiteral("/sys/norvane-results.txt");
    } else {
        QVERIFY(QDir(out(QString())).mkdir(QStringLiteral("locked")));
        QVERIFY(QFile::setPermissions(out("locked"), QFile::ReadOwner | QFile::ExeOwner));
        refused = out("locked/results.txt");
    }
    run(m_agent.address(), QStringLiteral(".1.3.6.1.4.1.99999.1"), "actWalk");
    answer(refused);
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window.log.errors, QStringList{"File access denied"});
    QCOMPARE(errorBoxText(m_window.log.errors.first()), QStringLiteral("File access denied."));
    QVERIFY(!QFileInfo::exists(refused));
    // The refused name is the current one: Save tries it again, without the dialog.
    QCOMPARE(m_window->currentFileName(), refused);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QVERIFY(m_window->isIdle());
    QVERIFY(m_window.trigger("actSave"));
    QCOMPARE(m_window.log.asked.size(), 1);
    QCOMPARE(m_window.log.errors, (QStringList{"File access denied", "File access denied"}));
    QCOMPARE(m_window->listView()->model()->rowCount(), 3);
}

void TestSave::fullDevice()
{
    // A ".txt" name that leads to /dev/full: opens, then every write finds no space.
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), out("full.txt")));
    run(m_agent.address(), QStringLiteral(".1.3.6.1.4.1.99999.1"), "actWalk");
    answer(out("full.txt"));
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window.log.errors, QStringList{"I/O error 112"});
    QCOMPARE(errorBoxText(m_window.log.errors.first()), QStringLiteral("I/O error 112."));
    QCOMPARE(m_window->currentFileName(), out("full.txt"));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(m_window->listView()->model()->rowCount(), 3);
}

void TestSave::fullFileSystemKeepsTheEarlierFile()
{
    QVERIFY(QDir(out(QString())).mkdir(QStringLiteral("small")));
    const TinyFileSystem disk(out("small"));
    if (!disk.mounted())
        QSKIP("cannot mount a tmpfs here (needs root)");
    ScriptedAgent agent;
    agent.setHandler(ScriptedAgent::integerSubtreeHandler("1.3.6.1.4.1.99999.2", 3000));
    QVERIFY(agent.start());
    run(agent.address(), QStringLiteral(".1.3.6.1.4.1.99999.2"), "actWalk");
    QCOMPARE(m_window->listView()->model()->rowCount(), 3000);
    const QByteArray full = listText();
    QVERIFY(full.size() > 64 * 1024);

    // The walk of an earlier day, saved there before: the new one does not fit beside it.
    const QByteArray earlier = full.left(2000);
    QVERIFY(writeFile(out("small/walk.txt"), earlier));
    answer(out("small/walk.txt"));
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window.log.errors, QStringList{"I/O error 112"});
    QCOMPARE(readAll(out("small/walk.txt")), earlier);
    QCOMPARE(filesIn(out("small"), "*"), QStringList{"walk.txt"});
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QVERIFY(m_window->isIdle());
}

// A recording is written beside the file and renamed over it: a full disk
// leaves the earlier recording as it was, and no temporary file behind.
void TestSave::recordingReplacedWholeOrNotAtAll()
{
    QVERIFY(QDir(out(QString())).mkdir(QStringLiteral("small")));
    const TinyFileSystem disk(out("small"));
    if (!disk.mounted())
        QSKIP("cannot mount a tmpfs here (needs root)");
    if (!m_snmpdUp)
        QSKIP("snmpd is not available");
    QVERIFY(writeFile(out("small/agent.snmprec"), "1.3.6.1.2.1.1.5.0|4|earlier\n"));
    run(m_snmpd.address(), QStringLiteral(".1.3.6.1.2.1"), "actWalk");
    answer(out("small/agent.snmprec"));
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window.log.errors, QStringList{"I/O error 112"});
    QCOMPARE(readAll(out("small/agent.snmprec")), QByteArray("1.3.6.1.2.1.1.5.0|4|earlier\n"));
    QCOMPARE(filesIn(out("small")), QStringList{"agent.snmprec"});
    // A folder refused: Save's message.
    answer(QStringLiteral("/sys/norvane.snmpwalk"));
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window.log.errors.last(), QStringLiteral("File access denied"));
}

void TestSave::replaceQuestionForTheChangedName()
{
    run(m_agent.address(), QStringLiteral(".1.3.6.1.4.1.99999.1"), "actWalk");
    QVERIFY(writeFile(out("results.txt"), "keep"));

    // "results" typed while results.txt exists: asked about results.txt. No,
    // and nothing is written, the current name stays empty.
    answer(out("results"));
    m_window.log.answerReplace = false;
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window.log.replaced, QStringList{out("results.txt")});
    QCOMPARE(readAll(out("results.txt")), QByteArray("keep"));
    QVERIFY(!QFileInfo::exists(out("results")));
    QVERIFY(m_window->currentFileName().isEmpty());

    // With an earlier file: No keeps it as the current name, so Ctrl+S writes
    // there and still not over results.txt.
    answer(out("earlier.txt"));
    QVERIFY(m_window.trigger("actSaveAs"));
    QVERIFY(writeFile(out("earlier.txt"), "stale"));
    answer(out("results.log"));
    QVERIFY(writeFile(out("results.log"), "log"));
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window.log.replaced.size(), 2);
    QCOMPARE(m_window.log.replaced.last(), out("results.txt"));
    QCOMPARE(m_window->currentFileName(), out("earlier.txt"));
    QVERIFY(m_window.trigger("actSave"));
    QCOMPARE(readAll(out("earlier.txt")), listText());
    QCOMPARE(readAll(out("results.txt")), QByteArray("keep"));
    QCOMPARE(readAll(out("results.log")), QByteArray("log"));

    // Yes: results.txt is replaced and becomes the current file.
    answer(out("results"));
    m_window.log.answerReplace = true;
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window.log.replaced.size(), 3);
    QCOMPARE(readAll(out("results.txt")), listText());
    QCOMPARE(m_window->currentFileName(), out("results.txt"));

    // The name the dialog itself returned was the dialog's to confirm.
    QVERIFY(writeFile(out("results.txt"), "again"));
    answer(out("results.txt"));
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window.log.replaced.size(), 3);
    QCOMPARE(readAll(out("results.txt")), listText());
    QVERIFY(m_window.log.errors.isEmpty());
}

void TestSave::savedWalkMatchesSnmpwalk_data()
{
    QTest::addColumn<QString>("subtree");
    QTest::newRow("system") << ".1.3.6.1.2.1.1";
    QTest::newRow("interfaces") << ".1.3.6.1.2.1.2";
}

void TestSave::savedWalkMatchesSnmpwalk()
{
    QFETCH(QString, subtree);
    if (!m_snmpdUp)
        QSKIP("snmpd is not available");
    run(m_snmpd.address(), subtree, "actWalk");
    answer(out("walk.txt"));
    QVERIFY(m_window.trigger("actSaveAs"));
    QVERIFY(m_window.log.errors.isEmpty());
    const QStringList saved = oidsOf(readAll(out("walk.txt")), QStringLiteral(" | "));
    QCOMPARE(saved.size(), m_window->listView()->model()->rowCount());
    QVERIFY2(saved.size() >= 5, qPrintable(QString::number(saved.size())));

    QProcess snmpwalk;
    snmpwalk.start(QStringLiteral("snmpwalk"),
                   {"-v1", "-On", "-c", QString::fromLatin1(SnmpdAgent::Community), m_snmpd.address(), subtree});
    QVERIFY(snmpwalk.waitForFinished(30000));
    QCOMPARE(snmpwalk.exitCode(), 0);
    const QStringList walked = oidsOf(snmpwalk.readAllStandardOutput(), QStringLiteral(" = "));
    QCOMPARE(saved, walked);
}

void TestSave::realSaveDialog()
{
    QVERIFY(m_window.open(WindowFixture::Dialogs::Real));
    run(m_agent.address(), QStringLiteral(".1.3.6.1.4.1.99999.1"), "actWalk");

    // The first modal dialog of the class, handled once it is up (polled: the
    // command processes events before it shows the dialog).
    auto whenModal = [this](const char *className, std::function<void(QDialog *)> handle) {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, className, handle] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->inherits(className) || !dialog->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            const QPointer<QDialog> guard(dialog);
            handle(dialog);
            // A handler that failed half-way must not leave the test waiting on the dialog.
            if (guard && guard->isVisible())
                guard->reject();
        });
        poll->start(10);
    };

    // The name field of the active dialog, focused as a user's typing would
    // find it (the dialog's completion looks at the focus).
    auto nameField = [](QDialog *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (QTest::qWaitForWindowActive(dialog))
            edit->setFocus();
        return edit;
    };
    auto typeName = [](QLineEdit *edit, const QString &name) {
        QTRY_VERIFY(edit->hasFocus());
        edit->clear();
        QTest::keyClicks(edit, name);
    };

    QString initialText;
    QStringList filters;
    bool saving = false;
    bool confirms = false;
    bool grip = false;
    QString suffix = QStringLiteral("unset");
    QString startFolder;
    QWidget *owner = nullptr;
    whenModal("QFileDialog", [&](QDialog *d) {
        auto *dialog = static_cast<QFileDialog *>(d);
        owner = dialog->parentWidget();
        saving = dialog->acceptMode() == QFileDialog::AcceptSave;
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        grip = dialog->isSizeGripEnabled();
        suffix = dialog->defaultSuffix();
        filters = dialog->nameFilters();
        QLineEdit *edit = nameField(dialog);
        initialText = edit->text();
        startFolder = dialog->directory().absolutePath();
        dialog->setDirectory(out(QString()));
        typeName(edit, QStringLiteral("viaDialog"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QVERIFY(m_window.trigger("actSave"));
    QCOMPARE(owner, m_window.get());
    QVERIFY(saving);
    QVERIFY(confirms);
    QVERIFY(grip);
    QCOMPARE(suffix, QString());
    QCOMPARE(filters.value(0), QStringLiteral("Norvane Files (*.txt)"));
    QCOMPARE(filters.size(), 3); // and the two recordings
    QCOMPARE(initialText, QStringLiteral("*.txt"));
    // In the user's folders, not the working folder (the source tree under scripts/run.sh).
    QVERIFY2(startFolder.startsWith(QDir::homePath()) && startFolder != QDir::currentPath(), qPrintable(startFolder));
    QCOMPARE(m_window->currentFileName(), out("viaDialog.txt"));
    QCOMPARE(readAll(out("viaDialog.txt")), listText());

    // The same name typed again: the dialog sees no "viaDialog" file, the
    // window asks about viaDialog.txt. No leaves it as it was.
    QVERIFY(writeFile(out("viaDialog.txt"), "stale"));
    QString question;
    bool defaultNo = false;
    whenModal("QFileDialog", [&](QDialog *d) {
        QLineEdit *edit = nameField(d);
        initialText = edit->text();
        typeName(edit, QStringLiteral("viaDialog"));
        QTest::keyClick(edit, Qt::Key_Return);
        whenModal("QMessageBox", [&](QDialog *asked) {
            auto *box = static_cast<QMessageBox *>(asked);
            question = box->windowTitle() + QLatin1Char('|') + box->text();
            defaultNo = box->defaultButton() == box->button(QMessageBox::No);
            box->button(QMessageBox::No)->click();
        });
    });
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(initialText, QStringLiteral("viaDialog.txt"));
    QCOMPARE(question, QStringLiteral("Norvane|'viaDialog.txt' already exists.\nDo you want to replace it?"));
    QVERIFY(defaultNo);
    QCOMPARE(readAll(out("viaDialog.txt")), QByteArray("stale"));
    QCOMPARE(m_window->currentFileName(), out("viaDialog.txt"));
}

// MIB Values renders the rows in the list anew, both ways, and Save writes
// them as shown; rows the MIB does not describe stay as they were.
void TestSave::mibValuesShownAndSaved()
{
    const auto bind = [](std::vector<uint32_t> name, uint8_t tag, int number, const std::string &bytes) {
        SnmpVarBind b;
        b.name.ids = std::move(name);
        b.value.asnType = tag;
        b.value.number = number;
        b.value.bytes = bytes;
        return renderBinding(b);
    };
    m_window->appendRow(bind({1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 1}, asn::Integer32, 2, ""));
    m_window->appendRow(bind({1, 3, 6, 1, 2, 1, 1, 1, 0}, asn::OctetString, 0, "IOS\r\nTAC"));
    m_window->appendRow(bind({1, 3, 6, 1, 4, 1, 99999, 1}, asn::OctetString, 0, "\x01\x02"));
    // Its text ends at the NUL: the row keeps the bytes beside it.
    m_window->appendRow(bind({1, 3, 6, 1, 2, 1, 2, 2, 1, 6, 1}, asn::OctetString, 0, std::string("\0ABCDE", 6)));
    // BITS: octets, never a text that ends at the first 00.
    m_window->appendRow(bind({1, 3, 6, 1, 2, 1, 10, 7, 9, 1, 1, 1}, asn::OctetString, 0, std::string("\0@", 2)));
    // InetAddresses of tcpConnectionTable: by the dns(16) in the list; no type, so by its length.
    const auto column = [](uint32_t c) { return std::vector<uint32_t>{1, 3, 6, 1, 2, 1, 6, 19, 1, c, 1, 4, 10, 0, 0, 1, 80}; };
    m_window->appendRow(bind(column(4), asn::Integer32, 16, ""));
    m_window->appendRow(bind(column(5), asn::OctetString, 0, "ns1.example.org."));
    m_window->appendRow(bind(column(2), asn::OctetString, 0, "abcd"));
    m_window->results().flush();
    const QByteArray plain = listText();
    QVERIFY(!m_window.command("actMibValues")->isChecked());
    QVERIFY(m_window.trigger("actMibValues"));
    QVERIFY(m_window.command("actMibValues")->isChecked());
    const QAbstractItemModel *model = m_window->listView()->model();
    QCOMPARE(model->index(0, 3).data().toString(), QStringLiteral("down(2)"));
    QCOMPARE(model->index(1, 3).data().toString(), QStringLiteral("IOS\u21B5TAC"));
    QCOMPARE(model->index(2, 3).data().toString(), QStringLiteral("01 02 "));
    QCOMPARE(model->index(3, 3).data().toString(), QStringLiteral("00:41:42:43:44:45"));
    QCOMPARE(model->index(4, 3).data().toString(), QStringLiteral("00 40 9"));
    QCOMPARE(model->index(6, 3).data().toString(), QStringLiteral("ns1.example.org."));
    QCOMPARE(model->index(6, 3).data(Qt::ToolTipRole), QVariant());
    QCOMPARE(model->index(7, 3).data().toString(), QStringLiteral("97.98.99.100"));
    QVERIFY(!model->index(7, 3).data(Qt::ToolTipRole).toString().isEmpty()); // a guess, and says so
    // Its type fetched beside the rows: no row of its own.
    m_window->results().addCompanionRow(bind(column(1), asn::Integer32, 16, ""));
    QCOMPARE(model->rowCount(), 8);
    QCOMPARE(model->index(7, 3).data().toString(), QStringLiteral("abcd"));
    QCOMPARE(model->index(7, 3).data(Qt::ToolTipRole), QVariant());
    answer(out("mib.txt"));
    QVERIFY(m_window.trigger("actSave"));
    QVERIFY(m_window.log.errors.isEmpty());
    QCOMPARE(readAll(out("mib.txt")), QByteArray(plain).replace(" | 2\r\n", " | down(2)\r\n")
                                          .replace("49 4F 53 0D 0A 54 41 43 ", "IOS\xE2\x86\xB5TAC")
                                          .replace("String | \r\n", "String | 00:41:42:43:44:45\r\n")
                                          .replace("00 40 \r\n", "00 40 9\r\n").replace(" | 16\r\n", " | dns(16)\r\n"));
    QVERIFY(m_window.trigger("actMibValues"));
    QCOMPARE(listText(), plain);
}

QTEST_MAIN(TestSave)
#include "tst_save.moc"
