#pragma once

#include "backend/Backend.h"

#include <string>
#include <vector>

namespace z83::ui {

// What the command line asks of the window program, on every platform.
struct StartOptions {
    enum class Request { Run, Help, Version, Invalid };
    Request request = Request::Run;
    BackendChoice backend = defaultBackend(); // --scenario FILE, --progid PROGID, --record FILE
    std::string error;                        // why the command line is Invalid
};

// The arguments after the program name.
StartOptions parseStartOptions(const std::vector<std::string>& arguments);
std::string usageText(const std::string& program);

} // namespace z83::ui
