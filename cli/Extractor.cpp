#include "cli/Extractor.h"

#include "backend/Backend.h"
#include "backend/SessionRecording.h"
#include "cli/ConsoleDesktop.h"
#include "cli/Diagnosis.h"
#include "cli/ExitCode.h"
#include "cli/JsonReport.h"
#include "desktop/ShownText.h"
#include "desktop/Version.h"
#include "extract/ReportFile.h"
#include "extract/Session.h"
#include "link/ActionGuard.h"

#include <ostream>

namespace z83::cli {

namespace {

class Run {
public:
    Run(const Options& options, std::ostream& out, const Console& console, ConsoleDesktop& desktop,
        Session& session, FileSystem& fileSystem)
        : options_(options), out_(out), console_(console), desktop_(desktop), session_(session),
          fileSystem_(fileSystem) {}

    // Start-up and the extraction; the exit code. Start-up as in the window: a failed OpenUSB ends at once,
    // the other start-up failures and every run that got going shut down afterwards.
    int operator()() {
        const auto load = session_.Load();
        unloadAfterwards_ = load != Session::LoadResult::EndAtOnce;
        return load == Session::LoadResult::Running ? extract() : ExitCode::Link;
    }

    bool unloadAfterwards() const { return unloadAfterwards_; }
    // What a successful run had done, for when closing the link fails after it.
    const std::string& done() const { return done_; }

private:
    int extract() {
        if (int code = identify())
            return code;

        Collection collection = session_.collectLogs();
        desktop_.endProgressLine();
        if (!collection.hasReport())
            return collection.outcome == Collection::Outcome::CountUnreadable ? ExitCode::Link
                                                                              : ExitCode::NoLogs;
        const bool linkLost = collection.outcome == Collection::Outcome::LinkLost;
        const std::size_t logs = collection.entries.size();
        desktop_.note("Read " + std::to_string(logs) +
                      (linkLost ? " of " + std::to_string(collection.total) : std::string()) +
                      (logs == 1 && !linkLost ? " log" : " logs") + " of module " +
                      idHex(session_.moduleId()) + ".");

        const std::string content = options_.format == Options::Format::Json
                                        ? jsonReport(collection, session_.moduleId(), session_.moduleModel())
                                        : reportFileContent(collection.entries);
        const SavedReport saved = save(content);
        if (linkLost) {
            // Saved first, as the window does: the logs read before the link was lost are safe by now.
            desktop_.showMessage(linkLostText(collection), kLinkLostTitle, MessageIcon::Error);
            if (options_.clear)
                desktop_.error(
                    "Clear refused: the link was lost during the run. The module's logs were kept.");
        }
        if (!saved.saved())
            return ExitCode::NotSaved;
        if (linkLost)
            return ExitCode::LinkLost;
        done_ = "The report is saved";

        const std::size_t flagged = collection.flaggedCount();
        if (flagged > 0)
            desktop_.error("Warning: " + std::to_string(flagged) + " of " + std::to_string(logs) +
                           (logs == 1 ? " log is" : " logs are") +
                           " flagged \"Bad CRC\" or \"Incorrect Log Number!\" in the report.");
        const int success = flagged > 0 ? ExitCode::Flagged : ExitCode::Success;
        if (!options_.clear) {
            if (!saved.safeToClear())
                return success;
            if (flagged > 0)
                desktop_.note("Extract the " + std::to_string(flagged) +
                              (flagged == 1 ? " flagged log" : " flagged logs") +
                              " again before you clear the log data from the handheld.");
            else
                desktop_.note("When you have confirmed that the data has been extracted correctly, clear the "
                              "log data from the handheld with --clear.");
            return success;
        }
        const int cleared = clear(saved, flagged, logs);
        if (cleared != ExitCode::Success)
            return cleared;
        done_ += " and the module's logs are cleared";
        return success;
    }

