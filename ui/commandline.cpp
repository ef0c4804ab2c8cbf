// SPDX-License-Identifier: MIT
#include "ui/commandline.h"

namespace {

const char Help[] =
    "Usage: norvane [--agent HOST[:PORT]] [--community TEXT] [Qt options]\n"
    "\n"
    "Norvane, a desktop SNMP browser: Get, GetNext and Walk of the OIDs in the\n"
    "Oids box, each returned variable binding a row of the result list.\n"
    "\n"
    "Options:\n"
    "  --agent HOST[:PORT]  start with this agent in the Agent box\n"
    "  --community TEXT     start with this community in the Community box\n"
    "  -h, --help           show this help and exit\n"
    "  -v, --version        show the version and exit\n"
    "\n"
    "--agent and --community fill the boxes for this start only: the stored\n"
    "history lists stay as they are until a Run records what the boxes hold.\n"
    "A community given here is visible to other users in the process list.\n"
    "Qt's own options are taken too, such as -platform NAME and -style NAME.\n";

} // namespace

CommandLine readCommandLine(const QStringList &arguments)
{
    CommandLine line;
    const auto fail = [&line](const QString &problem) {
        line.exitStatus = 2;
        line.output = QStringLiteral("norvane: %1\nTry 'norvane --help'.\n").arg(problem);
        return line;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            line.exitStatus = 0;
            line.output = QString::fromLatin1(Help);
            return line;
        }
        if (argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
            line.exitStatus = 0;
            line.output = QStringLiteral("Norvane " NORVANE_VERSION "\n");
            return line;
        }
        for (const auto &[name, value] : {std::pair{QStringLiteral("--agent"), &line.agent},
                                          std::pair{QStringLiteral("--community"), &line.community}}) {
            if (argument == name) {
                if (i + 1 >= arguments.size())
                    return fail(QStringLiteral("%1 needs a value").arg(name));
                *value = arguments[++i];
            } else if (argument.startsWith(name + u'=')) {
                *value = argument.mid(name.size() + 1);
            } else {
                continue;
            }
            if (value->value().isEmpty())
                return fail(QStringLiteral("%1 needs a value").arg(name));
        }
    }
    return line;
}
