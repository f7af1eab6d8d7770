#include "framework/ProgramStyle.h"

#include <QApplication>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

#include <optional>

#include "framework/DeferredIcon.h"

ProgramStyle::ProgramStyle(QStyle* base) : QProxyStyle(base) {}

QIcon ProgramStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                                 const QWidget* widget) const {
    // A plain option (direction, palette, state) is kept with the icon; the richer kinds
    // describe a moment of one control, so with one of those the icon is made at once.
    std::optional<QStyleOption> kept;
    if (option != nullptr) {
        if (option->type != QStyleOption::SO_Default) {
            return QProxyStyle::standardIcon(icon, option, widget);
        }
        kept = *option;
        // The object it names may be gone when the icon is first drawn.
        kept->styleObject = nullptr;
    }
    // The icon may outlive the style (a style change) or the widget it was made for.
    QPointer<QStyle> base(baseStyle());
    QPointer<const QWidget> asker(widget);
    return DeferredIcon([base, asker, icon, kept] {
        if (base == nullptr) {
            return QIcon();
        }
        return base->standardIcon(icon, kept ? &*kept : nullptr, asker.data());
    });
}

void UseProgramStyle() {
    const QStyle* current = QApplication::style();
    if (qobject_cast<const ProgramStyle*>(current) == nullptr) {
        QApplication::setStyle(new ProgramStyle(QStyleFactory::create(current->name())));
    }
}
