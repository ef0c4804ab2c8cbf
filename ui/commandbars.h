// SPDX-License-Identifier: MIT
#pragma once

class ActionList;
class CoolBar;
class InputBar;
class MenuBar;
class PageScroller;
class QMenu;
class QWidget;

// The main window's cool bar, built from its commands: band 1 the menu band
// with the File, View, Action and Help menus, band 2 the tool bar with the
// input boxes and the Run, Stop and Clear buttons. The controls carry the
// object names of the window's design; the window owns them.
struct CommandBars
{
    CommandBars() = default;
    CommandBars(const ActionList &commands, QWidget *window);

    CoolBar *coolBar = nullptr;
    PageScroller *psMenuBar = nullptr;
    MenuBar *menuBar = nullptr;
    QMenu *miFile = nullptr;
    QMenu *miView = nullptr;
    QMenu *miAction = nullptr;
    QMenu *miHelp = nullptr;
    PageScroller *psToolBar = nullptr;
    InputBar *inputs = nullptr;
};
