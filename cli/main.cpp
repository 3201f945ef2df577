#include "ExitCode.h"
#include "Extractor.h"
#include "Options.h"

#include <exception>
#include <iostream>

#ifdef _WIN32
#include "WindowsConsole.h"
#include "WindowsFileSystem.h"
using NativeFileSystem = z83::WindowsFileSystem;
#else
#include "PosixFileSystem.h"
#include <csignal>
#include <unistd.h>
using NativeFileSystem = z83::PosixFileSystem;
#endif

namespace {

struct Process {
    std::vector<std::string> arguments; // after the program name, in UTF-8
    bool stdinIsTerminal = false;
    bool stderrIsTerminal = false;
};

Process setUpProcess([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
    z83::win::prepareConsole();
    return {z83::win::commandLineArguments(), z83::win::isConsole(stdin), z83::win::isConsole(stderr)};
#else
    // A reader that goes away (e.g. "| head") must give a "not saved" error, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    return {std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), ::isatty(STDIN_FILENO) == 1,
            ::isatty(STDERR_FILENO) == 1};
#endif
}

} // namespace

int main(int argc, char** argv) {
    using namespace z83::cli;
    const Process process = setUpProcess(argc, argv);
    try {
        const Options options = parseOptions(process.arguments);
        const Console console{&std::cin, process.stdinIsTerminal, process.stderrIsTerminal};
        NativeFileSystem fileSystem;
        return runExtractor(options, std::cout, std::cerr, console, fileSystem);
    } catch (const std::exception& error) {
        std::cerr << kProgramName << ": unexpected failure: " << error.what() << '\n';
        return ExitCode::Internal;
    }
}
