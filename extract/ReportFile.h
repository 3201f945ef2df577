#pragma once

#include "desktop/Desktop.h"
#include "extract/FileSystem.h"

#include <optional>
#include <string>
#include <string_view>

namespace z83 {

// Where a report goes.
struct ReportDestination {
    // A chosen path; without one, a new file named after the local time in the documents folder.
    std::optional<std::string> path;
    std::string extension = ".CSV"; // of the new file
};

// Where a report went, or why it did not.
struct SavedReport {
    enum class Outcome {
        NotSaved,
        File,   // a file, flushed to disk under its name and read back exactly as written
        Stream, // written into a device or a FIFO, which cannot be read back
    };
    Outcome outcome = Outcome::NotSaved;
    std::string path;  // where it went, or where it was meant to go
    std::string error; // why it was not saved

    bool saved() const { return outcome != Outcome::NotSaved; }
    // Only a report that is on disk and reads back as written may ever justify clearing the module.
    bool safeToClear() const { return outcome == Outcome::File; }
};

// Saves a report the one safe way, for every front end. A new report never replaces a file: when its
// name is taken it becomes stem-2, stem-3, ... A file at a chosen path is replaced whole or not at all,
// keeping its permissions; a symbolic link there is followed; a device or FIFO is written into. Files are
// written to a temporary file beside their name, flushed, moved into place, the folder flushed, and read
// back.
SavedReport saveReport(std::string_view content, const ReportDestination& where, Desktop& desktop,
                       FileSystem& fs);

// The folder new reports go to: the documents folder (created when missing), else the home folder; ""
// when neither is usable, with the reason in error.
std::string reportFolder(Desktop& desktop, FileSystem& fs, std::string& error);

} // namespace z83
