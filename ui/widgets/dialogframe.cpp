// SPDX-License-Identifier: MIT
#include "ui/widgets/dialogframe.h"

#include <QDialog>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

void setFixedDialogFrame(QDialog *dialog, QSize client)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setFixedSize(client);
    dialog->setSizeGripEnabled(false);
    dialog->setModal(true);
}

int captionWidth(const QPushButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    const QStyle *style = button->style();
    const int text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width();
    return text + style->pixelMetric(QStyle::PM_ButtonMargin, &option, button)
        + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
}
