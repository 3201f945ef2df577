#pragma once

#include "backend/SessionRecording.h"
#include "extract/Session.h"
#include "link/ActionGuard.h"
#include "ui/ActionRunner.h"
#include "ui/ExitStatus.h"
#include "ui/MainFrmLayout.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace z83::ui {

// Which button runs which of the session's actions; the windows connect their buttons from this table.
struct ButtonAction {
    std::string_view button; // a control's name in the layout
    void (Session::*action)();
};
inline constexpr ButtonAction kButtonActions[] = {
    {layout::kExtractById, &Session::IKnow},
    {layout::kExtractByPairing, &Session::IDontKnow},
    {layout::kClearLog, &Session::ClearLog},
};

// Everything both windows do alike, whatever draws them: the session on the window's desktop, the guard that
// ends the program when the component raises, the runner that lets one action run at a time, the start-up,
// and telling once that the session's recording could not be written. A window keeps only how it draws,
// which control was pressed and how it closes.
class WindowCore {
public:
    // closeWindow asks the window to close (it comes back through requestClose); endProgram ends the
    // program with the given status after the guard reported a raised error.
    WindowCore(Desktop& desktop, ProviderFactory createProvider, FileSystem& fileSystem,
               std::function<void(int status)> endProgram, std::function<void()> closeWindow);

    // The journal in the user's data folder, the session's checks under the guard, then show() (and the
    // recording's trouble told), or the window closed (which unloads) or left alone (the program ends at
    // once). Nothing when the window runs; else the exit status.
    std::optional<int> start(const std::function<void()>& show);
    // Tells, after the start and after each action, that the session's recording could not be written.
    void tellRecordingTrouble(const std::shared_ptr<SessionRecording>& recording);
    // Runs the action of the button of that name (kButtonActions); false when it is no button's, or the
    // action was dropped as another one runs.
    bool press(std::string_view button);
    // See ActionRunner: true when the window has unloaded and may go now.
    bool requestClose() { return runner_.requestClose(); }
    void endSession() { runner_.endSession(); }

    Session& session() { return session_; }

private:
    void tellRecording();

    Desktop& desktop_;
    std::function<void()> closeWindow_;
    Session session_;
    ActionGuard guard_;
    ActionRunner runner_;
    std::shared_ptr<SessionRecording> recording_;
};

} // namespace z83::ui
