// SPDX-License-Identifier: MIT
#include "ui/commandbars.h"

#include "ui/actionlist.h"
#include "ui/inputbar.h"
#include "ui/widgets/coolbar.h"
#include "ui/widgets/menubar.h"
#include "ui/widgets/pagescroller.h"

#include <QMenu>

CommandBars::CommandBars(const ActionList &c, QWidget *window)
{
    coolBar = new CoolBar;

    psMenuBar = new PageScroller;
    psMenuBar->setObjectName(QStringLiteral("psMenuBar"));
    menuBar = new MenuBar;
    menuBar->setObjectName(QStringLiteral("MenuBar"));
    auto makeMenu = [&](const char *name, const char *title, const char *hint, const QList<QAction *> &items) {
        auto *menu = new QMenu(QString::fromLatin1(title), window);
        menu->setObjectName(QString::fromLatin1(name));
        for (QAction *item : items) {
            if (item)
                menu->addAction(item);
            else
                menu->addSeparator();
        }
        menuBar->addMenu(menu, QString::fromLatin1(hint));
        return menu;
    };
    miFile = makeMenu("miFile", "&File", "File related commands.",
                      {c.actOpen, c.actSave, c.actSaveAs, c.actExportPrometheus, nullptr, c.actCompareWith, nullptr,
                       c.actLoadMib, nullptr, c.actExit});
    miView = makeMenu("miView", "&View", "Contains commands for manipulating the view.",
                      {c.actToolBar, c.actStatusBar, c.actMibValues, nullptr, c.actDetails, c.actMibTree, c.actTraps, nullptr,
                       c.actFind, c.actFindNext, c.actFindPrevious, c.actTableView, c.actWatch, nullptr, c.actOptions});
    miAction = makeMenu("miAction", "&Action", "Contains action commands.",
                        {c.actRun, c.actStop, c.actClear, c.actComparePrevious, nullptr, c.actAgentProperties, nullptr,
                         c.actGet, c.actGetNext, c.actWalk, nullptr, c.actAddToWatch, c.actSet});
    miHelp = makeMenu("miHelp", "&Help", "Help topics.", {c.actAbout});
    menuBar->watchKeys(window);
    psMenuBar->setControl(menuBar);
    coolBar->addBand(psMenuBar, 21, false);

    psToolBar = new PageScroller;
    psToolBar->setObjectName(QStringLiteral("psToolBar"));
    inputs = new InputBar(c.actRun, c.actStop, c.actClear);
    psToolBar->setControl(inputs);
    coolBar->addBand(psToolBar, 22, true);
}
