// SPDX-License-Identifier: MIT
#include "ui/results/findbar.h"

#include "ui/widgets/clearbutton.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

FindBar::FindBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FindBar"));
    setAccessibleName(tr("Find in the results"));
    auto *label = new QLabel(tr("Find:"), this);
    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setAccessibleName(tr("Find"));
    addClearButton(edtFind);
    label->setBuddy(edtFind);
    chkMatchCase = new QCheckBox(tr("Match case"), this);
    chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));
    chkWholeValue = new QCheckBox(tr("Whole value"), this);
    chkWholeValue->setObjectName(QStringLiteral("chkWholeValue"));
    auto button = [this](QToolButton *&b, const char *name, const QString &text, const QString &hint) {
        b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setAccessibleName(text);
        b->setToolTip(hint);
        b->setAutoRaise(true);
    };
    button(btnFindPrevious, "btnFindPrevious", tr("Previous"), tr("Find the row before (Shift+F3)"));
    button(btnFindNext, "btnFindNext", tr("Next"), tr("Find the next row (F3)"));
    button(btnCloseFind, "btnCloseFind", tr("Close"), tr("Close the find bar (Esc)"));
    btnCloseFind->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(label);
    layout->addWidget(edtFind, 1);
    layout->addWidget(btnFindPrevious);
    layout->addWidget(btnFindNext);
    layout->addWidget(chkMatchCase);
    layout->addWidget(chkWholeValue);
    layout->addWidget(btnCloseFind);

    // Tab goes as the controls stand on screen.
    setTabOrder(edtFind, btnFindPrevious);
    setTabOrder(btnFindPrevious, btnFindNext);
    setTabOrder(btnFindNext, chkMatchCase);
    setTabOrder(chkMatchCase, chkWholeValue);
    setTabOrder(chkWholeValue, btnCloseFind);

    connect(btnFindNext, &QToolButton::clicked, this, &FindBar::findNext);
    connect(btnFindPrevious, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(btnCloseFind, &QToolButton::clicked, this, &FindBar::closed);
    edtFind->installEventFilter(this);
    hide();
}

QString FindBar::text() const
{
    return edtFind->text();
}

RowSearch::Options FindBar::options() const
{
    return {chkMatchCase->isChecked(), chkWholeValue->isChecked()};
}

void FindBar::open()
{
    show();
    edtFind->setFocus(Qt::ShortcutFocusReason);
    edtFind->selectAll();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != edtFind || (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress))
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    // Enter here finds rather than opening the details (the window's Enter).
    if (event->type() == QEvent::ShortcutOverride) {
        if (enter)
            event->accept();
        return false;
    }
    if (enter) {
        if (key->modifiers() & Qt::ShiftModifier)
            emit findPrevious();
        else
            emit findNext();
        return true;
    }
    return false;
}

void FindBar::keyPressEvent(QKeyEvent *event)
{
    // From any control of the bar, as the controls leave Esc alone. It
    // reaches the bar only while Stop has nothing to stop.
    if (event->key() == Qt::Key_Escape && !event->modifiers()) {
        emit closed();
        return;
    }
    QWidget::keyPressEvent(event);
}
