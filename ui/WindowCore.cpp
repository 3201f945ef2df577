#include "ui/WindowCore.h"

#include "desktop/UserFolders.h"

#include <utility>

namespace z83::ui {

WindowCore::WindowCore(Desktop& desktop, ProviderFactory createProvider, FileSystem& fileSystem,
                       std::function<void(int status)> endProgram, std::function<void()> closeWindow)
    : desktop_(desktop), closeWindow_(std::move(closeWindow)),
      session_(desktop, std::move(createProvider), fileSystem),
      guard_(desktop, [end = std::move(endProgram)] { end(ExitStatus::ComponentError); }),
      runner_(
          guard_, [this] { session_.Unload(); }, [this] { closeWindow_(); }, [this] { tellRecording(); }) {}

std::optional<int> WindowCore::start(const std::function<void()>& show) {
    session_.keepJournal({dataFolder(), "window", false});
    auto result = Session::LoadResult::EndAtOnce;
    if (!guard_.run([&] { result = session_.Load(); }))
        return ExitStatus::ComponentError;
    switch (result) {
    case Session::LoadResult::Running:
        show();
        tellRecording();
        return std::nullopt;
    case Session::LoadResult::CloseAndEnd:
        closeWindow_();
        return ExitStatus::StartupFailed;
    case Session::LoadResult::EndAtOnce:
        break;
    }
    return ExitStatus::StartupFailed;
}

void WindowCore::tellRecordingTrouble(const std::shared_ptr<SessionRecording>& recording) {
    recording_ = recording;
}

bool WindowCore::press(std::string_view button) {
    for (const ButtonAction& known : kButtonActions)
        if (known.button == button)
            return runner_.act([this, action = known.action] { (session_.*action)(); });
    return false;
}

void WindowCore::tellRecording() {
    if (!recording_)
        return;
    if (const auto warning = recording_->takeWarning())
        desktop_.showMessage(*warning, "Recording", MessageIcon::Warning);
}

} // namespace z83::ui
