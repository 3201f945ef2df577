#pragma once

#include "desktop/Desktop.h"
#include "extract/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace z83 {

// How new reports are named: {stamp} is the local time YYYYMMDDHHMMSS, {id} the module's ID, {model} its
// model. One module's report is named as the window names it; a run over several adds the module.
inline constexpr std::string_view kDefaultReportName = "Log{stamp}";
inline constexpr std::string_view kSeveralModulesReportName = "Log{stamp}-{id}";

// Why a name template cannot name new reports in the documents folder, or "" when it can: empty, an unknown
// placeholder, a character that would lead to another folder or is not allowed in a file name on every
// platform, or too long.
std::string reportNameProblem(std::string_view nameTemplate);
// The name a good template gives, without its extension.
std::string reportName(std::string_view nameTemplate, const LocalDateTime& now, std::string_view moduleId,
                       std::string_view model);

// Where a report goes.
struct ReportDestination {
    // A chosen path; without one, a new file in the documents folder, named by nameTemplate.
    std::optional<std::string> path;
    std::string extension = ".CSV"; // of the new file
    std::string nameTemplate = std::string(kDefaultReportName);
    std::string moduleId = {}, model = {}; // what {id} and {model} stand for
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
    // Once saved: the bytes saved, as the journal records them.
    std::uint64_t size = 0;
    std::string sha256;

    bool saved() const { return outcome != Outcome::NotSaved; }
    // Only a report that is on disk and reads back as written may ever justify clearing the module.
    bool safeToClear() const { return outcome == Outcome::File; }
};

// Saves a report the one safe way, for every front end. A new report never replaces a file: when its
// name is taken it becomes name-2, name-3, ... A file at a chosen path is replaced whole or not at all,
// keeping its permissions; a symbolic link there is followed; a device or FIFO is written into. Files are
// written to a temporary file beside their name, flushed, moved into place, the folder flushed, and read
// back.
SavedReport saveReport(std::string_view content, const ReportDestination& where, Desktop& desktop,
                       FileSystem& fs);

// The folder new reports go to: the documents folder (created when missing), else the home folder; ""
// when neither is usable, with the reason in error.
std::string reportFolder(Desktop& desktop, FileSystem& fs, std::string& error);

} // namespace z83
