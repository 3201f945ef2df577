#include "Session.h"

#include "ModuleCommands.h"
#include "NumberReaders.h"
#include "ReportFile.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace z83 {

namespace {

constexpr int kMaxLogs = 65535; // log numbers are 16-bit
constexpr int kReadsPerRecord = 3;
constexpr const char* kBadCrc = "Bad CRC";
constexpr const char* kIncorrectLogNumber = "Incorrect Log Number!";

// Reads the current record of a module. Returns false when none was read (a failed read or three
// wrong lengths), leaving record untouched.
bool readRecord(Session& session, Desktop& desktop, std::optional<LogRecord>& record) {
    std::string reply;
    for (int attempt = 0; attempt < kReadsPerRecord; ++attempt) {
        std::uint8_t command = Cmd::LogData;
        if (!session.MRead(session.ModuleID, command, reply, "LogData!"))
            return false;
        if (reply.size() == kLogReplyDigits) {
            record = decodeLogReply(reply);
            return true;
        }
    }
    desktop.showMessage("Cannot read back log data - incorrect length!", "Warning", MessageIcon::Error);
    return false;
}

// The leading number of the line a record gives: its log number, or 0 for the empty line.
int lineNumber(const std::optional<LogRecord>& record) {
    return record ? fieldsOf(*record).logNumber : 0;
}

std::string quoted(const std::string& text) {
    constexpr std::size_t kShown = 40;
    return "\"" + (text.size() > kShown ? text.substr(0, kShown) + "..." : text) + "\"";
}

} // namespace

std::size_t Collection::flaggedCount() const {
    return static_cast<std::size_t>(
        std::count_if(entries.begin(), entries.end(), [](const LogEntry& e) { return !e.status.empty(); }));
}

std::string Collection::reportText() const {
    constexpr std::size_t kTypicalEntry = 80;
    std::string text;
    text.reserve(entries.size() * kTypicalEntry);
    for (const auto& entry : entries) {
        if (entry.record)
            appendCsvLine(*entry.record, text);
        if (!entry.status.empty()) {
            text += ' ';
            text += entry.status;
        }
        text += "\r\n";
    }
    return text;
}

std::string Session::cvLogToCSV(std::string& CSV) {
    std::optional<LogRecord> record;
    if (!readRecord(*this, desktop_, record))
        return "";
    CSV = csvLine(*record);
    return crcMatches(*record) ? "" : kBadCrc;
}

Collection Session::collectLogs() {
    Collection result;
    desktop_.setBusyPointer(true);

    std::uint8_t setIndex = Cmd::LogIndex;
    MWrite(ModuleID, setIndex, "1", "LogIndex");
    MWrite(ModuleID, setIndex, "1", "LogIndex");

    std::uint8_t readCount = Cmd::LogCount;
    if (!MRead(ModuleID, readCount, result.countText, "LogData!")) {
        result.outcome = Collection::Outcome::CountUnreadable;
        return result;
    }

    double count = readLeadingDecimal(result.countText);
    if (count == 0.0) {
        desktop_.showMessage("The handheld does not contain any logs!", "No Logs", MessageIcon::Information);
        result.outcome = Collection::Outcome::NoLogs;
        return result;
    }
    double rounded = std::nearbyint(count); // halves to even in the default rounding mode
    if (!(rounded <= kMaxLogs && rounded >= std::numeric_limits<std::int32_t>::min())) {
        desktop_.showMessage(
            "The handheld reports an impossible number of logs: " + quoted(result.countText) +
                ".\r\nA module holds at most 65535 logs. No report was written.",
            "Error", MessageIcon::Error);
        result.outcome = Collection::Outcome::ImpossibleCount;
        return result;
    }

    const int total = static_cast<int>(rounded);
    result.outcome = Collection::Outcome::Collected;
    result.entries.reserve(static_cast<std::size_t>(std::max(total, 0)));

    // The record is kept from one log to the next: after a failed read the entry repeats the previous
    // log's line, whose number then does not match.
    std::optional<LogRecord> record;
    auto readStatus = [&] {
        bool read = readRecord(*this, desktop_, record);
        return std::string_view(read && !crcMatches(*record) ? kBadCrc : "");
    };
    for (int d = 1; d <= total; ++d) {
        std::string_view status = readStatus();
        if (status.empty() && lineNumber(record) != d) {
            for (int repair = 0; repair < 2; ++repair) {
                MWrite(ModuleID, setIndex, std::to_string(d), "LogIndex");
                status = readStatus();
                if (lineNumber(record) == d)
                    break;
                if (repair == 1)
                    status = kIncorrectLogNumber;
            }
        }
        result.entries.push_back({record, status});
        desktop_.collectProgress(d, total);
    }
    return result;
}

Delivery Session::deliverReport(const Collection& collection) {
    Delivery delivery;
    const std::string text = collection.reportText();
    // The lines reach the clipboard first, so they survive a failure to save the file.
    desktop_.setClipboardText(text);

    std::string why;
    std::string folder = reportFolder(desktop_, why);
    if (!folder.empty()) {
        const std::string content = reportFileContent(text);
        SavedFile file = saveNewReport(folder, reportStem(desktop_.localNow()), content);
        delivery.path = file.path;
        if (file.saved && !readsBackAs(file.path, content)) {
            file.saved = false;
            file.error = "the file does not read back as written";
        }
        delivery.saved = file.saved;
        why = file.error;
    }
    if (!delivery.saved) {
        delivery.error = why;
        desktop_.showMessage("The report could not be saved" +
                                 (delivery.path.empty() ? std::string() : " as " + delivery.path) + ":\r\n" +
                                 why + ".\r\nThe logs are on the clipboard. Do not clear the module's logs.",
                             "Report Not Saved", MessageIcon::Error);
        return delivery;
    }

    desktop_.openFile(delivery.path);
    desktop_.setClearLogEnabled(true);
    desktop_.showMessage(
        "When you have confirmed that the data has been extracted correctly you should clear the "
        "log data from the handheld by clicking the 'Clear Log' button on the main window.",
        "Remember To Clear Log Data", MessageIcon::Warning);
    return delivery;
}

void Session::ExtractLogs() {
    Collection collection = collectLogs();
    if (collection.outcome != Collection::Outcome::Collected)
        return;
    desktop_.setBusyPointer(false);
    deliverReport(collection);
}

} // namespace z83
