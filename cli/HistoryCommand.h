#pragma once

#include "cli/Options.h"
#include "extract/FileSystem.h"

#include <iosfwd>

namespace z83::cli {

// --history: the page, or its events as CSV or JSON; the exit code.
int showHistory(const Options& options, std::ostream& out, std::ostream& err, FileSystem& fileSystem);
// --import: reports from elsewhere into the journal; the exit code.
int importReports(const Options& options, std::ostream& err, FileSystem& fileSystem);

} // namespace z83::cli
