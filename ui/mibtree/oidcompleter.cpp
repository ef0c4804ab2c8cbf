// SPDX-License-Identifier: MIT
#include "ui/mibtree/oidcompleter.h"

#include "engine/mib/mibsetup.h"
#include "engine/mib/mibtree.h"
#include "ui/mibtree/mibtreemodel.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

OidCompleter::OidCompleter(QComboBox *box)
    : QCompleter(box), m_box(box), m_edit(box->lineEdit()), m_names(new MibNameModel(this))
{
    setObjectName(QStringLiteral("OidCompleter"));
    setModel(m_names);
    setCaseSensitivity(Qt::CaseInsensitive);
    setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    setCompletionMode(QCompleter::PopupCompletion);
    setMaxVisibleItems(10);
    popup()->setAccessibleName(QStringLiteral("OID suggestions"));
    // The keyboard stays in the box while the list shows, so the list's own
    // focus events never tell a screen reader which suggestion is current.
    connect(popup()->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (!current.isValid() || !popup()->isVisible())
            return;
        QAccessibleEvent event(popup(), QAccessible::Focus);
        event.setChild(current.row());
        QAccessible::updateAccessibility(&event);
    });
    // On the edit field, not through QComboBox::setCompleter: that would
    // make a taken name select some history entry.
    m_edit->setCompleter(this);
    m_box->installEventFilter(this);
    m_loadListener = mibsetup::addLoadListener([this](bool checking) {
        if (!checking)
            mibsLoaded();
    });
}

OidCompleter::~OidCompleter()
{
    mibsetup::removeLoadListener(m_loadListener);
}

QStringList OidCompleter::splitPath(const QString &path) const
{
    const QString piece = path.mid(path.lastIndexOf(u';') + 1);
    // Right after a ";" nothing is typed yet: no name contains ";", so no popup of every name.
    return {piece.isEmpty() ? QStringLiteral(";") : piece};
}

QString OidCompleter::pathFromIndex(const QModelIndex &index) const
{
    const QString text = m_edit->text();
    return text.left(text.lastIndexOf(u';') + 1) + QCompleter::pathFromIndex(index);
}

void OidCompleter::refreshNames()
{
    if (m_names->tree() && m_names->tree()->generation() == mibsetup::generation())
        return;
    if (mibsetup::loadInBackground())
        m_names->setTree(MibTree::current());
}

void OidCompleter::mibsLoaded()
{
    if (!m_edit->hasFocus() || m_edit->text().isEmpty())
        return;
    refreshNames();
    setCompletionPrefix(splitPath(m_edit->text()).constFirst());
    complete();
}

bool OidCompleter::takeSuggestion()
{
    QModelIndex chosen = popup()->currentIndex();
    if (!chosen.isValid())
        chosen = completionModel()->index(0, 0);
    if (!chosen.isValid() || !setCurrentRow(chosen.row()))
        return false;
    const QString text = currentCompletion();
    popup()->hide();
    m_edit->setText(text);
    return true;
}

QAction *OidCompleter::windowCommand(const QKeyEvent *key) const
{
    const QKeySequence pressed(key->keyCombination());
    for (QAction *command : m_box->window()->actions())
        if (command->isEnabled() && command->shortcuts().contains(pressed))
            return command;
    return nullptr;
}

bool OidCompleter::eventFilter(QObject *watched, QEvent *event)
{
    // Not popup() before a key: asked while the popup is being made, it makes another.
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return QCompleter::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride && popup()->isVisible()
        && (watched == popup() || watched == m_box || watched == m_edit)) {
        // Window shortcuts are matched before the popup sees the key: Tab,
        // Enter (Details) and Esc (Stop) belong to the popup while it shows;
        // any other shortcut (F9...) runs, and the popup goes.
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool plain = !(key->modifiers() & ~Qt::KeypadModifier);
        const int k = key->key();
        if (plain && (k == Qt::Key_Tab || k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Escape)) {
            event->accept();
            return true;
        }
        if (windowCommand(key))
            popup()->hide();
    } else if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool plain = !(key->modifiers() & ~Qt::KeypadModifier);
        const int k = key->key();
        if (watched == m_box)
            refreshNames();
        else if (watched == popup() && popup()->isVisible() && plain
                 && (k == Qt::Key_Tab || k == Qt::Key_Return || k == Qt::Key_Enter) && takeSuggestion())
            return true;
    }
    return QCompleter::eventFilter(watched, event);
}
