#pragma once

#include "desktop/Desktop.h"

#include <functional>

namespace z83 {

// The one place where an error the component raises is caught. Every handler (the buttons, loading
// and closing, the extractor's run) goes through run(): such an error is reported with its number and
// description in an error box titled with the program's name, and the program is told to end.
class ActionGuard {
public:
    using EndProgram = std::function<void()>;

    ActionGuard(Desktop& desktop, EndProgram endProgram);

    // Runs the action; false when it was cut short by an error, which has then been reported.
    bool run(const std::function<void()>& action);

private:
    void report(const std::string& text);

    Desktop& desktop_;
    EndProgram endProgram_;
};

} // namespace z83
