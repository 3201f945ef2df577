#pragma once

#include "link/ActionGuard.h"

#include <functional>

namespace z83::ui {

// How both windows run what the user asks of them. One action at a time: a message box's own event loop (or
// the shell's) can deliver another click while an action runs, and that click is dropped. Closing always
// succeeds, but a close asked for during an action waits for its end. Unloading happens exactly once,
// whichever comes first: the close, or the end of the user's session. Every action and the unloading run
// under the guard, which reports an error the component raises and ends the program.
class ActionRunner {
public:
    // unload: the session's unloading steps. closeAgain: asks the window to close once more, when a close
    // that had to wait for an action may now happen (it comes back through requestClose).
    // afterAction: what follows every action that ran (a notice that is due, say).
    ActionRunner(ActionGuard& guard, std::function<void()> unload, std::function<void()> closeAgain,
                 std::function<void()> afterAction = {});

    // Runs the action, unless one is running already; false when it was dropped.
    bool act(const std::function<void()>& action);
    // The window is asked to close. True: it has unloaded and goes now. False: an action runs, and the close
    // is asked again when it has ended.
    bool requestClose();
    // The user's session ends, and the system may end the process right after: unload now, action or not.
    void endSession();

    bool acting() const { return acting_; }
    bool unloaded() const { return unloaded_; }

private:
    void unloadOnce();

    ActionGuard& guard_;
    std::function<void()> unload_, closeAgain_, afterAction_;
    bool acting_ = false;
    bool closeAsked_ = false;
    bool unloaded_ = false;
};

} // namespace z83::ui
