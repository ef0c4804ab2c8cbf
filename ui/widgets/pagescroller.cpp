// SPDX-License-Identifier: MIT
#include "ui/widgets/pagescroller.h"

#include <QApplication>
#include <QEvent>
#include <QToolButton>

#include <algorithm>

namespace {
constexpr int ArrowWidth = 12;
constexpr int ScrollStep = 16;
} // namespace

PageScroller::PageScroller(QWidget *parent) : QWidget(parent)
{
    m_viewport = new QWidget(this);
    m_viewport->installEventFilter(this);
    m_left = new QToolButton(this);
    m_right = new QToolButton(this);
    for (QToolButton *arrow : {m_left, m_right}) {
        arrow->setAutoRaise(true);
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->hide();
    }
    m_left->setArrowType(Qt::LeftArrow);
    m_right->setArrowType(Qt::RightArrow);
    m_left->setAccessibleName(tr("Scroll left"));
    m_right->setAccessibleName(tr("Scroll right"));
    connect(m_left, &QToolButton::clicked, this, [this] { scrollBy(-ScrollStep); });
    connect(m_right, &QToolButton::clicked, this, [this] { scrollBy(ScrollStep); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && m_control && m_control->isAncestorOf(now))
            ensureVisible(now);
    });
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void PageScroller::setControl(QWidget *control)
{
    m_control = control;
    control->setParent(m_viewport);
    m_offset = 0;
    updateGeometry();
    relayout();
}

QSize PageScroller::sizeHint() const
{
    return m_control ? m_control->sizeHint() : QSize(0, 0);
}

QSize PageScroller::minimumSizeHint() const
{
    return QSize(2 * ArrowWidth, m_control ? m_control->sizeHint().height() : 0);
}

void PageScroller::resizeEvent(QResizeEvent *)
{
    relayout();
}

bool PageScroller::eventFilter(QObject *watched, QEvent *event)
{
    // The control's size hint changed (its layout posts the request to its parent, the viewport).
    if (watched == m_viewport && event->type() == QEvent::LayoutRequest) {
        updateGeometry();
        relayout();
    }
    return QWidget::eventFilter(watched, event);
}

void PageScroller::relayout()
{
    if (!m_control)
        return;
    const int needed = m_control->sizeHint().width();
    const bool scrolls = needed > width();
    m_left->setVisible(scrolls);
    m_right->setVisible(scrolls);
    if (scrolls) {
        m_left->setGeometry(0, 0, ArrowWidth, height());
        m_right->setGeometry(width() - ArrowWidth, 0, ArrowWidth, height());
        m_viewport->setGeometry(ArrowWidth, 0, std::max(0, width() - 2 * ArrowWidth), height());
    } else {
        m_viewport->setGeometry(0, 0, width(), height());
    }
    m_offset = std::clamp(m_offset, 0, std::max(0, needed - m_viewport->width()));
    m_control->setGeometry(-m_offset, 0, std::max(needed, m_viewport->width()), height());
}

void PageScroller::scrollBy(int dx)
{
    m_offset += dx;
    relayout();
}

void PageScroller::ensureVisible(const QWidget *child)
{
    const QRect r(child->mapTo(m_control, QPoint(0, 0)), child->size());
    const int shown = m_viewport->width();
    if (r.left() < m_offset)
        m_offset = r.left();
    else if (r.right() + 1 > m_offset + shown)
        m_offset = r.right() + 1 - shown;
    else
        return;
    relayout();
}
