// Command targets: every window object that may handle a command id derives from CCmdTarget.
// A command travels along a chain of targets (active view, its document, its child frame,
// the main frame, the application) until one of them handles it.
#pragma once

#include <optional>
#include <vector>

#include <QString>

// The state of one command's menu item or toolbar button, filled in by the target that
// handles the command. A command that no target handles is disabled.
struct CCmdUI {
    explicit CCmdUI(int id) : id(id) {}
    int id;
    bool enabled = true;
    std::optional<bool> checked;
    std::optional<QString> text;

    void Enable(bool on = true) { enabled = on; }
    void SetCheck(bool on) { checked = on; }
    void SetText(const QString& value) { text = value; }
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Runs the command and returns true when this target handles it.
    virtual bool OnCommand(int id) { return false; }
    // Returns true when this target handles the command, after setting its state in `ui`
    // (enabled unless the target says otherwise).
    virtual bool OnUpdateCommand(CCmdUI& ui) { return false; }
};

// Asks a chain of targets in order.
class CommandRoute {
public:
    explicit CommandRoute(std::vector<CCmdTarget*> targets) : targets_(std::move(targets)) {}

    bool Dispatch(int id) const {
        for (CCmdTarget* target : targets_) {
            if (target != nullptr && target->OnCommand(id)) {
                return true;
            }
        }
        return false;
    }

    // Fills `ui`; returns false, with the command disabled, when no target handles it.
    bool Update(CCmdUI& ui) const {
        for (CCmdTarget* target : targets_) {
            if (target != nullptr && target->OnUpdateCommand(ui)) {
                return true;
            }
        }
        ui.enabled = false;
        return false;
    }

private:
    std::vector<CCmdTarget*> targets_;
};
