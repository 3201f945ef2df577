#pragma once

#include "backend/SessionRecording.h"
#include "extract/FileSystem.h"
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

// The computer's own file system, which the window program saves its reports on.
FileSystem& nativeFileSystem();

} // namespace z83::ui
