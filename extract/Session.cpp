#include "extract/Session.h"

#include "desktop/IsoTime.h"
#include "desktop/ShownText.h"
#include "desktop/Version.h"
#include "link/ModuleCommands.h"

#include <utility>

namespace z83 {

Session::Session(Desktop& desktop, ProviderFactory createProvider, FileSystem& fileSystem)
    : desktop_(desktop), createProvider_(std::move(createProvider)), fileSystem_(fileSystem) {}

Session::LoadResult Session::Load() {
    DP = createProvider_();
    DP->clearCurrentError();
    DP->ProbeProvider();
    if (const auto& error = DP->currentError(); error.number != 0) {
        desktop_.showMessage("Z83DataProviderCOM.DLL possibly not registered!\r\nError: " +
                                 shownDeviceText(error.description) +
                                 " [Code: " + std::to_string(error.number) + "]",
                             desktop_.applicationName(), MessageIcon::Error);
        return LoadResult::CloseAndEnd;
    }

    desktop_.setIdText(desktop_.readSetting("Settings", "ID", "0"));
    idLoaded_ = true;

    DP->clearCurrentError();
    std::int16_t status = DP->OpenUSB(Arg::OpenFirst, Arg::OpenSecond);
    if (DP->currentError().number != 0 || status != 0) {
        desktop_.showMessage("Cannot open USB interface", "Warning", MessageIcon::Warning);
        return LoadResult::EndAtOnce;
    }

    if (DP->DetectBase(Arg::DetectWhich) == 0) {
        desktop_.showMessage("Base station not detected! Connect base station and restart program.",
                             "Warning", MessageIcon::Error);
        return LoadResult::CloseAndEnd;
    }

    DP->ReadBaseByte(Arg::BaseByteWhich);
    return LoadResult::Running;
}

void Session::Unload() {
    desktop_.setBusyPointer(true);
    // Before the remembered ID was put into the box, the box holds nothing worth remembering.
    if (idLoaded_)
        desktop_.writeSetting("Settings", "ID", desktop_.idText());
    if (DP) {
        DP->CloseUSB();
        desktop_.pause(1.0);
        DP.reset();
    }
    desktop_.setBusyPointer(false);
}

bool Session::MRead(std::int32_t& ID, std::uint8_t& Command, std::string& Value,
                    const std::string& Description) {
    return z83::MRead(*DP, desktop_, ID, Command, Value, Description);
}

bool Session::MWrite(std::int32_t& ID, std::uint8_t& Command, const std::string& Value,
                     const std::string& Description) {
    return z83::MWrite(*DP, desktop_, ID, Command, Value, Description);
}

void Session::ClearLog() {
    clearAfterConfirmation();
    warnOfJournalAfterAction();
}

void Session::clearAfterConfirmation() {
    LogCount count;
    if (auto refused = whyNotClear(count)) {
        journalClear(count.text, ClearOutcome::Refused, *refused);
        return;
    }
    std::string question = "Are you sure that you want to delete all logs?";
    auto buttons = MessageButtons::YesNo;
    // The module's own copy of a flagged log may be intact (the radio spoiled it): say what goes for good.
    if (const std::size_t flagged = reported_->flagged; flagged > 0) {
        question += "\r\n\r\n" + flaggedLossText(flagged, reported_->entries);
        buttons = MessageButtons::YesNoDefaultNo;
    }
    auto answer = desktop_.showMessage(question, "Clear All Logs", MessageIcon::Question, buttons);
    if (answer == MessageAnswer::No) {
        journalClear(count.text, ClearOutcome::Refused, "not confirmed");
        return;
    }
    clearAndJournal(count.text);
}

std::optional<std::string> clearRefusal(const LogCount& count, std::size_t reportEntries) {
    const std::string holds = ", the report holds " + std::to_string(reportEntries);
    switch (count.kind) {
    case LogCount::Kind::Unreadable:
        return "count unreadable";
    case LogCount::Kind::None:
        return "count differs: the module reports no logs" + holds;
    case LogCount::Kind::Impossible:
        return "count differs: the module reports \"" + shownDeviceText(count.text, 40) + "\" logs" + holds;
    case LogCount::Kind::Logs:
        break;
    }
    // "3abc" reads as 3, but a module holding 5 might have sent it.
    if (!count.clean)
        return uncleanCountReason(count.text);
    if (static_cast<std::size_t>(count.logs) == reportEntries)
        return std::nullopt;
    return "count differs: the module reports " + std::to_string(count.logs) + " logs" + holds;
}

std::optional<std::string> Session::whyNotClear(LogCount& count) {
    // A count read that lost a digit, or logs recorded since, would otherwise clear logs no report holds.
    const std::string reported = reported_ ? std::to_string(reported_->entries) : std::string("no");
    const std::string again = ".\r\nExtract the logs again before clearing them. Nothing was cleared.";
    count = readLogCountBeforeClear();
    auto refused =
        reported_ ? clearRefusal(count, reported_->entries) : std::optional<std::string>("no saved report");
    if (!refused)
        return std::nullopt;
    switch (count.kind) {
    case LogCount::Kind::Unreadable:
        desktop_.showMessage(
            "The number of logs on the handheld could not be read to compare it with the last "
            "report, which holds " +
                reported + " logs" + again,
            "Logs Not Cleared", MessageIcon::Error);
        break;
    case LogCount::Kind::None:
        desktop_.showMessage("The handheld does not contain any logs!", "No Logs", MessageIcon::Information);
        break;
    case LogCount::Kind::Impossible:
    case LogCount::Kind::Logs:
        desktop_.showMessage("The handheld reports " +
                                 (count.kind == LogCount::Kind::Logs && count.clean
                                      ? std::to_string(count.logs)
                                      : "\"" + shownDeviceText(count.text, 40) + "\"") +
                                 " logs, but the last report holds " + reported + again,
                             "Logs Not Cleared", MessageIcon::Error);
        break;
    }
    return refused;
}

namespace {

// A raised error as the journal names it.
std::string raisedReason(const ProviderError& error) {
    return "error " + std::to_string(error.number()) +
           " raised: " + shownDeviceText(error.description(), 160);
}

} // namespace

LogCount Session::readLogCountBeforeClear() {
    try {
        return readLogCount();
    } catch (const ProviderError& error) {
        journalClear({}, ClearOutcome::Refused, "count unreadable: " + raisedReason(error));
        throw;
    }
}

bool Session::clearAndJournal(const std::string& countText) {
    std::uint8_t command = Cmd::ClearLog;
    bool cleared = false;
    try {
        cleared = MWrite(ModuleID, command, std::string(kClearLogCode), "ClearLog");
    } catch (const ProviderError& error) {
        // Whether the module took it is unknown; the entry says the write did not complete.
        journalClear(countText, ClearOutcome::WriteFailed, raisedReason(error));
        throw;
    }
    journalClear(countText, cleared ? ClearOutcome::Cleared : ClearOutcome::WriteFailed);
    return cleared;
}

void Session::keepJournal(JournalSettings settings) {
    journal_ = std::move(settings);
}

void Session::journal(JournalEntry entry, const std::optional<JournalReport>& report) {
    entry.report = report;
    if (!journal_)
        return;
    entry.time = isoTime(desktop_.localNow());
    entry.utc = isoUtcNow();
    entry.program = desktop_.applicationName();
    entry.version = kVersion;
    entry.frontEnd = journal_->frontEnd;
    entry.module = idHex(ModuleID);
    const std::string why = appendToJournal(fileSystem_, journal_->folder, entry);
    if (why.empty())
        return;
    const std::string path = journal_->folder.empty() ? std::string("(unknown)")
                                                      : fileSystem_.join(journal_->folder, kJournalFileName);
    const std::string text =
        "The journal of extractions and clears could not be written: " + why + ".\r\nJournal: " + path +
        ".\r\nReports and the module are not affected; only the journal lacks the entry.";
    if (journal_->warnEachTime)
        desktop_.showMessage(text, kJournalWarningTitle, MessageIcon::Warning);
    else if (!journalWarned_ && journalWarning_.empty())
        journalWarning_ = text;
}

void Session::journalExtraction(const Collection& collection, const SavedReport& saved) {
    JournalEntry entry;
    entry.model = ModuleModel;
    entry.count = collection.countText;
    entry.logs = collection.entries.size();
    entry.flagged = collection.flaggedCount();
    const bool partial = collection.partial();
    entry.outcome = outcomeText(!saved.saved() ? ExtractionOutcome::NotSaved
                                : partial      ? ExtractionOutcome::Partial
                                               : ExtractionOutcome::Saved);
    const std::string at =
        " at log " + std::to_string(collection.lostAt) + " of " + std::to_string(collection.total);
    if (collection.raised)
        entry.reason = "error " + std::to_string(collection.raised->number) + " raised" + at + ": " +
                       shownDeviceText(collection.raised->description, 160);
    else if (partial)
        entry.reason = "link lost" + at;
    else if (!collection.countClean)
        entry.reason = uncleanCountReason(collection.countText);
    if (!saved.saved())
        entry.reason += (entry.reason.empty() ? "" : "; ") + saved.error;
    JournalReport report{saved.path, {}, saved.sha256, saved.outcome == SavedReport::Outcome::Stream};
    if (saved.saved())
        report.size = saved.size;
    lastReport_ = report;
    journal(std::move(entry), std::move(report));
}

void Session::journalClear(const std::string& countText, ClearOutcome outcome, const std::string& reason) {
    JournalEntry entry;
    entry.kind = JournalEntry::Kind::Clear;
    entry.count = countText;
    entry.outcome = outcomeText(outcome);
    entry.reason = reason;
    std::optional<JournalReport> report = lastReport_;
    if (report)
        report->size.reset(); // the extraction's entry has it
    journal(std::move(entry), report);
}

void Session::warnOfJournalAfterAction() {
    if (journalWarning_.empty())
        return;
    journalWarned_ = true;
    desktop_.showMessage(std::exchange(journalWarning_, {}), kJournalWarningTitle, MessageIcon::Warning);
}

} // namespace z83
