// One QAction per command id. Triggering an action hands its id to the executor (the main
// frame, which routes it); the enabled and checked states are asked along the same route.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include <QAction>
#include <QKeySequence>
#include <QObject>
#include <QString>

#include "framework/CmdTarget.h"

struct CommandDescriptor {
    int id;
    // Menu text, with "&" mnemonics and an optional "\t" accelerator text.
    QString text;
    // The command's prompt string: the status bar prompt, optionally followed by "\n" and
    // the tooltip, whose last segment also labels the toolbar button.
    QString prompt;
    std::vector<QKeySequence> shortcuts;
    // Qt resource path of the icon, or empty.
    QString icon;
};

// The toolbar label of a prompt string: its last "\n" segment, or the whole string.
QString PromptLabel(const QString& prompt);
// The status bar text of a prompt string: its first "\n" segment.
QString PromptStatusText(const QString& prompt);

class CommandActions : public QObject {
    Q_OBJECT
public:
    using Executor = std::function<void(int id)>;
    using RouteProvider = std::function<CommandRoute()>;

    CommandActions(QObject* parent, Executor executor, RouteProvider route);

    // Creates the action of each descriptor; ids already present are replaced.
    void Add(const std::vector<CommandDescriptor>& descriptors);
    QAction* Action(int id) const;
    std::vector<int> Ids() const;

    // Asks the route for the state of every action (or just the given ones).
    void UpdateAll() const;
    void Update(QAction* action) const;
    // The state a command would have now.
    CCmdUI State(int id) const;

private:
    Executor executor_;
    RouteProvider route_;
    std::map<int, QAction*> actions_;
};
