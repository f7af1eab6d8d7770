// The entries of a menu as a test compares them.
#pragma once

#include <memory>

#include <QAction>
#include <QMenu>
#include <QStringList>

// "-" for a separator, else "+" (enabled) or "x" (disabled) and the text. The menu is deleted.
inline QStringList MenuEntries(QMenu* menu) {
    std::unique_ptr<QMenu> owned(menu);
    QStringList entries;
    for (const QAction* a : menu->actions()) {
        entries << (a->isSeparator() ? QStringLiteral("-")
                                     : (a->isEnabled() ? "+" : "x") + a->text());
    }
    return entries;
}
