#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/Extractor.h"
#include "cli/Options.h"
#include "desktop/CommandLine.h"

#include <exception>
#include <iostream>

#ifdef _WIN32
#include "extract/FileSystemWin32.h"
using NativeFileSystem = z83::WindowsFileSystem;
#else
#include "extract/FileSystemPosix.h"
using NativeFileSystem = z83::PosixFileSystem;
#endif

int main(int argc, char** argv) {
    using namespace z83::cli;
    prepareConsole();
    const std::vector<std::string> arguments = z83::commandLineArguments(argc, argv);
    try {
        const Options options = parseOptions(arguments);
        const Console console{&std::cin, isConsole(stdin), isConsole(stderr)};
        NativeFileSystem fileSystem;
        return runExtractor(options, std::cout, std::cerr, console, fileSystem);
    } catch (const std::exception& error) {
        std::cerr << kProgramName << ": unexpected failure: " << error.what() << '\n';
        return ExitCode::Internal;
    }
}
