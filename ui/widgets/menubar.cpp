// SPDX-License-Identifier: MIT
#include "ui/widgets/menubar.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QProxyStyle>
#include <QShortcut>
#include <QStatusTipEvent>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// Disabled menu items are highlighted when pointed at or arrowed onto, as
// enabled ones are, so that they too show their hint in the status bar.
class MenuStyle final : public QProxyStyle
{
public:
    MenuStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        // Styles paint the highlight of enabled items only. Said to be
        // enabled, the item keeps the disabled colours the menu gave it, so
        // it is drawn in the highlight of the disabled colour group.
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element == CE_MenuItem && item && (item->state & State_Selected) && !(item->state & State_Enabled)) {
            QStyleOptionMenuItem highlighted(*item);
            highlighted.state |= State_Enabled;
            QProxyStyle::drawControl(element, &highlighted, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// What a screen reader hears of a menu button: a menu button with a popup,
// named by its caption, with its accelerator and its hint, and focusable,
// as the keyboard does come to it. Its press opens the menu.
class MenuButtonAccessible final : public QAccessibleWidget
{
public:
    explicit MenuButtonAccessible(MenuButton *button) : QAccessibleWidget(button, QAccessible::ButtonMenu) {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return button()->accessibleName().isEmpty() ? QString(button()->text()).remove(u'&')
                                                        : button()->accessibleName();
        case QAccessible::Accelerator:
            return QKeySequence::mnemonic(button()->text()).toString(QKeySequence::NativeText);
        case QAccessible::Description:
            return button()->statusTip();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = true;
        s.hasPopup = true;
        s.pressed = button()->isDown();
        return s;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }

    void doAction(const QString &action) override
    {
        if (action == showMenuAction() || action == pressAction())
            button()->bar()->openMenu(button(), true);
    }

private:
    MenuButton *button() const { return static_cast<MenuButton *>(widget()); }
};

QAccessibleInterface *menuButtonAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("MenuButton") && object && object->isWidgetType())
        return new MenuButtonAccessible(static_cast<MenuButton *>(object));
    return nullptr;
}

QAction *firstItem(const QMenu *menu)
{
    const QList<QAction *> items = menu->actions();
    const auto found = std::find_if(items.begin(), items.end(),
                                    [](const QAction *a) { return !a->isSeparator() && a->isVisible(); });
    return found == items.end() ? nullptr : *found;
}

void showStatusTip(QObject *receiver, const QString &tip)
{
    QStatusTipEvent event(tip);
    QCoreApplication::sendEvent(receiver, &event);
}

} // namespace

MenuButton::MenuButton(QMenu *menu, MenuBar *bar) : QToolButton(bar), m_bar(bar), m_menu(menu)
{
    static const bool accessible = (QAccessible::installFactory(menuButtonAccessible), true);
    Q_UNUSED(accessible);
    setText(menu->title());
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setAutoRaise(true);
    // Not a tab stop: the keyboard comes here by F10, Alt or an accelerator.
    setFocusPolicy(Qt::NoFocus);
    setMaximumWidth(MenuBar::MaxButtonWidth);
}

QChar MenuButton::mnemonic() const
{
    const qsizetype amp = text().indexOf(u'&');
    return amp >= 0 && amp + 1 < text().size() ? text().at(amp + 1).toLower() : QChar();
}

// The keys the band answers while the keyboard is on a menu button. Enter
// and Esc are also the window's Details and Stop shortcuts; here they open
// a menu and leave the band.
bool MenuButton::isBandKey(const QKeyEvent *event) const
{
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Escape:
        return true;
    default:
        return event->text().size() == 1 && m_bar->buttonWithMnemonic(event->text().at(0));
    }
}

bool MenuButton::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Shortcut: // Alt and the caption's letter
        m_bar->openMenu(this, true);
        return true;
    case QEvent::ShortcutOverride:
        if (hasFocus() && isBandKey(static_cast<QKeyEvent *>(event))) {
            event->accept();
            return true;
        }
        break;
    default:
        break;
    }
    return QToolButton::event(event);
}

void MenuButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QToolButton::mousePressEvent(event);
        return;
    }
    // A press on the button whose menu it has just closed only closes it.
    if (std::exchange(m_bar->m_justClosed, nullptr) != this)
        m_bar->openMenu(this, false);
    event->accept();
}

