// SPDX-License-Identifier: MIT
#include "ui/widgets/updown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace {

// Holding an arrow: a pause, then one step per interval for as long as it is held.
constexpr int repeatDelay = 400;
constexpr int repeatInterval = 100;

} // namespace

TUpDown::TUpDown(QWidget *parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    setFocusPolicy(Qt::NoFocus);
    const auto setUp = [this](QToolButton *arrow, const char *name, Qt::ArrowType type, int direction) {
        arrow->setObjectName(QLatin1String(name));
        arrow->setArrowType(type);
        arrow->setAccessibleName(type == Qt::UpArrow ? tr("Up") : tr("Down"));
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
        arrow->setAutoRepeatDelay(repeatDelay);
        arrow->setAutoRepeatInterval(repeatInterval);
        connect(arrow, &QToolButton::clicked, this, [this, direction] { stepBy(direction); });
    };
    setUp(m_up, "up", Qt::UpArrow, 1);
    setUp(m_down, "down", Qt::DownArrow, -1);
}

void TUpDown::setBuddy(QLineEdit *buddy)
{
    if (m_buddy)
        m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy)
        m_buddy->installEventFilter(this);
    showPosition();
}

void TUpDown::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

void TUpDown::setStep(int step)
{
    m_step = step;
}

void TUpDown::setPosition(int position)
{
    // The low 16 bits, read as signed (modular since C++20).
    const auto position16 = static_cast<std::int16_t>(position);
    const bool changed = position16 != m_position;
    m_position = position16;
    showPosition();
    if (changed)
        emit positionChanged(m_position);
}

void TUpDown::stepBy(int direction)
{
    const int target = std::clamp(m_position + direction * m_step, std::min(m_minimum, m_maximum),
                                  std::max(m_minimum, m_maximum));
    setPosition(target);
}

void TUpDown::showPosition()
{
    if (m_buddy)
        m_buddy->setText(QString::number(m_position));
}

bool TUpDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            stepBy(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TUpDown::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int upHeight = (height() + 1) / 2;
    m_up->setGeometry(0, 0, width(), upHeight);
    m_down->setGeometry(0, upHeight, width(), height() - upHeight);
}
