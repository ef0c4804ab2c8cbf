// SPDX-License-Identifier: MIT
#include "ui/widgets/statusbar.h"

#include <QLabel>

StatusBar::StatusBar(QWidget *parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar"));
    m_simple = new QLabel(this);
    m_panel = new QLabel(this);
    m_panel->setFrameShape(QFrame::NoFrame);
    m_panel->setMinimumWidth(50);
    // The last panel reaches to the right edge, so a long hint is not cut at 50 pixels.
    addWidget(m_simple, 1);
    addWidget(m_panel, 1);
    m_panel->hide();
}

void StatusBar::setSimplePanel(bool simple)
{
    m_simplePanel = simple;
    m_simple->setVisible(simple);
    m_panel->setVisible(!simple);
}

QString StatusBar::simpleText() const
{
    return m_simple->text();
}

void StatusBar::setSimpleText(const QString &text)
{
    m_simple->setText(text);
}

QString StatusBar::panelText() const
{
    return m_panel->text();
}

void StatusBar::setPanelText(const QString &text)
{
    m_panel->setText(text);
}
