// SPDX-License-Identifier: MIT
#include "ui/widgets/uifont.h"

#include <QFontDatabase>

QFont norvaneFont()
{
    const QString designFamily = QStringLiteral("MS Sans Serif");
    if (QFontDatabase::hasFamily(designFamily))
        return QFont(designFamily, 8);

    QFont font(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family(), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
