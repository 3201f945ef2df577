#include "ui/WindowProgram.h"

#include "backend/Backend.h"
#include "desktop/Version.h"
#include "extract/NativeFileSystem.h"
#include "ui/ExitStatus.h"
#include "ui/StartOptions.h"

namespace z83::ui {

Launch launch(const std::vector<std::string>& arguments, const std::string& program, FileSystem& fileSystem) {
    const StartOptions options = parseStartOptions(arguments);
    Launch result;
    switch (options.request) {
    case StartOptions::Request::Help:
        return {ExitStatus::Closed, usageText(program), false, {}, {}};
    case StartOptions::Request::Version:
        return {ExitStatus::Closed, program + ' ' + kVersion + '\n', false, {}, {}};
    case StartOptions::Request::Invalid:
        return {ExitStatus::Usage,
                program + ": " + options.error + "\nTry '" + program + " --help'.\n",
                true,
                {},
                {}};
    case StartOptions::Request::Run:
        break;
    }
    try {
        ProviderSetup setup = setUpProvider(options.backend, program + ' ' + kVersion, arguments, fileSystem);
        result.createProvider = std::move(setup.createProvider);
        result.recording = std::move(setup.recording);
    } catch (const BackendError& error) {
        return {ExitStatus::Usage, program + ": " + error.what() + '\n', true, {}, {}};
    }
    return result;
}

FileSystem& nativeFileSystem() {
    static NativeFileSystem fileSystem;
    return fileSystem;
}

} // namespace z83::ui
