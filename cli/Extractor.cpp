#include "cli/Extractor.h"

#include "backend/Backend.h"
#include "backend/SessionRecording.h"
#include "cli/Console.h"
#include "cli/ConsoleDesktop.h"
#include "cli/Diagnosis.h"
#include "cli/ExitCode.h"
#include "cli/HistoryCommand.h"
#include "cli/JournalListing.h"
#include "cli/JsonReport.h"
#include "desktop/Sha256.h"
#include "desktop/ShownText.h"
#include "desktop/UserFolders.h"
#include "desktop/Version.h"
#include "extract/Journal.h"
#include "extract/ReportFile.h"
#include "extract/Session.h"
#include "link/ActionGuard.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

namespace z83::cli {

namespace {

// What became of one module, for the summary of a run over several.
struct ModuleResult {
    std::string id; // "" when no module paired
    int code = ExitCode::Success;
    std::size_t logs = 0, flagged = 0;
    std::string report; // where it was saved; "" for none
    bool cleared = false;
};

class Run {
public:
    Run(const Options& options, std::ostream& out, std::ostream& err, const Console& console,
        ConsoleDesktop& desktop, Session& session, FileSystem& fileSystem)
        : options_(options), out_(out), err_(err), console_(console), desktop_(desktop), session_(session),
          fileSystem_(fileSystem) {}

    // Start-up and the extractions; the exit code. Start-up as in the window: a failed OpenUSB ends at once,
    // the other start-up failures and every run that got going shut down afterwards.
    int operator()() {
        const auto load = session_.Load();
        unloadAfterwards_ = load != Session::LoadResult::EndAtOnce;
        if (load != Session::LoadResult::Running)
            return ExitCode::Link;
        // A module that fails never stops the next: each gets its own report, clear and exit code.
        int worst = ExitCode::Success;
        if (options_.pair) {
            do
                worst = ExitCode::worseOf(worst, module(std::nullopt));
            while (options_.repeat && anotherModule());
        } else {
            for (const std::string& id : options_.idTexts)
                worst = ExitCode::worseOf(worst, module(id));
        }
        if (results_.size() > 1 || options_.repeat)
            summary();
        return worst;
    }

    bool unloadAfterwards() const { return unloadAfterwards_; }
    // What a successful run had done, for when closing the link fails after it.
    std::string done() const {
        const bool one = results_.size() == 1;
        return (one ? "The report is saved" : "The reports are saved") +
               std::string(!options_.clear ? ""
                           : one           ? " and the module's logs are cleared"
                                           : " and the modules' logs are cleared");
    }

private:
    int module(const std::optional<std::string>& idText) {
        results_.emplace_back();
        const int code = extract(idText, results_.back());
        results_.back().code = code;
        return code;
    }

    bool anotherModule() {
        // On a terminal it asks; from a script it reads the next line, and the end of the input is "no".
        return console_.in &&
               desktop_.confirm("Extract another module? [y/N] ", *console_.in, console_.stdinIsTerminal);
    }

    void summary() {
        for (const ModuleResult& r : results_)
            desktop_.note(
                (r.id.empty() ? std::string("no module paired") : r.id) + ": " + std::to_string(r.logs) +
                (r.logs == 1 ? " log, " : " logs, ") + std::to_string(r.flagged) + " flagged, " +
                (r.report.empty() ? std::string("no report") : "report " + r.report) + ", " +
                (r.cleared ? "cleared" : "not cleared") +
                (r.code == ExitCode::Success ? std::string() : " (exit " + std::to_string(r.code) + ")"));
    }

