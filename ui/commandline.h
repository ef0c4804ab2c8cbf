// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The program's own options, read before anything of Qt's GUI starts, so
// that --help and --version work with no display. Qt's own options
// (-platform, -style...) are left for QApplication.
struct CommandLine
{
    // Set when the program ends at once: what to print, and the exit status
    // (0 for --help and --version, 2 for a misused option, printed to stderr).
    std::optional<int> exitStatus;
    QString output;
    // --agent and --community: the boxes' texts for this start only.
    std::optional<QString> agent;
    std::optional<QString> community;
};

CommandLine readCommandLine(const QStringList &arguments);