void MenuButton::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void MenuButton::keyPressEvent(QKeyEvent *event)
{
    if (!isBandKey(event)) {
        QToolButton::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (MenuButton *next = m_bar->neighbour(this, event->key() == Qt::Key_Left ? -1 : 1))
            next->setFocus(Qt::MenuBarFocusReason);
        break;
    case Qt::Key_Escape:
        m_bar->leaveKeyboardMode();
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        m_bar->openMenu(this, true);
        break;
    default:
        m_bar->openMenu(m_bar->buttonWithMnemonic(event->text().at(0)), true);
        break;
    }
    event->accept();
}

void MenuButton::focusInEvent(QFocusEvent *event)
{
    QToolButton::focusInEvent(event);
    // As pointing at it does, the keyboard on a menu shows the menu's hint;
    // back from the menu, once the menu has cleared the hint of its items.
    if (event->reason() == Qt::PopupFocusReason)
        QTimer::singleShot(0, this, [this] {
            if (window()->focusWidget() == this)
                showStatusTip(this, statusTip());
        });
    else
        showStatusTip(this, statusTip());
    update();
}

void MenuButton::focusOutEvent(QFocusEvent *event)
{
    QToolButton::focusOutEvent(event);
    update();
    m_bar->buttonLostFocus(event->reason());
}

void MenuButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.features &= ~QStyleOptionToolButton::HasMenu;
    // The menu the keyboard is on stands out as the one under the pointer does.
    if (hasFocus())
        option.state |= QStyle::State_MouseOver | QStyle::State_Raised;
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

MenuBar::MenuBar(QWidget *parent) : QWidget(parent)
{
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
    m_menuStyle = new MenuStyle;
    m_menuStyle->setParent(this);
}

MenuButton *MenuBar::addMenu(QMenu *menu, const QString &hint)
{
    auto *button = new MenuButton(menu, this);
    button->setStatusTip(hint);
    m_layout->insertWidget(m_layout->count() - 1, button);
    m_buttons.push_back(button);
    menu->setStyle(m_menuStyle);
    menu->installEventFilter(this);
    connect(menu, &QMenu::aboutToHide, this, [this, button] { menuClosing(button); });
    return button;
}

void MenuBar::watchKeys(QWidget *window)
{
    m_window = window;
    auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), window);
    f10->setContext(Qt::WindowShortcut);
    connect(f10, &QShortcut::activated, this, &MenuBar::toggleKeyboardMode);
    // A lone Alt reaches whichever control has the focus, and none of them
    // passes its release on: only the application sees all of them.
    qApp->installEventFilter(this);
}

void MenuBar::enterKeyboardMode(MenuButton *button)
{
    if (m_buttons.empty() || !isVisible())
        return;
    if (!m_keyboardMode) {
        QWidget *focus = QApplication::focusWidget();
        m_returnFocus = focus && !isMenuButton(focus) ? focus : nullptr;
        m_keyboardMode = true;
    }
    (button ? button : m_buttons.front())->setFocus(Qt::MenuBarFocusReason);
}

void MenuBar::leaveKeyboardMode()
{
    if (!std::exchange(m_keyboardMode, false))
        return;
    if (m_open)
        m_open->dropDownMenu()->hide();
    const QPointer<QWidget> target = std::exchange(m_returnFocus, nullptr);
    if (target && target->isVisible() && target->isEnabled())
        target->setFocus(Qt::MenuBarFocusReason);
    else if (QWidget *focus = QApplication::focusWidget(); isMenuButton(focus))
        focus->clearFocus();
    showStatusTip(this, QString());
}

void MenuBar::toggleKeyboardMode()
{
    // A menu that is down closes, and the band lets the keyboard go.
    const bool menuWasOpen = m_open != nullptr;
    if (menuWasOpen)
        m_open->dropDownMenu()->hide();
    if (m_keyboardMode)
        leaveKeyboardMode();
    else if (!menuWasOpen)
        enterKeyboardMode();
}

void MenuBar::openMenu(MenuButton *button, bool fromKeyboard)
{
    if (!button)
        return;
    if (m_open) {
        // Its neighbour takes over: the band stays on the keyboard.
        m_keepMode = true;
        m_open->dropDownMenu()->hide();
        m_keepMode = false;
    }
    if (fromKeyboard)
        enterKeyboardMode(button);
    QMenu *menu = button->dropDownMenu();
    m_open = button;
    button->setDown(true);
    // Opened here rather than by QToolButton, whose menu runs an event loop
    // of its own: going from menu to menu would nest one loop in the next.
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
    if (fromKeyboard)
        menu->setActiveAction(firstItem(menu));
}

