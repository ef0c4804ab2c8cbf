// SPDX-License-Identifier: MIT
#include "ui/menubar.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QStyleOptionToolButton>
#include <QStylePainter>

MenuButton::MenuButton(QMenu *menu, QWidget *parent) : QToolButton(parent)
{
    setText(menu->title());
    setMenu(menu);
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setMaximumWidth(MenuBar::MaxButtonWidth);
}

void MenuButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.features &= ~QStyleOptionToolButton::HasMenu;
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

MenuBar::MenuBar(QWidget *parent) : QWidget(parent)
{
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
}

MenuButton *MenuBar::addMenu(QMenu *menu, const QString &hint)
{
    auto *button = new MenuButton(menu, this);
    button->setStatusTip(hint);
    m_layout->insertWidget(m_layout->count() - 1, button);
    return button;
}
