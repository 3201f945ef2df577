#pragma once

#include "Backend.h"

#include <optional>
#include <string>
#include <vector>

namespace z83::app {

// What the command line asks of the window program.
struct StartOptions {
    enum class Request { Run, Help, Version, Invalid };
    Request request = Request::Run;
    BackendChoice backend = defaultBackend(); // --scenario FILE
    std::string error;                        // why the command line is Invalid
};

// The arguments after the program name.
StartOptions parseStartOptions(const std::vector<std::string>& arguments);
std::string usageText(const std::string& program);

// Whether a window can be opened at all: a display to connect to, or a platform chosen explicitly.
bool displayAvailable();

} // namespace z83::app
