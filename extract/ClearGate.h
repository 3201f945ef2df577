#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace z83 {

struct Collection;
struct LogCount;
struct SavedReport;

// Why the module's logs may not be cleared after a report. Every front end is refused by the same rules in
// the same words for the journal; each tells the user from the rule in its own words.
struct ClearRefusal {
    enum class Rule {
        LinkLost,         // the run was cut short by a lost link
        ErrorRaised,      // the run was cut short by an error the base station raised
        ReportNotSaved,   // no report was written
        ReportNotInFile,  // a stream, or a file that did not read back as written
        CountNotPlain,    // the count reply of the extraction was more than a number: not even force clears
        Flagged,          // flagged logs, and the front end lets them go only when told to
        NoTerminal,       // there is no way to ask
        NotConfirmed,     // the user said no
        CountUnreadable,  // the count read again just before the clear failed
        CountNone,        // ... says the module holds no logs
        CountDiffers,     // ... names other logs than the report's, or an impossible count
        CountNotPlainNow, // ... is more than a number
    };
    Rule rule = Rule::NotConfirmed;
    std::string reason;     // the journal's words
    std::string countText;  // the count read again before the clear, as journalled with the refusal
    std::string shownCount; // CountDiffers, CountNotPlainNow: the count as told, 5 or "3abc" quoted
    std::size_t reportLogs = 0;
    std::size_t flagged = 0;
};

// Whether a delivered report lets a clear follow: in order, a run cut short, a report not saved, not in a
// file that reads back, a count reply that was more than a number, and flagged logs when flaggedNeedForce.
std::optional<ClearRefusal> reportRefusal(const Collection& collection, const SavedReport& saved,
                                          bool flaggedNeedForce);

// Whether the count read again just before a clear forbids clearing a report of reportLogs logs: only a
// module that still plainly holds exactly those logs may be cleared.
std::optional<ClearRefusal> countRefusal(const LogCount& count, std::size_t reportLogs);

// How a front end asks before a clear and tells a refusal; the order of the rules is the gate's.
struct ClearAsking {
    // The window reads the count first and asks only while it agrees; the extractor asks first and reads the
    // count just before the write.
    bool countBeforeQuestion = false;
    // Yes or no, or nothing when there is no way to ask. flagged and logs are the report's.
    std::function<std::optional<bool>(std::size_t flagged, std::size_t logs)> confirm;
    std::function<void(const ClearRefusal&)> tellRefusal;
};

enum class ClearEnd { Cleared, Refused, WriteFailed };

// The reminder to clear once the report is checked; how says where the clear is given.
std::string clearReminderText(const std::string& how);

} // namespace z83