    int extract(const std::optional<std::string>& idText, ModuleResult& result) {
        const int identified = identify(idText);
        if (session_.moduleId() != 0 || idText)
            result.id = idHex(session_.moduleId());
        if (identified != 0)
            return identified;

        Collection collection = session_.collectLogs();
        desktop_.endProgressLine();
        if (!collection.hasReport())
            return collection.outcome == Collection::Outcome::CountUnreadable ? ExitCode::Link
                                                                              : ExitCode::NoLogs;
        const bool partial = collection.partial();
        const std::size_t logs = collection.entries.size();
        const std::size_t flagged = collection.flaggedCount();
        result.logs = logs;
        result.flagged = flagged;
        desktop_.note("Read " + std::to_string(logs) +
                      (partial ? " of " + std::to_string(collection.total) : std::string()) +
                      (logs == 1 && !partial ? " log" : " logs") + " of module " +
                      idHex(session_.moduleId()) + ".");

        const std::string content = options_.format == Options::Format::Json
                                        ? jsonReport(collection, session_.moduleId(), session_.moduleModel())
                                        : reportFileContent(collection.entries);
        const SavedReport saved = save(content);
        session_.journalExtraction(collection, saved);
        if (saved.saved())
            result.report = saved.path;
        if (partial) {
            // Saved first, as the window does: the logs read before the run was cut short are safe by now.
            desktop_.showMessage(partialReportText(collection, saved), partialReportTitle(collection),
                                 MessageIcon::Error);
            if (options_.clear) {
                const bool lost = collection.outcome == Collection::Outcome::LinkLost;
                desktop_.error(
                    std::string("Clear refused: ") +
                    (lost ? "the link was lost during the run." : "the base station raised an error.") +
                    " The module's logs were kept.");
                session_.journalClear({}, ClearOutcome::Refused, lost ? "link lost" : "error raised");
            }
            collection.rethrowRaised(); // ends the run as any raised error does
        }
        if (!saved.saved()) {
            if (options_.clear && !partial)
                session_.journalClear({}, ClearOutcome::Refused, "report not saved");
            return ExitCode::NotSaved;
        }
        if (partial)
            return ExitCode::LinkLost;

        if (flagged > 0)
            desktop_.error("Warning: " + std::to_string(flagged) + " of " + std::to_string(logs) +
                           (logs == 1 ? " log is" : " logs are") +
                           " flagged \"Bad CRC\" or \"Incorrect Log Number!\" in the report.");
        const int success = flagged > 0 ? ExitCode::Flagged : ExitCode::Success;
        if (!options_.clear) {
            if (!saved.safeToClear())
                return success;
            if (!collection.countClean) {
                desktop_.showMessage(uncleanCountText(collection), kUncleanCountTitle, MessageIcon::Warning);
                return success;
            }
            if (flagged > 0)
                desktop_.note("Extract the " + std::to_string(flagged) +
                              (flagged == 1 ? " flagged log" : " flagged logs") +
                              " again before you clear the log data from the handheld.");
            else
                desktop_.note("When you have confirmed that the data has been extracted correctly, clear the "
                              "log data from the handheld with --clear.");
            return success;
        }
        const int cleared = clear(collection, saved, flagged, logs);
        if (cleared != ExitCode::Success)
            return cleared;
        result.cleared = true;
        return success;
    }

    int identify(const std::optional<std::string>& idText) {
        Identification outcome;
        if (!idText) {
            desktop_.note("Remove a battery from the handheld module and put it back within 10 seconds.");
            outcome = session_.identifyByPairing();
        } else {
            // Load() put the remembered ID (none on the console) into the ID text; the typed one goes in now.
            desktop_.setIdText(*idText);
            outcome = session_.identifyByTypedId();
        }
        switch (outcome) {
        case Identification::Supported:
            return 0;
        case Identification::InvalidId:
            return ExitCode::Usage;
        case Identification::NotPaired:
        case Identification::ModelUnreadable:
        case Identification::Unsupported:
            break;
        }
        return ExitCode::Module;
    }

