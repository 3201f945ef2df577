#pragma once

#include "cli/Options.h"
#include "extract/FileSystem.h"

#include <iosfwd>

namespace z83::cli {

// What the extractor may know of the terminal and the platform it runs on.
struct Console {
    std::istream* in = nullptr; // where a confirmation is read from
    bool stdinIsTerminal = false;
    bool stderrIsTerminal = false;
};

// Runs one extraction as the options ask: identify, collect, save the report, clear when asked and safe.
// The report (with -o -) or the saved report's path goes to out, everything else to err. Returns the
// exit code (ExitCode.h).
int runExtractor(const Options& options, std::ostream& out, std::ostream& err, const Console& console,
                 FileSystem& fileSystem);

} // namespace z83::cli
