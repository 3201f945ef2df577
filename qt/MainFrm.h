#pragma once

#include "ui/ExitStatus.h"
#include "ui/LayoutWalk.h"
#include "ui/WindowCore.h"
#include "ui/WindowDesktop.h"

#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace z83::qt {

class QtDesktop;
class XTab;

// The program's only window: the controls, drawn by Qt, over the window core (ui::WindowCore) that holds the
// session whose actions its three buttons run; everything the actions do to the window goes through the
// session's desktop.
class MainFrm : public QWidget, private ui::LayoutToolkit<QWidget*>, private ui::Controls {
    Q_OBJECT

public:
    // endProgram ends the program with the given status after the guard reported a raised error.
    MainFrm(ProviderFactory createProvider, FileSystem& fileSystem,
            std::function<void(int status)> endProgram = &ui::ExitStatus::endAtOnce);
    ~MainFrm() override;

    // Runs the start-up checks and, when they pass, shows the window centred on the screen. Otherwise
    // gives the exit status the program must end with (after closing the window where loading asks).
    std::optional<int> start();
    // Tells, after the start and after each action, that the session's recording could not be written.
    void tellRecordingTrouble(const std::shared_ptr<SessionRecording>& recording);

signals:
    // The window has closed and unloaded; the program should end. (A tool window does not end the
    // event loop by itself when it closes.)
    void closed();

protected:
    // Closing always succeeds, once a running action has ended; the first close unloads the session.
    void closeEvent(QCloseEvent* event) override;

private:
    // Builds every control of the design (ui::walkLayout), in the design's tab order.
    void createControls();
    QWidget* make(const ui::layout::Control& design, QWidget* container, const ui::PixelRect& place) override;
    void addToTab(QWidget* strip, int tab, QWidget* control) override;
    void arrange(const std::vector<ui::MadeControl<QWidget*>>& inTabOrder) override;
    void centreOnScreen();

    std::string controlText(std::string_view control) override;
    void setControlText(std::string_view control, const std::string& text, bool redrawNow) override;
    void setControlEnabled(std::string_view control, bool enabled) override;

    // Every control by its name in the layout; they live on as the window's children.
    std::map<std::string_view, QWidget*> controls_;

    std::unique_ptr<QtDesktop> desktop_;
    std::unique_ptr<ui::WindowCore> core_;
};

} // namespace z83::qt
