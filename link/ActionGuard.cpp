#include "link/ActionGuard.h"

#include "desktop/ShownText.h"
#include "link/DataProvider.h"

#include <exception>
#include <string>
#include <utility>

namespace z83 {

ActionGuard::ActionGuard(Desktop& desktop, EndProgram endProgram)
    : desktop_(desktop), endProgram_(std::move(endProgram)) {}

bool ActionGuard::run(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const ProviderError& error) {
        report("Error " + std::to_string(error.number()) + ":\r\n" + shownDeviceText(error.description()));
    } catch (const std::exception& error) {
        // Not the component's, but just as fatal: report it the same way rather than let it abort.
        report(std::string("Error:\r\n") + error.what());
    }
    endProgram_();
    return false;
}

void ActionGuard::report(const std::string& text) {
    desktop_.setBusyPointer(false);
    desktop_.showMessage(text, desktop_.applicationName(), MessageIcon::Error, MessageButtons::Ok);
}

} // namespace z83