    int identify() {
        Identification outcome;
        if (options_.pair) {
            desktop_.note("Remove a battery from the handheld module and put it back within 10 seconds.");
            outcome = session_.identifyByPairing();
        } else {
            // Load() put the remembered ID (none on the console) into the ID text; the typed one goes in now.
            desktop_.setIdText(options_.idText);
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
        if (options_.toStdout()) {
            out_.write(content.data(), static_cast<std::streamsize>(content.size()));
            out_.flush();
            if (out_) {
                saved.outcome = SavedReport::Outcome::Stream;
                saved.path = "-";
            } else {
                desktop_.error("Report Not Saved: The report could not be written to standard output.");
            }
            return saved;
        }
        ReportDestination where;
        where.path = options_.output;
        where.extension = options_.format == Options::Format::Json ? ".json" : ".CSV";
        saved = saveReport(content, where, desktop_, fileSystem_);
        if (!saved.saved()) {
            desktop_.error("Report Not Saved: The report could not be saved" +
                           (saved.path.empty() ? std::string() : " as " + saved.path) + ": " + saved.error +
                           "." + (options_.clear ? " The module's logs were not cleared." : ""));
        } else if (options_.output) {
            desktop_.note("Report saved as " + saved.path + ".");
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

    int refuse(const std::string& why) {
        desktop_.error("Clear refused: " + why + " The module's logs were kept.");
        return ExitCode::ClearRefused;
    }

    int clear(const SavedReport& saved, std::size_t flagged, std::size_t logs) {
        if (!saved.safeToClear())
            return refuse("the report went to " +
                          (saved.path == "-" ? std::string("standard output") : saved.path) +
                          ", not to a saved file that reads back as written.");
        if (flagged > 0 && !options_.force)
            return refuse(
                std::to_string(flagged) +
                " logs are flagged in the report; check them, then clear with --force if they may go.");
        if (!options_.yes) {
            const std::string question =
                "Clear all logs of module " + idHex(session_.moduleId()) + "? [y/N] ";
            if (!console_.in || !console_.stdinIsTerminal || !console_.stderrIsTerminal)
                return refuse("there is no terminal to confirm on; add --yes to clear without asking.");
            if (!desktop_.confirm(question, *console_.in))
                return refuse("not confirmed.");
        }
        // Read again just before the clear: a count that lost a digit, or logs recorded since the report,
        // would otherwise clear logs that no report holds.
        const LogCount count = session_.readLogCount();
        const std::string holds = ", but the report holds " + std::to_string(logs) + "; extract again.";
        switch (count.kind) {
        case LogCount::Kind::Unreadable:
            return refuse("the module's log count could not be read again to compare it with the report's " +
                          std::to_string(logs) + ".");
        case LogCount::Kind::None:
            return refuse("the module now reports no logs" + holds);
        case LogCount::Kind::Impossible:
            return refuse("the module now reports \"" + shownDeviceText(count.text, 40) + "\" logs" + holds);
        case LogCount::Kind::Logs:
            if (static_cast<std::size_t>(count.logs) != logs)
                return refuse("the module now reports " + std::to_string(count.logs) + " logs" + holds);
            break;
        }
        if (!session_.writeClearLog())
            return ExitCode::ClearFailed; // the write's own message has been shown
        desktop_.note("Cleared all logs of module " + idHex(session_.moduleId()) + ".");
        return ExitCode::Success;
    }

    const Options& options_;
    std::ostream& out_;
    const Console& console_;
    ConsoleDesktop& desktop_;
    Session& session_;
    FileSystem& fileSystem_;
    bool unloadAfterwards_ = false;
    std::string done_;
};

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
        out << options.message << (options.message.ends_with('\n') ? "" : "\n");
        out.flush();
        return ExitCode::Success;
    case Options::Request::Invalid:
        err << kProgramName << ": " << options.message << "\nRun with --help for more information.\n";
        err.flush();
        return ExitCode::Usage;
    case Options::Request::Run:
        break;
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
    Run run(options, out, console, desktop, session, fileSystem);
    const int code = runGuarded(run, session, desktop);
    warnOfRecording();
    return code;
}

} // namespace z83::cli
