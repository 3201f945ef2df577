#include "ui/ActionRunner.h"

#include <utility>

namespace z83::ui {

ActionRunner::ActionRunner(ActionGuard& guard, std::function<void()> unload, std::function<void()> closeAgain,
                           std::function<void()> afterAction)
    : guard_(guard), unload_(std::move(unload)), closeAgain_(std::move(closeAgain)),
      afterAction_(std::move(afterAction)) {}

bool ActionRunner::act(const std::function<void()>& action) {
    if (acting_ || unloaded_)
        return false;
    acting_ = true;
    if (guard_.run(action) && afterAction_)
        guard_.run(afterAction_);
    acting_ = false;
    if (closeAsked_) {
        closeAsked_ = false;
        closeAgain_();
    }
    return true;
}

bool ActionRunner::requestClose() {
    if (acting_) {
        closeAsked_ = true;
        return false;
    }
    unloadOnce();
    return true;
}

void ActionRunner::endSession() {
    unloadOnce();
}

void ActionRunner::unloadOnce() {
    if (unloaded_)
        return;
    unloaded_ = true;
    guard_.run(unload_);
}

} // namespace z83::ui
