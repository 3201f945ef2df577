#pragma once

#include "ui/ExitStatus.h"
#include "ui/LayoutWalk.h"
#include "ui/MainFrmLayout.h"
#include "ui/WindowCore.h"
#include "ui/WindowDesktop.h"
#include "win32/ControlId.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

namespace z83::win {

class Look;
class Win32Desktop;
class XTab;

// The program's only window, as the layout designs it: a fixed dialog frame with a close button only and
// no taskbar button, centred on the screen. It draws the controls over the window core (ui::WindowCore)
// that holds the session whose actions its three buttons run; everything the actions do to the window goes
// through the session's desktop.
class MainFrm : private ui::LayoutToolkit<HWND>, private ui::Controls {
public:
    // endProgram ends the program with the given status after the guard reported a raised error.
    MainFrm(HINSTANCE instance, ProviderFactory createProvider, FileSystem& fileSystem,
            std::function<void(int status)> endProgram = &ui::ExitStatus::endAtOnce);
    ~MainFrm() override;
    MainFrm(const MainFrm&) = delete;
    MainFrm& operator=(const MainFrm&) = delete;

    // Runs the start-up checks and, when they pass, shows the window. Otherwise gives the exit status the
    // program must end with (after closing the window where loading asks).
    std::optional<int> start();
    // Tells, after the start and after each action, that the session's recording could not be written.
    void tellRecordingTrouble(const std::shared_ptr<SessionRecording>& recording);
    // Services the window until it has closed; gives the program's exit status.
    int run();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK pictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    // The steps of handle, one for each message that needs more than a line.
    LRESULT eraseBackground(HDC dc);
    LRESULT paint();
    void command(WPARAM wParam, LPARAM lParam);
    void activate(WPARAM wParam);
    void endSession(WPARAM wParam);

    void registerClasses() const;
    void createWindow();
    // Builds every control of the layout (ui::walkLayout); focus and overlap follow its tab order.
    void createControls();
    HWND make(const ui::layout::Control& design, HWND container, const ui::PixelRect& pixels) override;
    void addToTab(HWND strip, int tab, HWND control) override;
    void arrange(const std::vector<ui::MadeControl<HWND>>& inTabOrder) override;
    // The window of a control's kind, in parent at place.
    HWND createWindowOf(const ui::layout::Control& design, HWND parent, const RECT& place);
    void addTooltip(HWND control, std::string_view text);
    // Draws the labels, the banner and the shape that lie on the container (and on its tab).
    void paintWindowless(HDC dc, std::string_view container, int tab);
    // Text and background of a control that asks its parent for its colours.
    HBRUSH colourControl(HDC dc, HWND control);
    COLORREF backgroundBehind(const ui::layout::Control& design);

    std::string controlText(std::string_view control) override;
    void setControlText(std::string_view control, const std::string& text, bool redrawNow) override;
    void setControlEnabled(std::string_view control, bool enabled) override;

    // Unloads once and destroys the window; during an action, once it has ended.
    void close();

    HINSTANCE instance_;
    HWND owner_ = nullptr;
    HWND window_ = nullptr;
    HWND tooltip_ = nullptr;
    HWND focused_ = nullptr; // the control that had the focus when the window was last deactivated
    std::map<std::string_view, HWND> controls_;
    std::unique_ptr<Look> look_;
    std::unique_ptr<XTab> XTab_;

    std::unique_ptr<Win32Desktop> desktop_;
    std::unique_ptr<ui::WindowCore> core_;
};

} // namespace z83::win
