#include "controls/TextToolBar.h"

#include <QToolButton>

#include "framework/CommandActions.h"

CTextToolBar::CTextToolBar(QWidget* parent) : QToolBar(QStringLiteral("Toolbar"), parent) {
    setObjectName(QStringLiteral("toolbar124"));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(16, 15));
    setFloatable(false);
    setAllowedAreas(Qt::TopToolBarArea);
    // Labels in the small type of toolbars, so the row stays compact.
    QFont labels = font();
    labels.setPointSizeF(std::max(7.0, labels.pointSizeF() - 1));
    setFont(labels);
}

void CTextToolBar::SetButtons(const std::vector<int>& buttons, const CommandActions& actions) {
    clear();
    for (int id : buttons) {
        if (id == 0) {
            addSeparator();
        } else if (QAction* action = actions.Action(id)) {
            addAction(action);
            if (QToolButton* button = Button(id)) {
                button->setObjectName(QStringLiteral("button%1").arg(id));
                // A button without a label string shows no text.
                if (action->iconText().isEmpty()) {
                    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
                }
            }
        }
    }
    EqualiseButtons();
}

QToolButton* CTextToolBar::Button(int id) const {
    for (QAction* action : actions()) {
        if (!action->isSeparator() && action->data().toInt() == id) {
            return qobject_cast<QToolButton*>(widgetForAction(action));
        }
    }
    return nullptr;
}

void CTextToolBar::PressButton(int id, bool pressed) {
    if (QToolButton* button = Button(id)) {
        button->setDown(pressed);
    }
}

void CTextToolBar::EqualiseButtons() {
    QSize largest;
    const QList<QToolButton*> buttons = findChildren<QToolButton*>(Qt::FindDirectChildrenOnly);
    for (QToolButton* b : buttons) {
        if (b->defaultAction() != nullptr) {
            largest = largest.expandedTo(b->sizeHint());
        }
    }
    // One height for all; each button only as wide as its label (at least a square), so the
    // whole row fits a window of the default size.
    for (QToolButton* b : buttons) {
        if (b->defaultAction() != nullptr) {
            b->setFixedSize(std::max(b->sizeHint().width(), largest.height()), largest.height());
        }
    }
}
