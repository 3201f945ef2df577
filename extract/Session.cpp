#include "extract/Session.h"

#include "desktop/IsoTime.h"
#include "desktop/ShownText.h"
#include "desktop/Version.h"
#include "link/ActionGuard.h"
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

Session::GuardedRun Session::runGuarded(ActionGuard& guard, const std::function<void()>& whileRunning) {
    GuardedRun ran;
    ran.raised = !guard.run([&] {
        ran.load = Load();
        if (ran.load == LoadResult::Running)
            whileRunning();
    });
    if (!ran.raised && ran.load != LoadResult::EndAtOnce)
        ran.unloadFailed = !guard.run([&] { Unload(); });
    return ran;
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
    ClearAsking asking;
    asking.countBeforeQuestion = true;
    asking.confirm = [this](std::size_t flagged, std::size_t logs) { return askInBox(flagged, logs); };
    asking.tellRefusal = [this](const ClearRefusal& refused) { tellInBox(refused); };
    clearThroughGate(asking);
    warnOfJournalAfterAction();
}

std::optional<ClearRefusal> Session::admitReport(const Collection& collection, const SavedReport& saved,
                                                 bool flaggedNeedForce) {
    reportRefused_ = reportRefusal(collection, saved, flaggedNeedForce);
    if (reportRefused_)
        reported_.reset();
    else
        reported_ = ReportedLogs{collection.entries.size(), collection.flaggedCount()};
    return reportRefused_;
}

ClearEnd Session::clearThroughGate(const ClearAsking& asking) {
    LogCount count;
    if (asking.countBeforeQuestion) {
        if (auto refused = recountRefusal(count))
            return refuse(*refused, asking);
    } else if (!reported_) {
        ClearRefusal none;
        none.reason = "no saved report";
        return refuse(reportRefused_.value_or(none), asking);
    }
    if (auto refused = questionRefusal(asking, count.text))
        return refuse(*refused, asking);
    if (!asking.countBeforeQuestion)
        if (auto refused = recountRefusal(count))
            return refuse(*refused, asking);
    return clearAndJournal(count.text) ? ClearEnd::Cleared : ClearEnd::WriteFailed;
}

std::optional<ClearRefusal> Session::recountRefusal(LogCount& count) {
    // A count read that lost a digit, or logs recorded since, would otherwise clear logs no report holds.
    count = readLogCountBeforeClear();
    auto refused = countRefusal(count, reported_ ? reported_->entries : 0);
    if (refused && !reported_)
        refused->reason = "no saved report";
    return refused;
}

std::optional<ClearRefusal> Session::questionRefusal(const ClearAsking& asking,
                                                     const std::string& countText) {
    const std::optional<bool> yes = asking.confirm(reported_->flagged, reported_->entries);
    if (yes && *yes)
        return std::nullopt;
    ClearRefusal refused;
    refused.rule = yes ? ClearRefusal::Rule::NotConfirmed : ClearRefusal::Rule::NoTerminal;
    refused.reason = yes ? "not confirmed" : "no terminal to confirm on";
    refused.countText = countText;
    refused.reportLogs = reported_->entries;
    refused.flagged = reported_->flagged;
    return refused;
}

ClearEnd Session::refuse(const ClearRefusal& refused, const ClearAsking& asking) {
    asking.tellRefusal(refused);
    journalClear(refused.countText, ClearOutcome::Refused, refused.reason);
    return ClearEnd::Refused;
}

std::optional<bool> Session::askInBox(std::size_t flagged, std::size_t logs) {
    std::string question = "Are you sure that you want to delete all logs?";
    auto buttons = MessageButtons::YesNo;
    // The module's own copy of a flagged log may be intact (the radio spoiled it): say what goes for good.
    if (flagged > 0) {
        question += "\r\n\r\n" + flaggedLossText(flagged, logs);
        buttons = MessageButtons::YesNoDefaultNo;
    }
    return desktop_.showMessage(question, "Clear All Logs", MessageIcon::Question, buttons) !=
           MessageAnswer::No;
}

void Session::tellInBox(const ClearRefusal& refused) {
    using Rule = ClearRefusal::Rule;
    const std::string reported = reported_ ? std::to_string(reported_->entries) : std::string("no");
    const std::string again = ".\r\nExtract the logs again before clearing them. Nothing was cleared.";
    if (refused.rule == Rule::CountUnreadable)
        desktop_.showMessage(
            "The number of logs on the handheld could not be read to compare it with the last "
            "report, which holds " +
                reported + " logs" + again,
            "Logs Not Cleared", MessageIcon::Error);
    else if (refused.rule == Rule::CountNone)
        desktop_.showMessage("The handheld does not contain any logs!", "No Logs", MessageIcon::Information);
    else if (refused.rule == Rule::CountDiffers || refused.rule == Rule::CountNotPlainNow)
        desktop_.showMessage("The handheld reports " + refused.shownCount +
                                 " logs, but the last report holds " + reported + again,
                             "Logs Not Cleared", MessageIcon::Error);
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
