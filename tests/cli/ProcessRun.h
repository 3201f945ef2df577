#pragma once

#include <string>
#include <vector>

namespace z83::test {

struct ProcessResult {
    int exitCode = -1; // -1 when the process did not exit normally
    std::string out, err;
};

struct ProcessLaunch {
    std::string program;
    std::vector<std::string> arguments;
    std::vector<std::string> environment; // "NAME=value", the whole environment of the child
    std::string input;                    // what the child reads on its standard input
    // Standard input and standard error on a pseudo-terminal, as when a person runs the program;
    // standard output stays a pipe. What the terminal shows comes back in err.
    bool terminal = false;
};

// Runs the program to its end, collecting its standard output and error.
ProcessResult runProcess(const ProcessLaunch& launch);

} // namespace z83::test
