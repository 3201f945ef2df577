#pragma once

#include "backend/SessionRecording.h"
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
    std::shared_ptr<SessionRecording> recording; // with --record FILE
};
Launch launch(const std::vector<std::string>& arguments, const std::string& program, FileSystem& fileSystem);

// What a window does after its start and after each action: tell, in one box, that the session's
// recording could not be written, when that is due; nothing without a recording.
std::function<void()> recordingTeller(const std::shared_ptr<SessionRecording>& recording, Desktop& desktop);

// Start-up of the window: the journal in the user's data folder, the session's checks under the guard, then
// the window shown, or closed (which unloads) or left alone (the program ends at once). Nothing when the
// window runs; else the exit status. afterStart runs once the window is shown.
std::optional<int> startWindow(Session& session, ActionGuard& guard, const std::function<void()>& show,
                               const std::function<void()>& close,
                               const std::function<void()>& afterStart = {});

} // namespace z83::ui
