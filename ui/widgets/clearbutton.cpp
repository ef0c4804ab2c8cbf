// SPDX-License-Identifier: MIT
#include "ui/widgets/clearbutton.h"

#include <QAction>
#include <QLineEdit>
#include <QStyle>

void addClearButton(QLineEdit *edit)
{
    QAction *clear = edit->addAction(edit->style()->standardIcon(QStyle::SP_LineEditClearButton),
                                     QLineEdit::TrailingPosition);
    clear->setText(QLineEdit::tr("Clear"));
    clear->setToolTip(QLineEdit::tr("Clear the text"));
    clear->setVisible(!edit->text().isEmpty());
    QObject::connect(clear, &QAction::triggered, edit, [edit] {
        edit->clear();
        edit->setFocus();
    });
    QObject::connect(edit, &QLineEdit::textChanged, clear, [clear](const QString &text) { clear->setVisible(!text.isEmpty()); });
}
