#pragma once

#include "desktop/ShownText.h"
#include "extract/FileSystem.h"
#include "extract/Journal.h"
#include "history/ReportReading.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A module's history: every visit the journal lists, and the union of the events of the reports that
// still hold what was saved.
namespace z83 {

// Which part of the journal a history covers.
struct HistoryFilter {
    std::optional<std::string> module; // the ID as idHex writes it; all modules when empty
    std::string since, until;          // YYYY-MM-DD, inclusive; "" for no bound
};

// A report an entry names, and what became of it.
struct HistorySource {
    const JournalEntry* entry = nullptr;
    enum class State {
        Used,    // intact: its records are in the history
        Changed, // its bytes are no longer those saved
        Missing,
        Unreadable,
        Replaced,  // a later report took its name
        NotReport, // intact, but it does not read as a report
        Stream,    // written into a stream: nothing to read again
        NoReport,  // a clear, or an extraction that saved nothing
    };
    State state = State::NoReport;
    std::string detail;        // why, where there is more to say
    std::size_t records = 0;   // records read from it
    std::size_t newEvents = 0; // of them, events no earlier report gave
};
std::string_view stateText(HistorySource::State state);

struct HistoryEvent {
    ReadRecord record;
    std::uint32_t source = 0; // the index of the visit whose report first gave it
    bool disagrees = false;   // another report of the same visit holds another record under its number
};

struct HistoryFigures {
    std::size_t events = 0, overloads = 0, flagged = 0, disagreements = 0, unusedReports = 0;
    std::optional<std::size_t> highest;    // index of the event with the highest peak
    std::optional<LogSeconds> first, last; // peak times of the first and last event
    std::string lastExtraction, lastClear; // journal times; "" for none
};

struct ModuleHistory {
    std::string id, model;
    std::vector<HistorySource> visits; // every entry of the module, oldest first
    std::vector<HistoryEvent> events;  // the union, in the order of their peaks; flagged ones too
    HistoryFigures figures;            // of the events that are not flagged
};

struct History {
    std::vector<ModuleHistory> modules; // by ID
    std::vector<std::string> warnings;  // damaged journal lines, and the like
    std::string journalPath;
    HistoryFilter filter; // what it covers
    // Whether a report the journal lists is missing or changed.
    bool reportsFailed() const;
};

// The history of the entries read from a journal, reading the reports they name through fs. It points
// into the journal's entries, which must outlive it.
History buildHistory(const JournalReading& journal, const HistoryFilter& filter, FileSystem& fs);

// The ID a journal's text names, written as idHex writes it; "" when it names none.
std::string normalModuleId(const std::string& text);

} // namespace z83
