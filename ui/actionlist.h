// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

class QAction;
class QActionGroup;
class QWidget;

// The command set: one QAction per command, shared by the menus, the tool bar
// buttons and the shortcuts. The window runs them; this only builds them.
struct ActionList
{
    QAction *actSave = nullptr;
    QAction *actSaveAs = nullptr;
    QAction *actExit = nullptr;
    QAction *actToolBar = nullptr;
    QAction *actStatusBar = nullptr;
    QAction *actMibValues = nullptr;
    QAction *actDetails = nullptr;
    QAction *actOptions = nullptr;
    QAction *actRun = nullptr;
    QAction *actStop = nullptr;
    QAction *actClear = nullptr;
    QAction *actAgentProperties = nullptr;
    QAction *actGet = nullptr;
    QAction *actGetNext = nullptr;
    QAction *actWalk = nullptr;
    QAction *actAbout = nullptr;
    QAction *actMibTree = nullptr;
    QAction *actLoadMib = nullptr;
    // Reading big results: find in the list and the tables among the rows.
    QAction *actFind = nullptr;
    QAction *actFindNext = nullptr;
    QAction *actFindPrevious = nullptr;
    QAction *actTableView = nullptr;
    // The objects found, for a monitoring engine to poll.
    QAction *actExportPrometheus = nullptr;
    // The Watch: objects polled on a timer and graphed.
    QAction *actAddToWatch = nullptr;
    QAction *actWatch = nullptr;
    // Recordings: a walk opened from a file, and the list compared with one.
    QAction *actOpen = nullptr;
    QAction *actCompareWith = nullptr;
    QAction *actComparePrevious = nullptr;
    // Notifications: the Traps window.
    QAction *actTraps = nullptr;
    // Set: a value written to the agent, after a confirmation.
    QAction *actSet = nullptr;
    // actGet, actGetNext and actWalk; their data() is the operation tag 1..3.
    QActionGroup *operations = nullptr;

    // Creates the commands as children of the window and adds them to it, so
    // that their shortcuts work from whichever control has the focus.
    void create(QWidget *window);
    QList<QAction *> all() const;
};

// "Short|Long" gives the tooltip Short and the status tip Long; a hint
// without "|" serves as both.
void applyHint(QAction *action, const QString &hint);
// The operation tag of a radio command, 0 for the others.
int operationTag(const QAction *action);
