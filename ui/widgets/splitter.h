// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class CoolBar;

// The 3-pixel handle under the cool bar. Dragging it proposes a new height
// for the cool bar, which moves its bands between rows as the drag goes.
class Splitter : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Thickness = 3;
    static constexpr int MinSize = 1;

    explicit Splitter(CoolBar *above, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    CoolBar *m_above;
    bool m_dragging = false;
    int m_grabOffset = 0; // where in the handle the drag started
};
