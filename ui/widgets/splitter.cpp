// SPDX-License-Identifier: MIT
#include "ui/widgets/splitter.h"

#include "ui/widgets/coolbar.h"

#include <QMouseEvent>

#include <algorithm>

Splitter::Splitter(CoolBar *above, QWidget *parent) : QWidget(parent), m_above(above)
{
    setObjectName(QStringLiteral("Splitter"));
    setCursor(Qt::SizeVerCursor);
    setFixedHeight(Thickness);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize Splitter::sizeHint() const
{
    return QSize(0, Thickness);
}

void Splitter::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragging = true;
    m_grabOffset = event->position().toPoint().y();
}

void Splitter::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return QWidget::mouseMoveEvent(event);
    // The proposed height: from the cool bar's top edge to where the handle would now start.
    const int handleTop = mapTo(parentWidget(), event->position().toPoint()).y() - m_grabOffset;
    m_above->moveBandsForHeight(std::max(MinSize, handleTop - m_above->y()));
}

void Splitter::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}
