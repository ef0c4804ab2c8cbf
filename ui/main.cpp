// SPDX-License-Identifier: MIT
#include "engine/snmp/snmpmgr.h"
#include "ui/commandline.h"
#include "ui/dialogs/errorbox.h"
#include "ui/exitsignals.h"
#include "ui/mainform.h"

#include "engine/mib/mibsetup.h"
#include "ui/widgets/programicon.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    // Before QApplication, which needs a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = readCommandLine(arguments);
    if (line.exitStatus) {
        std::fputs(line.output.toLocal8Bit().constData(), *line.exitStatus == 0 ? stdout : stderr);
        return *line.exitStatus;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvane"));
    QApplication::setWindowIcon(programIcon());

    // The MIB folder, by its path relative to the executable's folder: the
    // same in the build tree as after installation, wherever the prefix.
    const QString mibDir = QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                           + QStringLiteral(NORVANE_MIB_RELDIR));
    SnmpMgrConfigure({QDir::toNativeSeparators(mibDir).toStdString()});

    // Before the window, so that a signal during the settings load is not
    // lost; kept until the window has written the settings.
    ExitSignals exitSignals;

    // The window reports its own failures (settings load and write) through
    // the error box; this catches what escapes its creation or destruction.
    int result = 0;
    try {
        auto window = std::make_unique<TMainForm>();
        // Over what the history put there; the history lists stay as loaded.
        if (line.agent)
            window->agentBox()->setEditText(*line.agent);
        if (line.community)
            window->communityBox()->setEditText(*line.community);
        QObject::connect(&exitSignals, &ExitSignals::exitRequested, window.get(), &QWidget::close);
        if (exitSignals.received()) {
            // Asked to end while it was being created: it ends unshown, and
            // its close writes the settings as any other close does.
            window->close();
        } else {
            window->show();
            // A window manager activates a new window; without one (a bare X
            // server, a kiosk) nothing does, and no shortcut works until a click.
            window->activateWindow();
            result = QApplication::exec();
        }
        window.reset();
    } catch (const std::exception &failure) {
        showErrorBox(nullptr, QString::fromUtf8(failure.what()));
    }
    return result;
}
