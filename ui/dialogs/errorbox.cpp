// SPDX-License-Identifier: MIT
#include "ui/dialogs/errorbox.h"

#include "common/messages.h"
#include "engine/snmp/snmperrors.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QRegularExpression>

namespace {

constexpr int DetailsWidth = 440;

// A message template of messages.h as a pattern whose %d placeholders capture
// the numbers, so the messages keep their specified texts and carry no codes
// of their own.
QRegularExpression templatePattern(const char *templ)
{
    QStringList pieces = QString::fromLatin1(templ).split(QStringLiteral("%d"));
    for (QString &piece : pieces)
        piece = QRegularExpression::escape(piece);
    return QRegularExpression(QLatin1Char('^') + pieces.join(QStringLiteral("(-?\\d+)")) + QLatin1Char('$'));
}

QString detailsOf(const SnmpErrorInfo *info, const QString &what)
{
    if (!info)
        return QString();
    return QStringLiteral("%1 %2, %3: %4")
        .arg(what, QString::number(info->code), QLatin1String(info->name), QString::fromUtf8(info->meaning));
}

} // namespace

QString errorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

QString errorBoxDetails(const QString &message)
{
    static const QRegularExpression codes[] = {templatePattern(msg::OpenError), templatePattern(msg::RequestError)};
    static const QRegularExpression status = templatePattern(msg::RequestStatus);
    for (const QRegularExpression &code : codes)
        if (const QRegularExpressionMatch m = code.match(message); m.hasMatch())
            return detailsOf(snmpErrorCode(m.captured(1).toUInt()), QStringLiteral("Error"));
    if (const QRegularExpressionMatch m = status.match(message); m.hasMatch())
        return detailsOf(snmpErrorStatus(m.captured(1).toInt()), QStringLiteral("Error status"));
    return QString();
}

void showErrorBox(QWidget *owner, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Norvane"), errorBoxText(message), QMessageBox::Ok, owner);
    const QString details = errorBoxDetails(message);
    box.setDetailedText(details);
    // Wide enough for the details to read in a few lines, not a narrow column to scroll.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()); grid && !details.isEmpty())
        grid->addItem(new QSpacerItem(DetailsWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    box.exec();
}
