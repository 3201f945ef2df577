#pragma once

#include "extract/FileSystem.h"
#include "extract/Journal.h"

#include <string>
#include <vector>

// Reports made before the journal, or on another computer, taken into a module's history.
namespace z83 {

struct ImportedFile {
    enum class Outcome { Added, AlreadyListed, Refused, Unreadable };
    std::string path; // absolute
    Outcome outcome = Outcome::Added;
    std::string why; // Refused: "line N: ..."; Unreadable: the error
    std::size_t logs = 0, flagged = 0;
};

// The report files the paths name: files as given, folders walked for *.CSV and *.json (any case), in
// the order of their names; each absolute. A path that is neither goes to problems.
std::vector<std::string> reportFilesIn(const std::vector<std::string>& paths,
                                       std::vector<std::string>& problems);

// Checks every file to be a report (its header and every line) of the module; when all are, appends an
// import entry (path, size, SHA-256) for each whose bytes the journal does not list yet. When one is not,
// nothing is appended. template_ gives the entries' time, program, version and front end; journalError
// tells why appending failed.
std::vector<ImportedFile> importReports(const std::vector<std::string>& files, const std::string& moduleId,
                                        const std::vector<JournalEntry>& journal,
                                        const JournalEntry& template_, const std::string& journalFolder,
                                        FileSystem& fs, std::string& journalError);

} // namespace z83
