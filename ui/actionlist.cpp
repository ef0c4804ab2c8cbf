// SPDX-License-Identifier: MIT
#include "ui/actionlist.h"

#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QWidget>

namespace {

struct Command
{
    QAction *ActionList::*member;
    const char *name;
    const char *caption;
    QList<QKeySequence> shortcuts;
    const char *hint;
    int tag;
    bool checkable;
};

} // namespace

void ActionList::create(QWidget *window)
{
    const Command table[] = {
        {&ActionList::actSave, "actSave", "&Save", {QKeySequence(Qt::CTRL | Qt::Key_S)}, "Save current file.", 0, false},
        {&ActionList::actSaveAs, "actSaveAs", "Save &As...", {}, "Save current file with different name.", 0, false},
        {&ActionList::actExit, "actExit", "E&xit", {}, "Exit application.", 0, false},
        {&ActionList::actToolBar, "actToolBar", "&Toolbar", {}, "Shows or hides toolbar.", 0, true},
        {&ActionList::actStatusBar, "actStatusBar", "Status &Bar", {}, "Shows or hides the status bar.", 0, true},
        {&ActionList::actMibValues, "actMibValues", "&MIB Values", {},
         "Shows values as their MIB modules describe them.", 0, true},
        // Enter is Return on the main keyboard and Enter on the keypad; the
        // menu shows the first, "Enter".
        {&ActionList::actDetails, "actDetails", "&Details...",
         {QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)}, "MIB Object Details.", 0, false},
        {&ActionList::actOptions, "actOptions", "&Options...", {}, "SnmpMgrOpen settings.", 0, false},
        {&ActionList::actRun, "actRun", "&Run", {QKeySequence(Qt::Key_F9)}, "Run|Run.", 0, false},
        {&ActionList::actStop, "actStop", "Sto&p", {QKeySequence(Qt::Key_Escape)}, "Stop|Stop.", 0, false},
        {&ActionList::actClear, "actClear", "&Clear", {QKeySequence(Qt::CTRL | Qt::Key_R)},
         "Clear|Clear previous results.", 0, false},
        {&ActionList::actAgentProperties, "actAgentProperties", "Agent Pr&operties...", {},
         "Agent Properties|The SNMP version and SNMPv3 security settings of the agent in the Agent box.", 0,
         false},
        {&ActionList::actGet, "actGet", "&Get", {QKeySequence(Qt::CTRL | Qt::Key_G)},
         "Retrieve the value of the specified variable.", 1, true},
        {&ActionList::actGetNext, "actGetNext", "Get&Next", {QKeySequence(Qt::CTRL | Qt::Key_T)},
         "Retrieve the value of the lexicographic successor the specified variable.", 2, true},
        {&ActionList::actWalk, "actWalk", "&Walk", {QKeySequence(Qt::CTRL | Qt::Key_W)},
         "Retrieve the all values of the specified subtree.", 3, true},
        {&ActionList::actAbout, "actAbout", "&About Norvane...", {},
         "About|Displays program information, version number, and copyright.", 0, false},
        // Letters unique within each menu: "&Toolbar" has T, "Sto&p" has P.
        {&ActionList::actMibTree, "actMibTree", "MIB Tr&ee", {},
         "Browses and searches the loaded MIB modules.", 0, false},
        {&ActionList::actLoadMib, "actLoadMib", "&Load MIB File...", {},
         "Loads a MIB module from a file and keeps it in your MIB folder.", 0, false},
        {&ActionList::actFind, "actFind", "&Find...", {QKeySequence(Qt::CTRL | Qt::Key_F)},
         "Finds a row holding a text.", 0, false},
        {&ActionList::actFindNext, "actFindNext", "Find &Next", {QKeySequence(Qt::Key_F3)},
         "Finds the next row holding the text.", 0, false},
        {&ActionList::actFindPrevious, "actFindPrevious", "Find Pre&vious", {QKeySequence(Qt::SHIFT | Qt::Key_F3)},
         "Finds the row before holding the text.", 0, false},
        // "&Table View" would share its letter with "&Toolbar" in the View menu.
        {&ActionList::actTableView, "actTableView", "T&able View", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T)},
         "Shows the tables among the results as grids.", 0, false},
        {&ActionList::actExportPrometheus, "actExportPrometheus", "Export for &Prometheus...", {},
         "Exports the selected row's object as a module of Prometheus's SNMP exporter.", 0, false},
        // Ctrl+W is Walk.
        {&ActionList::actAddToWatch, "actAddToWatch", "&Add to Watch", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W)},
         "Add to Watch|Polls the selected row's object (in the Table View, the selected cells) on its agent and graphs "
         "it in the Watch window.", 0, false},
        {&ActionList::actWatch, "actWatch", "&Watch", {}, "Shows the watched objects with their values and rates over time.",
         0, false},
        {&ActionList::actOpen, "actOpen", "&Open...", {QKeySequence(Qt::CTRL | Qt::Key_O)},
         "Opens a recording (snmpsim, Net-SNMP walk) or a result file into the list.", 0, false},
        {&ActionList::actCompareWith, "actCompareWith", "Co&mpare With...", {},
         "Compares the list with a recording or result file.", 0, false},
        {&ActionList::actComparePrevious, "actComparePrevious", "Compare With Pre&vious Walk", {},
         "Compares the last walk with the one before it of the same agent and OIDs.", 0, false},
        {&ActionList::actTraps, "actTraps", "T&raps", {},
         "Receives SNMP traps and informs, and lists them.", 0, false},
        {&ActionList::actSet, "actSet", "&Set...", {QKeySequence(Qt::CTRL | Qt::Key_E)},
         "Set|Writes a new value to the selected row's object (or the Oids box's OID), checked by its MIB, after a "
         "confirmation.", 0, false},
    };

    // The group only draws the three as radio items; which one is checked is
    // set by the enabling rules, which allow none (an operation outside 1..3).
    operations = new QActionGroup(window);
    operations->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);

    for (const Command &command : table) {
        // Parented to the window: a highlighted menu item sends its status tip
        // to the action's parent when no widget caused the menu.
        auto *action = new QAction(QString::fromLatin1(command.caption), window);
        action->setObjectName(QString::fromLatin1(command.name));
        action->setShortcuts(command.shortcuts);
        action->setShortcutContext(Qt::WindowShortcut);
        applyHint(action, QString::fromLatin1(command.hint));
        action->setCheckable(command.checkable);
        if (command.tag != 0) {
            action->setData(command.tag);
            operations->addAction(action);
        }
        this->*command.member = action;
        window->addAction(action);
    }
    actToolBar->setChecked(true);
    actStatusBar->setChecked(true);
    // The tool bar shows these images; the menus stay text only.
    const std::pair<QAction *, const char *> images[] = {
        {actRun, ":/images/run.png"}, {actStop, ":/images/stop.png"}, {actClear, ":/images/clear.png"}};
    for (const auto &[action, image] : images) {
        action->setIcon(QIcon(QString::fromLatin1(image)));
        action->setIconVisibleInMenu(false);
    }
}

QList<QAction *> ActionList::all() const
{
    return {actSave, actSaveAs, actExit, actToolBar, actStatusBar, actMibValues, actDetails, actOptions,
            actRun, actStop, actClear, actAgentProperties, actGet, actGetNext, actWalk, actAbout, actMibTree, actLoadMib,
            actFind, actFindNext, actFindPrevious, actTableView, actExportPrometheus, actAddToWatch, actWatch,
            actOpen, actCompareWith, actComparePrevious, actTraps, actSet};
}

void applyHint(QAction *action, const QString &hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

int operationTag(const QAction *action)
{
    return action->data().toInt();
}
