// SPDX-License-Identifier: MIT
#pragma once

#include <QToolButton>
#include <QWidget>

class QHBoxLayout;
class QMenu;

// A flat button that drops down its menu; drawn without the menu arrow, as a
// menu bar item.
class MenuButton : public QToolButton
{
    Q_OBJECT

public:
    explicit MenuButton(QMenu *menu, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The drop-down menu bar of the cool bar's first band: one flat button per
// menu. It stands in for a classic menu bar, which the window does not have.
class MenuBar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MaxButtonWidth = 135;

    explicit MenuBar(QWidget *parent = nullptr);

    // The hint shows only in the status bar; the buttons have no tooltip.
    MenuButton *addMenu(QMenu *menu, const QString &hint);

private:
    QHBoxLayout *m_layout = nullptr;
};
