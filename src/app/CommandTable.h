// The program's commands: menu texts, prompt strings (status prompt and toolbar label),
// accelerators and icons; and the two menus built from them.
#pragma once

#include <vector>

#include <QList>

#include "framework/CommandActions.h"

class QMenu;
class QWidget;

std::vector<CommandDescriptor> ProgramCommands();

// The buttons of toolbar 124 in order; 0 stands for a separator.
std::vector<int> ToolbarButtons();

// The menu bar contents of menu 124 (no document active) and menu 125 (a document active).
// Where a menu shows the recent files, `recentFiles` is inserted.
enum class MenuResource { NoDocument = 124, Document = 125 };
QList<QMenu*> BuildMenus(MenuResource resource, const CommandActions& actions,
                         const QList<QAction*>& recentFiles, QWidget* parent);

// The "Web" menu of the browser windows (menu 178): Back, Forward, Stop, Home, Refresh.
QMenu* BuildWebMenu(const CommandActions& actions, QWidget* parent);

// Menu text of the web browser command, which differs between the two menus.
QString WebBrowserMenuText(MenuResource resource);
