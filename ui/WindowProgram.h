#pragma once

#include "extract/Session.h"
#include "link/ActionGuard.h"
#include "link/DataProvider.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The steps of the window program that are the same whatever draws the window.
namespace z83::ui {

// What the command line asks before any window opens: either a text to show and the status to end with
// (help, version, a usage error), or the provider to start the window on.
struct Launch {
    std::optional<int> endWith;
    std::string text;   // to show before ending; with a newline at its end
    bool error = false; // whether text is an error
    ProviderFactory createProvider;
};
Launch launch(const std::vector<std::string>& arguments, const std::string& program);

// Start-up of the window: the journal in the user's data folder, the session's checks under the guard, then
// the window shown, or closed (which unloads) or left alone (the program ends at once). Nothing when the
// window runs; else the exit status.
std::optional<int> startWindow(Session& session, ActionGuard& guard, const std::function<void()>& show,
                               const std::function<void()>& close);

} // namespace z83::ui
