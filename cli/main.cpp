#include "ExitCode.h"
#include "Extractor.h"
#include "Options.h"
#include "PosixFileSystem.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace z83::cli;
    // A reader that goes away (e.g. "| head") must give a "not saved" error, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        const Options options = parseOptions(arguments);
        const Console console{&std::cin, ::isatty(STDIN_FILENO) == 1, ::isatty(STDERR_FILENO) == 1};
        z83::PosixFileSystem fileSystem;
        return runExtractor(options, std::cout, std::cerr, console, fileSystem);
    } catch (const std::exception& error) {
        std::cerr << kProgramName << ": unexpected failure: " << error.what() << '\n';
        return ExitCode::Internal;
    }
}