MenuButton *MenuBar::neighbour(const MenuButton *button, int step) const
{
    const auto found = std::find(m_buttons.begin(), m_buttons.end(), button);
    if (found == m_buttons.end())
        return nullptr;
    const int n = int(m_buttons.size());
    return m_buttons[size_t(((found - m_buttons.begin()) + step % n + n) % n)];
}

MenuButton *MenuBar::buttonWithMnemonic(QChar letter) const
{
    const auto found = std::find_if(m_buttons.begin(), m_buttons.end(),
                                    [&](const MenuButton *b) { return b->mnemonic() == letter.toLower(); });
    return found == m_buttons.end() ? nullptr : *found;
}

bool MenuBar::isMenuButton(const QWidget *widget) const
{
    return std::find(m_buttons.begin(), m_buttons.end(), widget) != m_buttons.end();
}

MenuButton *MenuBar::buttonOf(const QMenu *menu) const
{
    const auto found = std::find_if(m_buttons.begin(), m_buttons.end(),
                                    [menu](const MenuButton *b) { return b->dropDownMenu() == menu; });
    return found == m_buttons.end() ? nullptr : *found;
}

bool MenuBar::belongsToWindow(const QObject *object) const
{
    const auto *widget = qobject_cast<const QWidget *>(object);
    if (!widget || !m_window)
        return false;
    const QWidget *window = widget->window();
    return window == m_window || (m_open && window == m_open->dropDownMenu());
}

void MenuBar::menuClosing(MenuButton *button)
{
    button->setDown(false);
    if (m_open == button)
        m_open = nullptr;
    // A mouse press outside the menu closes it; on the button itself it
    // should close it and no more.
    m_justClosed = button;
    QTimer::singleShot(0, this, [this] { m_justClosed = nullptr; });
    // Closed by Esc, the keyboard stays on the menu's button; closed by a
    // command or a click elsewhere, it goes back before the command runs.
    if (!std::exchange(m_keepMode, false))
        leaveKeyboardMode();
}

void MenuBar::buttonLostFocus(Qt::FocusReason reason)
{
    // The button's menu took the keyboard, or the window went inactive and
    // gives the focus back to the button when it returns.
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
        return;
    if (isMenuButton(QApplication::focusWidget()))
        return;
    // The focus went elsewhere by itself (Tab, a click, an accelerator): it stays there.
    m_returnFocus = nullptr;
    leaveKeyboardMode();
}

bool MenuBar::filterMenuKey(QMenu *menu, const QKeyEvent *key)
{
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        // No item has a submenu: Left and Right go to the neighbouring menu.
        openMenu(neighbour(buttonOf(menu), key->key() == Qt::Key_Left ? -1 : 1), true);
        return true;
    case Qt::Key_Escape:
        m_keepMode = true;
        return false;
    default:
        return false;
    }
}

void MenuBar::watchAlt(const QObject *watched, const QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        const auto *key = static_cast<const QKeyEvent *>(event);
        const bool alt = key->key() == Qt::Key_Alt && (key->modifiers() & ~Qt::AltModifier) == Qt::NoModifier;
        if (!alt)
            m_altAlone = false;
        else if (!key->isAutoRepeat())
            m_altAlone = true;
        break;
    }
    case QEvent::KeyRelease: {
        const auto *key = static_cast<const QKeyEvent *>(event);
        // The release passes through here once for every control it is offered to.
        if (key->key() == Qt::Key_Alt && !key->isAutoRepeat() && std::exchange(m_altAlone, false)
            && belongsToWindow(watched))
            toggleKeyboardMode();
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::Shortcut:
    case QEvent::WindowDeactivate: // Alt+Tab to another window
        m_altAlone = false;
        break;
    default:
        break;
    }
}

bool MenuBar::eventFilter(QObject *watched, QEvent *event)
{
    // Keys reach the window (a QWindow) first and then its controls; only
    // the controls count.
    if (watched->isWidgetType())
        watchAlt(watched, event);
    if (event->type() == QEvent::KeyPress) {
        auto *menu = qobject_cast<QMenu *>(watched);
        if (menu && buttonOf(menu) && filterMenuKey(menu, static_cast<QKeyEvent *>(event)))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
