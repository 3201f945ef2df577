#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/Extractor.h"
#include "cli/Options.h"
#include "desktop/CommandLine.h"
#include "extract/NativeFileSystem.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    using namespace z83::cli;
    prepareConsole();
    const std::vector<std::string> arguments = z83::commandLineArguments(argc, argv);
    try {
        const Options options = parseOptions(arguments);
        const Console console{&std::cin, isConsole(stdin), isConsole(stderr)};
        z83::NativeFileSystem fileSystem;
        return runExtractor(options, std::cout, std::cerr, console, fileSystem);
    } catch (const std::exception& error) {
        std::cerr << kProgramName << ": unexpected failure: " << error.what() << '\n';
        return ExitCode::Internal;
    }
}
