#include "cli/ConsoleFlow.h"

#include "cli/Console.h"
#include "cli/ConsoleDesktop.h"
#include "cli/JsonReport.h"
#include "desktop/Sha256.h"
#include "desktop/ShownText.h"
#include "extract/Session.h"

#include <ostream>

namespace z83::cli {

void ConsoleFlow::collected(const Collection& collection) {
    desktop_.endProgressLine();
    const bool partial = collection.partial();
    const std::size_t logs = collection.entries.size();
    desktop_.note("Read " + std::to_string(logs) +
                  (partial ? " of " + std::to_string(collection.total) : std::string()) +
                  (logs == 1 && !partial ? " log" : " logs") + " of module " + idHex(session_.moduleId()) +
                  ".");
}

SavedReport ConsoleFlow::save(const Collection& collection) {
    return saveContent(options_.format == Options::Format::Json
                           ? jsonReport(collection, session_.moduleId(), session_.moduleModel())
                           : reportFileContent(collection.entries));
}

bool ConsoleFlow::flaggedNeedForce() const {
    return !options_.force;
}

void ConsoleFlow::tellEnding(const Collection& collection, const SavedReport& saved,
                             const std::optional<ClearRefusal>& refused) {
    if (collection.partial()) // saved first, as the window does: the logs read before it are safe by now
        desktop_.showMessage(partialReportText(collection, saved), partialReportTitle(collection),
                             MessageIcon::Error);
    if (collection.partial() || !saved.saved())
        return;
    const std::size_t logs = collection.entries.size(), flagged = collection.flaggedCount();
    if (flagged > 0)
        desktop_.error("Warning: " + std::to_string(flagged) + " of " + std::to_string(logs) +
                       (logs == 1 ? " log is" : " logs are") +
                       " flagged \"Bad CRC\" or \"Incorrect Log Number!\" in the report.");
    if (!options_.clear)
        remind(collection, refused, flagged);
}

std::optional<ClearAsking> ConsoleFlow::clearNow(const Collection& collection, const SavedReport& saved) {
    if (!options_.clear)
        return std::nullopt;
    return asking(collection, saved);
}

void ConsoleFlow::remind(const Collection& collection, const std::optional<ClearRefusal>& refused,
                         std::size_t flagged) {
    if (refused && refused->rule == ClearRefusal::Rule::CountNotPlain)
        desktop_.showMessage(uncleanCountText(collection), kUncleanCountTitle, MessageIcon::Warning);
    else if (refused && refused->rule != ClearRefusal::Rule::Flagged)
        return; // a report not in a file: its saving has said so
    else if (flagged > 0)
        desktop_.note("Extract the " + std::to_string(flagged) +
                      (flagged == 1 ? " flagged log" : " flagged logs") +
                      " again before you clear the log data from the handheld.");
    else
        desktop_.note(clearReminderText("with --clear"));
}

SavedReport ConsoleFlow::intoStream(const std::string& content) {
    // Into the stream as it is: a file behind it opened for appending keeps what it held.
    std::ostream& stream = options_.outputStream == Options::Stream::Out ? out_ : err_;
    desktop_.endProgressLine();
    stream.write(content.data(), static_cast<std::streamsize>(content.size()));
    stream.flush();
    SavedReport saved;
    if (stream) {
        saved.outcome = SavedReport::Outcome::Stream;
        saved.path = *options_.output;
        saved.size = content.size();
        saved.sha256 = sha256Hex(content);
    } else {
        desktop_.error("Report Not Saved: The report could not be written to " + streamName() + ".");
    }
    return saved;
}

SavedReport ConsoleFlow::saveContent(const std::string& content) {
    if (options_.outputStream != Options::Stream::None)
        return intoStream(content);
    ReportDestination where;
    where.path = options_.output;
    where.extension = options_.format == Options::Format::Json ? ".json" : ".CSV";
    where.nameTemplate = options_.reportNameTemplate();
    where.moduleId = idHex(session_.moduleId());
    where.model = session_.moduleModel();
    SavedReport saved = saveReport(content, where, desktop_, fileSystem_);
    if (!saved.saved()) {
        desktop_.error("Report Not Saved: The report could not be saved" +
                       (saved.path.empty() ? std::string() : " as " + saved.path) + ": " + saved.error + "." +
                       (options_.clear ? " The module's logs were not cleared." : ""));
    } else if (options_.output) {
        desktop_.note("Report saved as " + fullPath(saved.path) + ".");
    } else {
        // The one line on standard output, so a script can pick the report up.
        out_ << saved.path << '\n';
        out_.flush();
        if (!out_)
            desktop_.error("The report was saved as " + saved.path +
                           ", but its path could not be written to standard output.");
    }
    return saved;
}

std::string ConsoleFlow::streamName() const {
    return options_.outputStream == Options::Stream::Out ? "standard output" : "standard error";
}

// --yes, --force and the terminal around the one gate; the refusals as lines.
ClearAsking ConsoleFlow::asking(const Collection& collection, const SavedReport& saved) {
    ClearAsking asking;
    asking.confirm = [this](std::size_t flagged, std::size_t logs) -> std::optional<bool> {
        if (options_.yes)
            return true;
        if (!console_.in || !console_.stdinIsTerminal || !console_.stderrIsTerminal)
            return std::nullopt;
        return desktop_.confirm((flagged > 0 ? flaggedLossText(flagged, logs) + "\n" : std::string()) +
                                    "Clear all logs of module " + idHex(session_.moduleId()) + "? [y/N] ",
                                *console_.in);
    };
    asking.tellRefusal = [this, &collection, &saved](const ClearRefusal& refused) {
        if (refused.rule != ClearRefusal::Rule::ReportNotSaved) // its saving has said so
            desktop_.error("Clear refused: " + refusalText(refused, collection, saved) +
                           " The module's logs were kept.");
    };
    return asking;
}

std::string ConsoleFlow::refusalText(const ClearRefusal& refused, const Collection& collection,
                                     const SavedReport& saved) const {
    using Rule = ClearRefusal::Rule;
    const std::size_t logs = refused.reportLogs, flagged = refused.flagged;
    const std::string holds = ", but the report holds " + std::to_string(logs) + "; extract again.";
    switch (refused.rule) {
    case Rule::LinkLost:
        return "the link was lost during the run.";
    case Rule::ErrorRaised:
        return "the base station raised an error.";
    case Rule::ReportNotSaved:
    case Rule::ReportNotInFile:
        return "the report went to " +
               (options_.outputStream != Options::Stream::None ? streamName() : saved.path) +
               ", not to a saved file that reads back as written.";
    case Rule::CountNotPlain:
        return "the module answered the log count with \"" + shownDeviceText(collection.countText, 40) +
               "\", which is more than a number, so the report may not hold every log.";
    case Rule::Flagged:
        return std::to_string(flagged) + (flagged == 1 ? " log is" : " logs are") +
               " flagged in the report; check them, then clear with --force if they may go.";
    case Rule::NoTerminal:
        return "there is no terminal to confirm on; add --yes to clear without asking.";
    case Rule::NotConfirmed:
        return "not confirmed.";
    case Rule::CountUnreadable:
        return "the module's log count could not be read again to compare it with the report's " +
               std::to_string(logs) + ".";
    case Rule::CountNone:
        return "the module now reports no logs" + holds;
    case Rule::CountDiffers:
        return "the module now reports " + refused.shownCount + " logs" + holds;
    case Rule::CountNotPlainNow:
        return "the module now answers the log count with " + refused.shownCount +
               ", which is more than a number" + holds;
    }
    return {};
}

} // namespace z83::cli