    SavedReport save(const std::string& content) {
        SavedReport saved;
        if (options_.outputStream != Options::Stream::None) {
            // Into the stream as it is: a file behind it opened for appending keeps what it held.
            std::ostream& stream = options_.outputStream == Options::Stream::Out ? out_ : err_;
            desktop_.endProgressLine();
            stream.write(content.data(), static_cast<std::streamsize>(content.size()));
            stream.flush();
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
        ReportDestination where;
        where.path = options_.output;
        where.extension = options_.format == Options::Format::Json ? ".json" : ".CSV";
        where.nameTemplate = options_.reportNameTemplate();
        where.moduleId = idHex(session_.moduleId());
        where.model = session_.moduleModel();
        saved = saveReport(content, where, desktop_, fileSystem_);
        if (!saved.saved()) {
            desktop_.error("Report Not Saved: The report could not be saved" +
                           (saved.path.empty() ? std::string() : " as " + saved.path) + ": " + saved.error +
                           "." + (options_.clear ? " The module's logs were not cleared." : ""));
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

    std::string streamName() const {
        return options_.outputStream == Options::Stream::Out ? "standard output" : "standard error";
    }

    // Says why, journals it with the count read for it (if any) and keeps the logs.
    int refuse(const std::string& why, const std::string& journalled, const std::string& countText = {}) {
        desktop_.error("Clear refused: " + why + " The module's logs were kept.");
        session_.journalClear(countText, ClearOutcome::Refused, journalled);
        return ExitCode::ClearRefused;
    }

    int clear(const Collection& collection, const SavedReport& saved, std::size_t flagged, std::size_t logs) {
        // Not even --force: what the module holds beyond the report is unknown, so nothing says it may go.
        if (!collection.countClean)
            return refuse("the module answered the log count with \"" +
                              shownDeviceText(collection.countText, 40) +
                              "\", which is more than a number, so the report may not hold every log.",
                          uncleanCountReason(collection.countText));
        if (!saved.safeToClear())
            return refuse("the report went to " +
                              (options_.outputStream != Options::Stream::None ? streamName() : saved.path) +
                              ", not to a saved file that reads back as written.",
                          "report not in a file");
        if (flagged > 0 && !options_.force)
            return refuse(std::to_string(flagged) + (flagged == 1 ? " log is" : " logs are") +
                              " flagged in the report; check them, then clear with --force if they may go.",
                          "flagged logs without --force");
        if (!options_.yes) {
            const std::string question =
                (flagged > 0 ? flaggedLossText(flagged, logs) + "\n" : std::string()) +
                "Clear all logs of module " + idHex(session_.moduleId()) + "? [y/N] ";
            if (!console_.in || !console_.stdinIsTerminal || !console_.stderrIsTerminal)
                return refuse("there is no terminal to confirm on; add --yes to clear without asking.",
                              "no terminal to confirm on");
            if (!desktop_.confirm(question, *console_.in))
                return refuse("not confirmed.", "not confirmed");
        }
        // Read again just before the clear: a count that lost a digit, or logs recorded since the report,
        // would otherwise clear logs that no report holds.
        const LogCount count = session_.readLogCountBeforeClear();
        if (const auto refused = clearRefusal(count, logs)) {
            const std::string holds = ", but the report holds " + std::to_string(logs) + "; extract again.";
            switch (count.kind) {
            case LogCount::Kind::Unreadable:
                return refuse(
                    "the module's log count could not be read again to compare it with the report's " +
                        std::to_string(logs) + ".",
                    *refused, count.text);
            case LogCount::Kind::None:
                return refuse("the module now reports no logs" + holds, *refused, count.text);
            case LogCount::Kind::Impossible:
                return refuse("the module now reports \"" + shownDeviceText(count.text, 40) + "\" logs" +
                                  holds,
                              *refused, count.text);
            case LogCount::Kind::Logs:
                if (!count.clean)
                    return refuse("the module now answers the log count with \"" +
                                      shownDeviceText(count.text, 40) + "\", which is more than a number" +
                                      holds,
                                  *refused, count.text);
                return refuse("the module now reports " + std::to_string(count.logs) + " logs" + holds,
                              *refused, count.text);
            }
        }
        if (!session_.clearAndJournal(count.text))
            return ExitCode::ClearFailed; // the write's own message has been shown
        desktop_.note("Cleared all logs of module " + idHex(session_.moduleId()) + ".");
        return ExitCode::Success;
    }

    const Options& options_;
    std::ostream& out_;
    std::ostream& err_;
    const Console& console_;
    ConsoleDesktop& desktop_;
    Session& session_;
    FileSystem& fileSystem_;
    bool unloadAfterwards_ = false;
    std::vector<ModuleResult> results_;
};

std::filesystem::path pathOf(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// Whether two paths name one file: by the file itself where both exist (links, other spellings), else by
// their normalised absolute paths.
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code e;
    if (std::filesystem::equivalent(pathOf(a), pathOf(b), e))
        return true;
    const auto normalised = [](const std::string& text) {
        std::error_code ignored;
        auto path =
            std::filesystem::weakly_canonical(std::filesystem::absolute(pathOf(text), ignored), ignored);
        return path.lexically_normal();
    };
    return normalised(a) == normalised(b);
}

// Why the report may not go where -o says: it would overwrite the journal or this run's recording. Checked
// before the base station is asked anything.
std::optional<std::string> ownFileProblem(const Options& options, FileSystem& fileSystem) {
    if (!options.output || options.outputStream != Options::Stream::None)
        return std::nullopt;
    const std::string folder = dataFolder();
    if (!folder.empty() && sameFile(*options.output, fileSystem.join(folder, kJournalFileName)))
        return "-o " + *options.output +
               ": that is the journal of extractions and clears, which a report must not replace";
    if (!options.backend.recordFile.empty() && sameFile(*options.output, options.backend.recordFile))
        return "-o " + *options.output + ": --record writes this run's recording there; give them two files";
    return std::nullopt;
}

// Start-up, the run and the unloading under the one guard: an error the base station raises ends the run at
// once, as it ends the window.
int runGuarded(Run& run, Session& session, ConsoleDesktop& desktop) {
    int code = ExitCode::Link;
    ActionGuard guard(desktop, [] {});
    if (!guard.run([&] { code = run(); }))
        return ExitCode::Link;
    if (run.unloadAfterwards() && !guard.run([&] { session.Unload(); })) {
        if (code != ExitCode::Success && code != ExitCode::Flagged)
            return code; // the run's own failure says more
        desktop.error(run.done() + ", but closing the link to the base station failed.");
        return ExitCode::CloseFailed;
    }
    return code;
}

} // namespace

int runExtractor(const Options& options, std::ostream& out, std::ostream& err, const Console& console,
                 FileSystem& fileSystem) {
    switch (options.request) {
    case Options::Request::Help:
    case Options::Request::Version:
        out << forPerson(options.message + (options.message.ends_with('\n') ? "" : "\n"));
        out.flush();
        return ExitCode::Success;
    case Options::Request::Invalid:
        err << kProgramName << ": " << options.message << "\nRun with --help for more information.\n";
        err.flush();
        return ExitCode::Usage;
    case Options::Request::Journal: {
        // The listings are read by people and by Windows tools: this platform's line ends.
        std::ostringstream listing;
        const int code = showJournal(options, listing, err, fileSystem);
        out << forPerson(listing.str());
        out.flush();
        return code;
    }
    case Options::Request::History:
        return showHistory(options, out, err, fileSystem);
    case Options::Request::Import:
        return importReports(options, err, fileSystem);
    case Options::Request::Run:
        break;
    }
    if (const auto problem = ownFileProblem(options, fileSystem)) {
        err << kProgramName << ": " << printableLine(*problem) << "\nRun with --help for more information.\n";
        err.flush();
        return ExitCode::Usage;
    }
    if (options.diagnose)
        return runDiagnosis(options, out, err, fileSystem);

    ConsoleDesktop desktop(err, {options.quiet, console.stderrIsTerminal && !options.quiet,
                                 options.backend.kind == BackendChoice::Kind::Component});
    ProviderSetup setup;
    try {
        setup = setUpProvider(options.backend, std::string(kProgramName) + " " + kVersion, options.arguments,
                              fileSystem);
    } catch (const BackendError& error) {
        desktop.error(error.what());
        return ExitCode::Usage;
    }
    // A recording that cannot be written is told where it is found, at the start or after the run.
    const auto warnOfRecording = [&] {
        if (auto warning = setup.recording ? setup.recording->takeWarning() : std::nullopt)
            desktop.error("Warning: " + *warning);
    };
    warnOfRecording();

    Session session(desktop, std::move(setup.createProvider), fileSystem);
    session.keepJournal({dataFolder(), "extractor", true});
    Run run(options, out, err, console, desktop, session, fileSystem);
    const int code = runGuarded(run, session, desktop);
    warnOfRecording();
    return code;
}

} // namespace z83::cli
