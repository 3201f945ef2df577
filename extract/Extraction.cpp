#include "extract/Flow.h"

#include "desktop/ShownText.h"
#include "link/ModuleCommands.h"
#include "link/NumberReaders.h"
#include "link/Wire.h"

#include <algorithm>
#include <cmath>

namespace z83 {

namespace {

constexpr int kReadsPerRecord = 3;
// Logs in a row of which no record arrived at all (every read and repair read failed) that end the run: the
// link is gone, and each further log would cost five failure boxes. One such log alone is a passing fault.
constexpr int kUnreadLogsMeaningLinkLost = 2;

std::string quoted(const std::string& text) {
    return "\"" + shownDeviceText(text, 40) + "\"";
}

} // namespace

std::size_t Collection::flaggedCount() const {
    return static_cast<std::size_t>(std::count_if(
        entries.begin(), entries.end(), [](const LogEntry& e) { return e.status != LogStatus::Good; }));
}

LogCount Session::readLogCount() {
    LogCount count;
    std::uint8_t command = Cmd::LogCount;
    if (!MRead(ModuleID, command, count.text, "LogData!"))
        return count;
    const double value = readLeadingDecimal(count.text);
    if (value == 0.0) {
        count.kind = LogCount::Kind::None;
    } else if (value >= 1 && value <= kMaxLogs && value == std::floor(value)) {
        count.kind = LogCount::Kind::Logs;
        count.logs = static_cast<int>(value);
        count.clean = isCleanCount(count.text);
    } else {
        // Reading "2.5" as two logs or "-2" as none would leave logs out of a report that looks whole.
        count.kind = LogCount::Kind::Impossible;
    }
    return count;
}

bool isCleanCount(std::string_view text) {
    const auto isWhite = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isWhite(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isWhite(text.back()))
        text.remove_suffix(1);
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string uncleanCountReason(const std::string& countText) {
    return "count not a plain number: the module replied " + quoted(countText);
}

std::string uncleanCountText(const Collection& collection) {
    const auto logs = collection.entries.size();
    return "The handheld answered the log count with " + quoted(collection.countText) +
           ", which is more than a number: the report holds the " +
           (logs == 1 ? std::string("log") : std::to_string(logs) + " logs") +
           " that its number gave, but may not hold every log on the module.\r\nThe module's logs cannot be "
           "cleared after this report: extract them again when the count is a plain number.";
}

std::string flaggedLossText(std::size_t flagged, std::size_t entries) {
    return std::to_string(flagged) + " of the report's " + std::to_string(entries) + " logs " +
           (flagged == 1 ? "was" : "were") +
           " not read correctly (\"Bad CRC\" or \"Incorrect Log Number!\"). Clearing erases " +
           (flagged == 1 ? "it" : "them") + " for good.";
}

void Collection::rethrowRaised() const {
    if (raised)
        std::rethrow_exception(raised->error);
}

std::string partialReportTitle(const Collection& collection) {
    return collection.outcome == Collection::Outcome::Raised ? kRaisedTitle : kLinkLostTitle;
}

std::string partialReportText(const Collection& collection, const SavedReport& saved) {
    const auto read = collection.entries.size();
    const std::string where = !saved.saved()      ? std::string()
                              : saved.path == "-" ? std::string(" (on standard output)")
                                                  : " (" + saved.path + ")";
    const std::string holds =
        !saved.saved() ? "The report of the logs read before it could not be saved."
        : read == 0    ? "No log was read before it, so the report" + where + " is empty."
        : read == 1    ? "The report" + where + " holds the log read before it."
                    : "The report" + where + " holds the " + std::to_string(read) + " logs read before it.";
    const std::string at =
        std::to_string(collection.lostAt) + " of " + std::to_string(collection.total) + ". ";
    if (collection.outcome == Collection::Outcome::Raised)
        return "The base station raised an error at log " + at + holds +
               "\r\nExtract the logs again, and do not clear the module's logs.";
    return "The link to the handheld was lost at log " + at + holds +
           "\r\nExtract the logs again when the link is back, and do not clear the module's logs.";
}

std::optional<LogStatus> Session::readLogRecord(CsvLine& CSV) {
    std::string reply;
    for (int read = 0; read < kReadsPerRecord; ++read) {
        std::uint8_t command = Cmd::LogData;
        if (!MRead(ModuleID, command, reply, "LogData!"))
            return std::nullopt; // MRead has shown its message; the line is left as it was
        if (reply.size() == kLogReplyDigits) {
            CSV.record = decodeLogReply(reply);
            return crcMatches(*CSV.record) ? LogStatus::Good : LogStatus::BadCrc;
        }
    }
    desktop_.showMessage("Cannot read back log data - incorrect length!", "Warning", MessageIcon::Error);
    return std::nullopt;
}

LogStatus Session::cvLogToCSV(CsvLine& CSV) {
    return readLogRecord(CSV).value_or(LogStatus::Good);
}

Collection Session::collectLogs() {
    desktop_.setBusyPointer(true);
    std::uint8_t setIndex = Cmd::LogIndex;
    for (int write = 0; write < kFirstLogIndexWrites; ++write)
        MWrite(ModuleID, setIndex, std::string(kFirstLogIndex), "LogIndex");

    const LogCount count = readLogCount();
    Collection result;
    result.countText = count.text;
    result.countClean = count.clean;
    if (count.kind != LogCount::Kind::Logs)
        return endWithoutReport(std::move(result), count);
    result.total = count.logs;
    result.outcome = Collection::Outcome::Collected;
    result.entries.reserve(static_cast<std::size_t>(count.logs));
    readEveryLog(result, setIndex);
    return result;
}

Collection Session::endWithoutReport(Collection result, const LogCount& count) {
    auto journalled = ExtractionOutcome::CountUnreadable;
    switch (count.kind) {
    case LogCount::Kind::Unreadable: // MRead has shown its message
    case LogCount::Kind::Logs:       // not reached: a count of logs is read
        result.outcome = Collection::Outcome::CountUnreadable;
        break;
    case LogCount::Kind::None:
        desktop_.showMessage("The handheld does not contain any logs!", "No Logs", MessageIcon::Information);
        result.outcome = Collection::Outcome::NoLogs;
        journalled = ExtractionOutcome::NoLogs;
        break;
    case LogCount::Kind::Impossible:
        desktop_.showMessage("The handheld reports an impossible number of logs: " + quoted(count.text) +
                                 ".\r\nA module holds a whole number of logs from 1 to " +
                                 std::to_string(kMaxLogs) + ". No report was written.",
                             "Error", MessageIcon::Error);
        result.outcome = Collection::Outcome::ImpossibleCount;
        journalled = ExtractionOutcome::ImpossibleCount;
        break;
    }
    // A run with a report is journalled once its report is saved, or not.
    JournalEntry entry;
    entry.model = ModuleModel;
    entry.count = count.text;
    entry.logs = entry.flagged = 0;
    entry.outcome = outcomeText(journalled);
    lastReport_.reset();
    journal(std::move(entry), std::nullopt);
    return result;
}

void Session::readEveryLog(Collection& result, std::uint8_t& setIndex) {
    // The line is kept from one log to the next: after a failed read the entry repeats the previous
    // log's line, whose number then does not match.
    CsvLine line;
    int unreadInARow = 0;
    int d = 1;
    try {
        for (; d <= result.total; ++d) {
            bool arrived = false;
            const LogStatus status = readLog(d, line, arrived, setIndex);
            unreadInARow = arrived ? 0 : unreadInARow + 1;
            if (unreadInARow == kUnreadLogsMeaningLinkLost) {
                // The unread logs' entries would only repeat the last line read; the report ends before them.
                result.entries.resize(result.entries.size() - (kUnreadLogsMeaningLinkLost - 1));
                result.outcome = Collection::Outcome::LinkLost;
                result.lostAt = d - (kUnreadLogsMeaningLinkLost - 1);
                return;
            }
            result.entries.push_back({line, status});
            desktop_.collectProgress(d, result.total);
        }
    } catch (const ProviderError& error) {
        // The error still ends the program, but only once the logs read before it are saved.
        result.outcome = Collection::Outcome::Raised;
        result.lostAt = d;
        result.raised =
            Collection::RaisedError{std::current_exception(), error.number(), error.description()};
    }
}

LogStatus Session::readLog(int d, CsvLine& line, bool& arrived, std::uint8_t& setIndex) {
    const auto read = [&] {
        const auto status = readLogRecord(line);
        arrived = arrived || status.has_value();
        return status.value_or(LogStatus::Good);
    };
    LogStatus status = read();
    if (status != LogStatus::Good || line.logNumber() == d)
        return status;
    // A record of another log: set the index to this one and read again, twice at most.
    for (int repair = 0; repair < 2; ++repair) {
        MWrite(ModuleID, setIndex, std::to_string(d), "LogIndex");
        status = read();
        if (line.logNumber() == d)
            return status;
    }
    return LogStatus::IncorrectLogNumber;
}

// The window's part: the clipboard, the default folder, boxes, and Clear Log for the clear.
class WindowFlow : public FlowFrontEnd {
public:
    explicit WindowFlow(Session& session) : session_(session), desktop_(session.desktop_) {}

    void collected(const Collection&) override { desktop_.setBusyPointer(false); }

    SavedReport save(const Collection& collection) override {
        const std::string content = reportFileContent(collection.entries);
        // The lines reach the clipboard first, so they survive a failure to save the file.
        onClipboard_ = desktop_.setClipboardText(std::string(reportLinesOf(content)));
        return saveReport(content, {}, desktop_, session_.fileSystem_);
    }

    // The window asks over flagged logs, with No as the default, rather than refusing.
    bool flaggedNeedForce() const override { return false; }

    void tellEnding(const Collection& collection, const SavedReport& saved,
                    const std::optional<ClearRefusal>& refused) override {
        tellSaved(saved);
        // Saved first, so that the logs read before the run was cut short are safe whatever the user does
        // next.
        if (collection.partial())
            desktop_.showMessage(partialReportText(collection, saved), partialReportTitle(collection),
                                 MessageIcon::Error);
        if (refused && refused->rule == ClearRefusal::Rule::CountNotPlain) {
            session_.disableClearLog();
            desktop_.showMessage(uncleanCountText(collection), kUncleanCountTitle, MessageIcon::Warning);
        } else if (!refused) {
            desktop_.setClearLogEnabled(true);
            desktop_.showMessage(clearReminderText("by clicking the 'Clear Log' button on the main window"),
                                 "Remember To Clear Log Data", MessageIcon::Warning);
        }
    }

    // The clear waits for the Clear Log button.
    std::optional<ClearAsking> clearNow(const Collection&, const SavedReport&) override {
        return std::nullopt;
    }

private:
    void tellSaved(const SavedReport& saved) {
        if (saved.safeToClear()) {
            desktop_.openFile(saved.path);
            return;
        }
        desktop_.showMessage("The report could not be saved" +
                                 (saved.path.empty() ? std::string() : " as " + saved.path) + ":\r\n" +
                                 saved.error + ".\r\n" +
                                 (onClipboard_ ? "The logs are on the clipboard. "
                                               : "The logs could not be put on the clipboard either. ") +
                                 "Do not clear the module's logs.",
                             "Report Not Saved", MessageIcon::Error);
    }

    Session& session_;
    Desktop& desktop_;
    bool onClipboard_ = false;
};

FlowEnd Session::runFlow(FlowFrontEnd& frontEnd) {
    FlowEnd end;
    end.collection = collectLogs();
    if (!end.collection.hasReport())
        return end;
    frontEnd.collected(end.collection);
    end.saved = frontEnd.save(end.collection);
    journalExtraction(end.collection, end.saved);
    end.refused = admitReport(end.collection, end.saved, frontEnd.flaggedNeedForce());
    frontEnd.tellEnding(end.collection, end.saved, end.refused);
    if (auto asking = frontEnd.clearNow(end.collection, end.saved))
        end.cleared = clearThroughGate(*asking);
    end.collection.rethrowRaised(); // ends the run as any raised error does, now that the logs are safe
    return end;
}

void Session::ExtractLogs() {
    WindowFlow flow(*this);
    runFlow(flow);
}

} // namespace z83
