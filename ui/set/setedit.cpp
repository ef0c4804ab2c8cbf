// SPDX-License-Identifier: MIT
#include "ui/set/setedit.h"

#include <QCoreApplication>

QString setConfirmationText(const SetEdit &edit)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("SetEdit", text); };
    QString text = tr("Send this Set to %1 (%2)?\n").arg(edit.agent, edit.credentials);
    for (const SetBinding &b : edit.bindings) {
        const QString type = QString::fromLatin1(setTypeName(b.type)) + (b.overridden ? tr(", overridden") : QString());
        const QString old = b.current.empty() ? tr("(not read)") : QString::fromStdString(b.current);
        text += tr("\n%1 (%2)\n    %3  ->  %4").arg(QString::fromStdString(b.name), type, old, QString::fromStdString(b.text));
        // What the dialog warned of (a read-only object, a type overridden) is said once more.
        if (const std::string warning = checkSetBinding(b).warning; !warning.empty())
            text += QStringLiteral("\n    ") + QString::fromStdString(warning);
    }
    return text;
}
