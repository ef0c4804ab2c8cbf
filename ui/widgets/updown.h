// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <cstdint>

class QLineEdit;
class QToolButton;

// An up-down spinner attached to an edit (its buddy): a pair of arrows that
// move a signed 16-bit position by one step within a range and write it into
// the buddy as a plain decimal number. Holding an arrow repeats at the same
// step, without acceleration; the position stops at the ends and does not
// wrap. Up and Down in the buddy step as well. The arrows never take the focus.
//
// The position is set without a range check, as the low 16 bits of the value
// given, and shown as it is. A step always ends inside the range: it adds
// one step and stops at the end it would pass, so the first step from a
// position outside the range brings it in, to the nearer end unless the
// step itself lands inside.
class TUpDown : public QWidget
{
    Q_OBJECT

public:
    explicit TUpDown(QWidget *parent = nullptr);

    void setBuddy(QLineEdit *buddy);
    void setRange(int minimum, int maximum);
    void setStep(int step);

    void setPosition(int position);
    int position() const { return m_position; }

    // One step up (+1) or down (-1).
    void stepBy(int direction);

signals:
    void positionChanged(int position);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showPosition();

    QToolButton *m_up;
    QToolButton *m_down;
    QLineEdit *m_buddy = nullptr;
    std::int16_t m_position = 0;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_step = 1;
};
