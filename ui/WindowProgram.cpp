#include "ui/WindowProgram.h"

#include "backend/Backend.h"
#include "desktop/UserFolders.h"
#include "desktop/Version.h"
#include "ui/ExitStatus.h"
#include "ui/StartOptions.h"

namespace z83::ui {

Launch launch(const std::vector<std::string>& arguments, const std::string& program) {
    const StartOptions options = parseStartOptions(arguments);
    Launch result;
    switch (options.request) {
    case StartOptions::Request::Help:
        return {ExitStatus::Closed, usageText(program), false, {}};
    case StartOptions::Request::Version:
        return {ExitStatus::Closed, program + ' ' + kVersion + '\n', false, {}};
    case StartOptions::Request::Invalid:
        return {ExitStatus::Usage,
                program + ": " + options.error + "\nTry '" + program + " --help'.\n",
                true,
                {}};
    case StartOptions::Request::Run:
        break;
    }
    try {
        result.createProvider = makeProviderFactory(options.backend);
    } catch (const BackendError& error) {
        return {ExitStatus::Usage, program + ": " + error.what() + '\n', true, {}};
    }
    return result;
}

std::optional<int> startWindow(Session& session, ActionGuard& guard, const std::function<void()>& show,
                               const std::function<void()>& close) {
    session.keepJournal({dataFolder(), "window", false});
    auto result = Session::LoadResult::EndAtOnce;
    if (!guard.run([&] { result = session.Load(); }))
        return ExitStatus::ComponentError;
    switch (result) {
    case Session::LoadResult::Running:
        show();
        return std::nullopt;
    case Session::LoadResult::CloseAndEnd:
        close();
        return ExitStatus::StartupFailed;
    case Session::LoadResult::EndAtOnce:
        break;
    }
    return ExitStatus::StartupFailed;
}

} // namespace z83::ui
