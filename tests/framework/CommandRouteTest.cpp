#include "framework/CmdTarget.h"
#include "framework/CommandActions.h"

#include <QAction>

#include <gtest/gtest.h>

namespace {

// Handles the ids it is given and records the commands it ran.
class Target : public CCmdTarget {
public:
    Target(std::vector<int> handles, std::vector<int>& log, int name, bool enabled = true)
        : handles_(std::move(handles)), log_(log), name_(name), enabled_(enabled) {}
    bool OnCommand(int id) override {
        if (!Handles(id)) {
            return false;
        }
        log_.push_back(name_);
        return true;
    }
    bool OnUpdateCommand(CCmdUI& ui) override {
        if (!Handles(ui.id)) {
            return false;
        }
        ui.Enable(enabled_);
        return true;
    }

private:
    bool Handles(int id) const {
        return std::find(handles_.begin(), handles_.end(), id) != handles_.end();
    }
    std::vector<int> handles_;
    std::vector<int>& log_;
    int name_;
    bool enabled_;
};

TEST(CommandRoute, FirstTargetThatHandlesWins) {
    std::vector<int> log;
    Target view({1}, log, 10), doc({1, 2}, log, 20), frame({1, 2, 3}, log, 30);
    const CommandRoute route({&view, &doc, nullptr, &frame});
    EXPECT_TRUE(route.Dispatch(1));
    EXPECT_TRUE(route.Dispatch(2));
    EXPECT_TRUE(route.Dispatch(3));
    EXPECT_FALSE(route.Dispatch(4));
    EXPECT_EQ(log, (std::vector<int>{10, 20, 30}));
}

TEST(CommandRoute, StateComesFromTheHandlerAndUnhandledIsDisabled) {
    std::vector<int> log;
    Target view({1}, log, 10, /*enabled=*/false), frame({1, 2}, log, 30, true);
    const CommandRoute route({&view, &frame});
    CCmdUI one(1), two(2), three(3);
    EXPECT_TRUE(route.Update(one));
    EXPECT_FALSE(one.enabled) << "the view answers first, the frame is not asked";
    EXPECT_TRUE(route.Update(two));
    EXPECT_TRUE(two.enabled);
    EXPECT_FALSE(route.Update(three));
    EXPECT_FALSE(three.enabled);
}

TEST(CommandActions, TriggerRoutesOnlyWhenEnabled) {
    std::vector<int> log;
    std::vector<int> executed;
    Target frame({7}, log, 1, true);
    bool enabled = true;
    class Toggle : public CCmdTarget {
    public:
        explicit Toggle(bool& on) : on_(on) {}
        bool OnUpdateCommand(CCmdUI& ui) override {
            if (ui.id != 8) {
                return false;
            }
            ui.Enable(on_);
            ui.SetCheck(on_);
            return true;
        }

    private:
        bool& on_;
    } toggle(enabled);
    CommandActions actions(
        nullptr, [&](int id) { executed.push_back(id); },
        [&] {
            return CommandRoute({&frame, &toggle});
        });
    actions.Add({{7, "&Seven\tCtrl+7", "Prompt seven\nSeven", {}, {}},
                 {8, "Eight", "", {}, {}},
                 {9, "Nine", "No label here", {}, {}}});
    EXPECT_EQ(actions.Action(7)->iconText(), "Seven");
    EXPECT_EQ(actions.Action(7)->statusTip(), "Prompt seven");
    EXPECT_EQ(actions.Action(9)->iconText(), "No label here");

    actions.UpdateAll();
    EXPECT_TRUE(actions.Action(7)->isEnabled());
    EXPECT_TRUE(actions.Action(8)->isChecked());
    EXPECT_FALSE(actions.Action(9)->isEnabled()) << "nobody handles 9";

    actions.Action(7)->trigger();
    actions.Action(8)->trigger();
    enabled = false;
    // The state changed after the last refresh: a trigger (say, by a shortcut) asks again.
    actions.Action(8)->setEnabled(true);
    actions.Action(8)->trigger();
    EXPECT_EQ(executed, (std::vector<int>{7, 8}));
}

TEST(PromptStrings, LabelAndStatusText) {
    EXPECT_EQ(PromptLabel("Create a new document\nNew"), "New");
    EXPECT_EQ(PromptLabel("a\nb\nc"), "c");
    EXPECT_EQ(PromptLabel("whole"), "whole");
    EXPECT_EQ(PromptStatusText("Create a new document\nNew"), "Create a new document");
    EXPECT_EQ(PromptStatusText("whole"), "whole");
}

} // namespace
