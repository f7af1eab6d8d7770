// The account tree's item styles: each item's font and colour, one shared font per style.
#include "passwords/LeftView.h"

#include <QTreeWidget>

void CLeftView::SetItemStyle(QTreeWidgetItem* item, int style, const QColor& colour) {
    if (item == nullptr) {
        return;
    }
    bold_[item] = style == Bold;
    styles_[item] = Color_Font{colour, StyleFont(style)};
    ApplyStyle(item);
}

const QFont& CLeftView::StyleFont(int style) {
    // One font per style, shared by every item that has it, made again when the tree's font
    // changes.
    const QFont base = tree_->font();
    if (!styleBase_ || !styleBase_->isCopyOf(base)) {
        styleBase_ = base;
        for (int s = Underline; s <= Plain; ++s) {
            QFont font = base;
            font.setUnderline(s == Underline);
            font.setItalic(s == Italic);
            font.setBold(false);
            styleFonts_[s] = font;
        }
    }
    return styleFonts_[style >= Underline && style <= Bold ? style : Plain];
}

const CLeftView::Color_Font* CLeftView::ItemStyleOf(QTreeWidgetItem* item) const {
    const auto found = styles_.find(item);
    return found != styles_.end() ? &found->second : nullptr;
}

void CLeftView::ApplyStyle(QTreeWidgetItem* item) {
    const Color_Font& entry = styles_.at(item);
    QFont font = entry.font.family().isEmpty() ? tree_->font() : entry.font;
    font.setBold(bold_[item]);
    item->setFont(0, font);
    if (entry.color.isValid()) {
        item->setForeground(0, entry.color);
    } else {
        item->setData(0, Qt::ForegroundRole, QVariant());
    }
}

void CLeftView::ForgetStyles(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) {
        ForgetStyles(item->child(i));
    }
    styles_.erase(item);
    bold_.erase(item);
}
