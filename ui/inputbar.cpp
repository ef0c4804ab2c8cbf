// SPDX-License-Identifier: MIT
#include "ui/inputbar.h"

#include "engine/query/historyrule.h"
#include "ui/mibtree/oidcompleter.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace {

QStringList entries(const HistoryList &list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items.append(list.item(i));
    return items;
}

// The box's edit text stays as it is while the entries are replaced.
void applyTo(const HistorySettings &stored, HistoryList &list)
{
    if (stored.items) {
        for (int i = list.count() - 1; i >= 0; --i)
            list.removeItem(i);
        for (const QString &text : *stored.items)
            list.insertItem(list.count(), text);
    }
    if (stored.selectFirst && list.count() > 0)
        list.selectItem(0);
}

} // namespace

InputBar::InputBar(QAction *run, QAction *stop, QAction *clear, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ToolBar"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto addInput = [&](QLabel *&label, const char *labelName, const char *caption, QComboBox *&box,
                        const char *boxName, int width, const char *hint) {
        label = new QLabel(QString::fromLatin1(caption), this);
        label->setObjectName(QString::fromLatin1(labelName));
        box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(boxName));
        box->setEditable(true);
        // The run's history rule alone decides what enters the list, and the
        // text stays in the case it was typed in.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
        // The edit box's usual limit, said aloud: a longer paste keeps its first
        // 32,767 characters. Unlimited, a 1 MB text costs most of a second per
        // keystroke, and every history entry ends up in the settings file.
        box->lineEdit()->setMaxLength(InputMaxLength);
        box->setFixedWidth(width);
        box->setStatusTip(QString::fromLatin1(hint));
        label->setBuddy(box);
        // A screen reader finds the box by its label; its edit and its drop-down
        // list are named after the label too.
        const QString name = label->text().remove(u'&').trimmed();
        box->setAccessibleName(name);
        box->lineEdit()->setAccessibleName(name);
        box->view()->setAccessibleName(name);
        layout->addWidget(label);
        layout->addWidget(box);
    };
    addInput(lblAgent, "lblAgent", "A&gent ", cboAgent, "cboAgent", 110, "IP Address or IP Hostname.");
    addInput(lblCommunity, "lblCommunity", " C&ommunity ", cboCommunity, "cboCommunity", 110,
             "A community name identifies a collection of SNMP managers and agents.");
    addInput(lblOids, "lblOids", " O&ids ", cboOids, "cboOids", 211,
             "String format of an oid.You can specify multiple oids, separated by semicolons.Oid 'all' is "
             "applicable only for 'walk' action.");

    auto addButton = [&](QToolButton *&button, const char *name, QAction *action) {
        button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setIconSize(QSize(16, 16));
        button->setFixedSize(23, 22);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    };
    addButton(btnRun, "btnRun", run);
    addButton(btnStop, "btnStop", stop);
    addButton(btnClear, "btnClear", clear);
    // A wide window leaves its free width after the last button: the items
    // keep their widths, and each caption stays beside its box.
    layout->addStretch(1);

    cboAgent->addItem(QStringLiteral("127.0.0.1"));
    cboCommunity->addItem(QStringLiteral("tarnel"));
    cboOids->addItems({QStringLiteral(".1.3.6.1.2.1.1.1.0"),
                       QStringLiteral(".1.3.6.1.2.1.1.1.0;.1.3.6.1.2.1.1.2.0;.1.3.6.1.2.1.1.3.0"),
                       QStringLiteral("all")});
    // The built-in entries are in the lists, but nothing is selected until the settings load selects it.
    for (QComboBox *box : {cboAgent, cboCommunity, cboOids})
        box->setCurrentIndex(-1);

    new OidCompleter(cboOids);

    m_agentHistory = std::make_unique<ComboHistory>(cboAgent);
    m_communityHistory = std::make_unique<ComboHistory>(cboCommunity);
    m_oidHistory = std::make_unique<ComboHistory>(cboOids);
}

InputBar::~InputBar() = default;

void InputBar::applyHistory(const Settings &settings)
{
    applyTo(settings.agents, *m_agentHistory);
    applyTo(settings.communities, *m_communityHistory);
    applyTo(settings.oids, *m_oidHistory);
}

void InputBar::storeHistory(Settings &settings) const
{
    settings.agents.items = entries(*m_agentHistory);
    settings.communities.items = entries(*m_communityHistory);
    settings.oids.items = entries(*m_oidHistory);
}

void InputBar::recordInputs(bool community)
{
    recordHistory(*m_agentHistory);
    if (community)
        recordHistory(*m_communityHistory);
    recordHistory(*m_oidHistory);
}

void InputBar::takeOid(const QString &oid, bool append)
{
    QString text = append ? cboOids->currentText() : QString();
    if (!text.isEmpty() && !text.endsWith(u';'))
        text += u';';
    cboOids->setEditText(text + oid);
}
