// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QToolButton;

// A horizontal scroller for one control: the control keeps its full width,
// and arrow buttons at both ends scroll it when the scroller is narrower.
// A part of the control that takes the keyboard focus is scrolled into sight.
class PageScroller : public QWidget
{
    Q_OBJECT

public:
    explicit PageScroller(QWidget *parent = nullptr);

    void setControl(QWidget *control);
    QWidget *control() const { return m_control; }
    int scrollOffset() const { return m_offset; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void relayout();
    void scrollBy(int dx);
    void ensureVisible(const QWidget *child);

    QWidget *m_viewport = nullptr;
    QWidget *m_control = nullptr;
    QToolButton *m_left = nullptr;
    QToolButton *m_right = nullptr;
    int m_offset = 0;
};
