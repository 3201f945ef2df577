#pragma once

#include "cli/Options.h"
#include "extract/FileSystem.h"

#include <iosfwd>

namespace z83::cli {

// --journal: the journal's entries that the options keep, as a table, CSV or JSON on out, oldest first; with
// --verify, every report they name read again and compared with what was saved. Damaged lines are skipped
// with a warning on err. Returns the exit code (ExitCode.h).
int showJournal(const Options& options, std::ostream& out, std::ostream& err, FileSystem& fileSystem);

} // namespace z83::cli
