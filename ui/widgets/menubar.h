// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <vector>

class MenuBar;
class QHBoxLayout;
class QMenu;
class QStyle;

// A flat button that drops down its menu, drawn as a menu bar item. The bar
// opens the menu; the button hands it the mouse press, its accelerator and,
// while the keyboard is on it, the menu bar's keys.
class MenuButton : public QToolButton
{
    Q_OBJECT

public:
    MenuButton(QMenu *menu, MenuBar *bar);

    QMenu *dropDownMenu() const { return m_menu; }
    MenuBar *bar() const { return m_bar; }
    // The letter after "&" in the caption, lower case; null without one.
    QChar mnemonic() const;

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool isBandKey(const QKeyEvent *event) const;

    MenuBar *m_bar;
    QMenu *m_menu;
};

// The drop-down menu bar of the cool bar's first band: one flat button per
// menu. It stands in for a classic menu bar, which the window does not have,
// and answers the keyboard as one: F10, or Alt pressed and released alone,
// puts the keyboard on the first menu button; Left and Right go from menu to
// menu, open or not; Down, Enter or the menu's letter opens one; Esc goes
// back to the control that had the focus. Alt with a menu's letter still
// drops that menu down from anywhere in the window.
class MenuBar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MaxButtonWidth = 135;

    explicit MenuBar(QWidget *parent = nullptr);

    // The hint shows only in the status bar; the buttons have no tooltip.
    MenuButton *addMenu(QMenu *menu, const QString &hint);
    // Watches the window's keys for F10 and a lone Alt.
    void watchKeys(QWidget *window);

    bool keyboardMode() const { return m_keyboardMode; }
    // Puts the keyboard on `button` (the first one by default), remembering
    // where the focus was; or gives the focus back there.
    void enterKeyboardMode(MenuButton *button = nullptr);
    void leaveKeyboardMode();
    void toggleKeyboardMode();

    // Drops the button's menu down, closing any other. From the keyboard the
    // keyboard goes to the button and the menu's first item is highlighted.
    void openMenu(MenuButton *button, bool fromKeyboard);
    // The button `step` places to the left (-1) or right (+1), wrapping round.
    MenuButton *neighbour(const MenuButton *button, int step) const;
    MenuButton *buttonWithMnemonic(QChar letter) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class MenuButton;

    bool isMenuButton(const QWidget *widget) const;
    MenuButton *buttonOf(const QMenu *menu) const;
    bool belongsToWindow(const QObject *object) const;
    void menuClosing(MenuButton *button);
    void buttonLostFocus(Qt::FocusReason reason);
    bool filterMenuKey(QMenu *menu, const QKeyEvent *key);
    void watchAlt(const QObject *watched, const QEvent *event);

    QHBoxLayout *m_layout = nullptr;
    QStyle *m_menuStyle = nullptr;
    std::vector<MenuButton *> m_buttons;
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_returnFocus; // where Esc takes the keyboard back to
    MenuButton *m_open = nullptr;       // whose menu is down
    MenuButton *m_justClosed = nullptr; // whose menu a mouse press has just closed
    bool m_keyboardMode = false;
    bool m_altAlone = false;  // Alt is down, and no other key or button came since
    bool m_keepMode = false;  // the menu closing now was closed by Esc, or for its neighbour
};
