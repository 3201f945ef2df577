#include "cli/JournalListing.h"

#include "cli/ConsoleDesktop.h"
#include "cli/ExitCode.h"
#include "desktop/ShownText.h"
#include "desktop/UserFolders.h"
#include "extract/Journal.h"
#include "extract/Session.h"
#include "link/NumberReaders.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <vector>

namespace z83::cli {

namespace {

bool kept(const JournalEntry& entry, const Options& options) {
    if (options.module) {
        // An edited journal may spell the ID otherwise: compare the IDs, not the texts.
        const auto id = readLeadingHex(entry.module).digits > 0 ? parseTypedId(entry.module) : std::nullopt;
        if (!id || idHex(*id) != *options.module)
            return false;
    }
    return options.since.empty() || entry.time.substr(0, 10) >= options.since;
}

std::string outcomeOf(const JournalEntry& entry) {
    return entry.reason.empty() ? entry.outcome : entry.outcome + ": " + entry.reason;
}

std::string number(const std::optional<std::uint64_t>& value) {
    return value ? std::to_string(*value) : std::string();
}

// The fields of the table and the CSV, in their order.
std::vector<std::string> tableRow(const JournalEntry& e) {
    std::string time = e.time;
    std::replace(time.begin(), time.end(), 'T', ' ');
    return {time,
            e.frontEnd,
            std::string(kindText(e.kind)),
            e.module,
            shownDeviceText(e.count, 12),
            number(e.logs),
            number(e.flagged),
            outcomeOf(e),
            e.report ? e.report->path : std::string()};
}

std::vector<std::string> csvRow(const JournalEntry& e) {
    return {e.time,
            e.utc,
            e.program,
            e.version,
            e.frontEnd,
            std::string(kindText(e.kind)),
            e.module,
            e.model,
            e.count,
            number(e.logs),
            number(e.flagged),
            e.outcome,
            e.reason,
            e.report ? e.report->path : std::string(),
            e.report ? number(e.report->size) : std::string(),
            e.report ? e.report->sha256 : std::string()};
}

void printTable(const std::vector<const JournalEntry*>& entries, std::ostream& out) {
    std::vector<std::vector<std::string>> rows = {
        {"Time", "By", "Entry", "Module", "Count", "Logs", "Flagged", "Outcome", "Report"}};
    for (const JournalEntry* entry : entries) {
        rows.push_back(tableRow(*entry));
        // Whatever a module or an editor put into the journal, it cannot move the terminal's cursor.
        for (auto& field : rows.back())
            field = printableLine(field);
    }
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i)
            line += i + 1 == row.size() ? row[i] : row[i] + std::string(widths[i] - row[i].size() + 2, ' ');
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

// A journal text as one field of the listing, on one line.
std::string textField(const std::string& text) {
    return csvField(printableLine(text));
}

void printCsv(const std::vector<const JournalEntry*>& entries, std::ostream& out) {
    out << "time,utc,program,version,front_end,kind,module,model,count,logs,flagged,outcome,reason,report,"
           "size,"
           "sha256\r\n";
    for (const JournalEntry* entry : entries) {
        std::string line;
        for (const auto& field : csvRow(*entry))
            line += (line.empty() ? "" : ",") + textField(field);
        out << line << "\r\n";
    }
}

void printJson(const std::vector<const JournalEntry*>& entries, std::ostream& out) {
    out << "[";
    for (std::size_t i = 0; i < entries.size(); ++i)
        out << (i == 0 ? "\n  " : ",\n  ") << journalLine(*entries[i]);
    out << (entries.empty() ? "]\n" : "\n]\n");
}

// "changed    <path>  (module 1A2B3C, saved 2025-03-07 09:05:03)", and why where there is more to say.
std::string checkLine(const ReportCheck& check) {
    const JournalEntry& entry = *check.entry;
    std::string time = entry.time;
    std::replace(time.begin(), time.end(), 'T', ' ');
    std::string state(stateText(check.state));
    state.resize(std::max<std::size_t>(state.size(), 10), ' ');
    std::string line =
        state + " " + entry.report->path + "  (module " + entry.module + ", saved " + time + ")";
    if (check.state == ReportCheck::State::Replaced)
        line += ": the report of " + check.detail + " took its name";
    else if (check.state == ReportCheck::State::Unreadable)
        line += ": " + check.detail;
    return line;
}

// Every saved report of the kept entries read again; a line for each, then the totals. A damaged line may
// have listed a report that is gone since, so it counts as a failure too.
int verify(const JournalReading& reading, const Options& options, std::ostream& out, FileSystem& fileSystem) {
    const std::vector<JournalEntry>& entries = reading.entries;
    using State = ReportCheck::State;
    std::map<State, std::size_t> counts;
    bool anyFailed = false;
    // All entries take part, so that a report replaced by a later one that the filter leaves out is known.
    for (const ReportCheck& check : checkReports(entries, fileSystem)) {
        if (!kept(*check.entry, options))
            continue;
        out << printableLine(checkLine(check)) << '\n';
        ++counts[check.state];
        anyFailed = anyFailed || failed(check);
    }
    out << "Reports: " << counts[State::Intact] << " intact, " << counts[State::Changed] << " changed, "
        << counts[State::Missing] << " missing";
    for (const State state : {State::Unreadable, State::Replaced})
        if (counts[state] > 0)
            out << ", " << counts[state] << " " << stateText(state);
    const std::size_t damaged = reading.damaged.size();
    if (damaged > 0)
        out << "; " << damaged << (damaged == 1 ? " damaged journal line" : " damaged journal lines")
            << " not checked";
    out << ".\n";
    out.flush();
    return anyFailed || damaged > 0 ? ExitCode::ReportsChanged : ExitCode::Success;
}

} // namespace

int showJournal(const Options& options, std::ostream& out, std::ostream& err, FileSystem& fileSystem) {
    const std::string folder = dataFolder();
    if (folder.empty()) {
        err << kProgramName << ": the journal cannot be found: no folder for the program's data is known\n";
        return ExitCode::ReportsChanged;
    }
    const std::string path = fileSystem.join(folder, kJournalFileName);
    std::string text;
    if (fileSystem.kindOf(path) == PathKind::Missing) {
        err << "The journal " << path << " does not exist yet: nothing has been extracted or cleared.\n";
    } else if (auto e = fileSystem.readWhole(path, text)) {
        err << kProgramName << ": the journal " << path << " could not be read: " << e.message() << '\n';
        return ExitCode::ReportsChanged;
    }
    const JournalReading reading = readJournal(text);
    // Damaged lines are named, never a reason to refuse the others.
    for (const DamagedLine& damaged : reading.damaged)
        err << printableLine("Warning: line " + std::to_string(damaged.line) + " of the journal " + path +
                             " is skipped: " + damaged.why)
            << '\n';
    err.flush();
    if (options.verify)
        return verify(reading, options, out, fileSystem);

    std::vector<const JournalEntry*> entries;
    for (const JournalEntry& entry : reading.entries)
        if (kept(entry, options))
            entries.push_back(&entry);
    switch (options.listing) {
    case Options::Listing::Table:
        printTable(entries, out);
        break;
    case Options::Listing::Csv:
        printCsv(entries, out);
        break;
    case Options::Listing::Json:
        printJson(entries, out);
        break;
    }
    out.flush();
    return ExitCode::Success;
}

} // namespace z83::cli
