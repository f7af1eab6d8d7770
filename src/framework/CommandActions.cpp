#include "framework/CommandActions.h"

#include <QIcon>
#include <QList>

QString PromptLabel(const QString& prompt) {
    const qsizetype pos = prompt.lastIndexOf(QLatin1Char('\n'));
    return pos < 0 ? prompt : prompt.mid(pos + 1);
}

QString PromptStatusText(const QString& prompt) {
    const qsizetype pos = prompt.indexOf(QLatin1Char('\n'));
    return pos < 0 ? prompt : prompt.left(pos);
}

CommandActions::CommandActions(QObject* parent, Executor executor, RouteProvider route)
    : QObject(parent), executor_(std::move(executor)), route_(std::move(route)) {}

void CommandActions::Add(const std::vector<CommandDescriptor>& descriptors) {
    for (const CommandDescriptor& d : descriptors) {
        auto it = actions_.find(d.id);
        if (it != actions_.end()) {
            delete it->second;
            actions_.erase(it);
        }
        auto* action = new QAction(d.text, this);
        action->setData(d.id);
        if (!d.prompt.isEmpty()) {
            action->setStatusTip(PromptStatusText(d.prompt));
            action->setIconText(PromptLabel(d.prompt));
            action->setToolTip(PromptLabel(d.prompt));
        } else {
            // An empty status tip still clears the prompt pane while the item is hovered.
            action->setStatusTip(QStringLiteral(" "));
        }
        if (!d.shortcuts.empty()) {
            action->setShortcuts(QList<QKeySequence>(d.shortcuts.begin(), d.shortcuts.end()));
            action->setShortcutContext(Qt::WindowShortcut);
        }
        if (!d.icon.isEmpty()) {
            action->setIcon(QIcon(d.icon));
        }
        const int id = d.id;
        connect(action, &QAction::triggered, this, [this, id] {
            // A shortcut may fire between two refreshes of the enabled state.
            if (State(id).enabled) {
                executor_(id);
            }
        });
        actions_[d.id] = action;
    }
}

QAction* CommandActions::Action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

std::vector<int> CommandActions::Ids() const {
    std::vector<int> ids;
    for (const auto& [id, action] : actions_) {
        ids.push_back(id);
    }
    return ids;
}

CCmdUI CommandActions::State(int id) const {
    CCmdUI ui(id);
    route_().Update(ui);
    return ui;
}

namespace {
void Apply(QAction* action, const CCmdUI& ui) {
    action->setEnabled(ui.enabled);
    if (ui.checked.has_value()) {
        action->setCheckable(true);
        action->setChecked(*ui.checked);
    } else if (action->isChecked()) {
        // The window whose state pressed it has closed or is no longer the active one.
        action->setChecked(false);
    }
    if (ui.text.has_value()) {
        action->setText(*ui.text);
    }
}
} // namespace

void CommandActions::Update(QAction* action) const {
    if (action != nullptr) {
        Apply(action, State(action->data().toInt()));
    }
}

void CommandActions::UpdateAll() const {
    if (actions_.empty()) {
        return;
    }
    const CommandRoute route = route_();
    for (const auto& [id, action] : actions_) {
        CCmdUI ui(id);
        route.Update(ui);
        Apply(action, ui);
    }
}
