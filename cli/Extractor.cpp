#include "cli/Extractor.h"

#include "backend/Backend.h"
#include "backend/SessionRecording.h"
#include "cli/Console.h"
#include "cli/ConsoleDesktop.h"
#include "cli/ConsoleFlow.h"
#include "cli/Diagnosis.h"
#include "cli/ExitCode.h"
#include "cli/HistoryCommand.h"
#include "cli/JournalListing.h"
#include "desktop/ShownText.h"
#include "desktop/UserFolders.h"
#include "desktop/Version.h"
#include "extract/Flow.h"
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
        : options_(options), console_(console), desktop_(desktop), session_(session),
          flow_(options, out, err, console, desktop, session, fileSystem) {}

    // The extractions once the station runs; the exit code.
    int operator()() {
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
        const FlowEnd end = session_.runFlow(flow_);
        desktop_.endProgressLine();
        return ending(end, result);
    }

    // The exit code of a flow that ended, and what it did for the summary.
    int ending(const FlowEnd& end, ModuleResult& result) {
        const Collection& collection = end.collection;
        if (!collection.hasReport())
            return collection.outcome == Collection::Outcome::CountUnreadable ? ExitCode::Link
                                                                              : ExitCode::NoLogs;
        result.logs = collection.entries.size();
        result.flagged = collection.flaggedCount();
        if (!end.saved.saved())
            return ExitCode::NotSaved;
        result.report = end.saved.path;
        if (collection.partial())
            return ExitCode::LinkLost;
        if (end.cleared == ClearEnd::Refused)
            return ExitCode::ClearRefused;
        if (end.cleared == ClearEnd::WriteFailed)
            return ExitCode::ClearFailed; // the write's own message has been shown
        if (end.cleared == ClearEnd::Cleared) {
            desktop_.note("Cleared all logs of module " + idHex(session_.moduleId()) + ".");
            result.cleared = true;
        }
        return result.flagged > 0 ? ExitCode::Flagged : ExitCode::Success;
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

    const Options& options_;
    const Console& console_;
    ConsoleDesktop& desktop_;
    Session& session_;
    ConsoleFlow flow_;
    std::vector<ModuleResult> results_;
};

int usageError(std::ostream& err, const std::string& message) {
    err << kProgramName << ": " << message << "\nRun with --help for more information.\n";
    err.flush();
    return ExitCode::Usage;
}

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
// once, as it ends the window. Start-up as in the window: a failed OpenUSB ends at once, the other start-up
// failures and every run that got going shut down afterwards.
int runGuarded(Run& run, Session& session, ConsoleDesktop& desktop) {
    int code = ExitCode::Link;
    ActionGuard guard(desktop, [] {});
    const auto ran = session.runGuarded(guard, [&] { code = run(); });
    if (!ran.worked())
        return ExitCode::Link;
    if (ran.unloadFailed) {
        if (code != ExitCode::Success && code != ExitCode::Flagged)
            return code; // the run's own failure says more
        desktop.error(run.done() + ", but closing the link to the base station failed.");
        return ExitCode::CloseFailed;
    }
    return code;
}

// What a request that needs no base station prints, and its exit code; nothing for a run.
std::optional<int> answerRequest(const Options& options, std::ostream& out, std::ostream& err,
                                 FileSystem& fileSystem) {
    switch (options.request) {
    case Options::Request::Help:
    case Options::Request::Version:
        out << forPerson(options.message + (options.message.ends_with('\n') ? "" : "\n"));
        out.flush();
        return ExitCode::Success;
    case Options::Request::Invalid:
        return usageError(err, options.message);
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
    return std::nullopt;
}

// The provider, the session and its journal around the run over the modules.
int runModules(const Options& options, std::ostream& out, std::ostream& err, const Console& console,
               FileSystem& fileSystem) {
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

} // namespace

int runExtractor(const Options& options, std::ostream& out, std::ostream& err, const Console& console,
                 FileSystem& fileSystem) {
    if (const auto answered = answerRequest(options, out, err, fileSystem))
        return *answered;
    if (const auto problem = ownFileProblem(options, fileSystem))
        return usageError(err, printableLine(*problem));
    if (options.diagnose)
        return runDiagnosis(options, out, err, fileSystem);
    return runModules(options, out, err, console, fileSystem);
}

} // namespace z83::cli
