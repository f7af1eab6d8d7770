// Context menus of the storage views: entries for commands of a view, enabled and checked as
// the view's command update says, running the command on the view when chosen.
#pragma once

#include <QMenu>
#include <QString>
#include <QWidget>

#include "framework/CmdTarget.h"

// Adds "text" for command `id` of `view` (a widget that is also a command target).
template <class View>
QAction* AddCommandEntry(QMenu& menu, View* view, const QString& text, int id) {
    CCmdUI ui(id);
    view->OnUpdateCommand(ui);
    QAction* action = menu.addAction(text, view, [view, id] { view->OnCommand(id); });
    action->setEnabled(ui.enabled);
    if (ui.checked.has_value()) {
        action->setCheckable(true);
        action->setChecked(*ui.checked);
    }
    return action;
}
