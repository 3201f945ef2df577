#pragma once

#include "desktop/Desktop.h"
#include "extract/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The journal: one line of JSON for every extraction and every clear, appended to a file in the user's
// data folder by every front end, so that later one can tell which report came from which module, whether
// a module was cleared only after its logs were saved, and whether a report is still the one saved.
namespace z83 {

inline constexpr const char* kJournalFileName = "journal.jsonl";

// How an extraction ended, as the journal writes it.
enum class ExtractionOutcome { Saved, Partial, NotSaved, NoLogs, ImpossibleCount, CountUnreadable };
// How a clear ended.
enum class ClearOutcome { Cleared, Refused, WriteFailed };
std::string_view outcomeText(ExtractionOutcome outcome);
std::string_view outcomeText(ClearOutcome outcome);

// A report as an entry names it.
struct JournalReport {
    std::string path;
    std::optional<std::uint64_t> size; // extraction entries of a saved report
    std::string sha256;                // of the bytes saved; "" when nothing was saved
    bool stream = false;               // written into standard output or a device: nothing to read again
};

struct JournalEntry {
    // Import: a report made elsewhere or before the journal, taken into a module's history.
    enum class Kind { Extraction, Clear, Import };
    Kind kind = Kind::Extraction;
    std::string time; // local, YYYY-MM-DDTHH:MM:SS
    std::string utc;  // YYYY-MM-DDTHH:MM:SSZ
    std::string program, version, frontEnd;
    std::string module; // the ID in hexadecimal
    std::string model;  // extractions
    std::string count;  // the log count as the module sent it; for a clear, as read again before it
    std::optional<std::uint64_t> logs, flagged; // extractions: the report's entries, and how many are flagged
    std::string outcome;                        // outcomeText of one of the outcomes
    std::string reason;                         // why not saved, why refused
    std::optional<JournalReport> report;        // the report saved, or meant to be; for a clear, relied on

    std::size_t line = 0; // where the reader found it
};

// "extraction", "clear" or "import", as the journal writes an entry's kind.
std::string_view kindText(JournalEntry::Kind kind);
// The outcome of an import entry.
inline constexpr std::string_view kImportedOutcome = "imported";

// The entry as one line of JSON, without its line end. Text that is not UTF-8 (a module's reply, a path)
// is written with replacement characters, never refused.
std::string journalLine(const JournalEntry& entry);

struct DamagedLine {
    std::size_t line = 0;
    std::string why;
};
struct JournalReading {
    std::vector<JournalEntry> entries; // oldest first
    std::vector<DamagedLine> damaged;  // skipped
};
// Reads a journal's text. Any line that is not an entry (a writer killed mid-line, an edit) is skipped
// with the reason; the lines around it still count.
JournalReading readJournal(std::string_view text);

// Appends an entry to the journal in folder (made when missing) through the file system's one append
// step; "" on success, else why not.
std::string appendToJournal(FileSystem& fs, const std::string& folder, const JournalEntry& entry);

// A saved report read again and compared with what its entry says was saved.
struct ReportCheck {
    enum class State {
        Intact,
        Changed,
        Missing,
        Unreadable,
        Replaced, // a later entry saved another report under the same path
    };
    const JournalEntry* entry = nullptr;
    State state = State::Intact;
    std::string detail; // Unreadable: why; Replaced: the later entry's time
};
// Every report the entries name that was saved to a file, oldest first.
std::vector<ReportCheck> checkReports(const std::vector<JournalEntry>& entries, FileSystem& fs);
// Whether a check means the report can no longer be vouched for.
inline bool failed(const ReportCheck& check) {
    return check.state != ReportCheck::State::Intact && check.state != ReportCheck::State::Replaced;
}
std::string_view stateText(ReportCheck::State state);

} // namespace z83
