#include "Extractor.h"

#include "ActionGuard.h"
#include "ConsoleDesktop.h"
#include "ExitCode.h"
#include "JsonReport.h"
#include "ReportFile.h"
#include "ScenarioFile.h"
#include "Session.h"
#include "SimulatedBaseStation.h"

#include <memory>
#include <ostream>
#include <stdexcept>

namespace z83::cli {

namespace {

// The ID as the status line shows it, without "ID: ".
std::string moduleHex(std::int32_t id) {
    return idStatusText(id).substr(4);
}

// Where the report ended up.
struct Saved {
    bool toFile = false; // written to a file, synced and read back as written
};

class Run {
public:
    Run(const Options& options, std::ostream& out, const Console& console, ConsoleDesktop& desktop,
        Session& session)
        : options_(options), out_(out), console_(console), desktop_(desktop), session_(session) {}

    // The exit code. closeUsb tells whether the USB interface is to be closed afterwards.
    int operator()(bool& closeUsb) {
        const auto load = session_.Load();
        if (load != Session::LoadResult::Running) {
            // As in the window: a failed OpenUSB ends at once, the other start-up failures shut down.
            closeUsb = load == Session::LoadResult::CloseAndEnd;
            return ExitCode::Link;
        }
        closeUsb = true;

        if (int code = identify())
            return code;

        Collection collection = session_.collectLogs();
        desktop_.endProgressLine();
        switch (collection.outcome) {
        case Collection::Outcome::Collected:
            break;
        case Collection::Outcome::CountUnreadable:
            return ExitCode::Link;
        case Collection::Outcome::NoLogs:
        case Collection::Outcome::ImpossibleCount:
            return ExitCode::NoLogs;
        }
        desktop_.note("Read " + std::to_string(collection.entries.size()) + " logs of module " +
                      moduleHex(session_.ModuleID) + ".");

        const std::string content = options_.format == Options::Format::Json
                                        ? jsonReport(collection, session_.ModuleID, session_.ModuleModel)
                                        : reportFileContent(collection.reportText());
        Saved saved;
        if (!save(content, saved))
            return ExitCode::NotSaved;

        const std::size_t flagged = collection.flaggedCount();
        if (flagged > 0)
            desktop_.error("Warning: " + std::to_string(flagged) + " of " +
                           std::to_string(collection.entries.size()) +
                           " logs are flagged \"Bad CRC\" or \"Incorrect Log Number!\" in the report.");
        if (!options_.clear) {
            if (saved.toFile)
                desktop_.note(
                    "When you have confirmed that the data has been extracted correctly, clear the log "
                    "data from the handheld with --clear.");
            return ExitCode::Success;
        }
        return clear(saved, flagged);
    }

private:
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

    bool save(const std::string& content, Saved& saved) {
        if (options_.toStdout()) {
            out_.write(content.data(), static_cast<std::streamsize>(content.size()));
            out_.flush();
            if (!out_) {
                desktop_.error("Report Not Saved: The report could not be written to standard output.");
                return false;
            }
            return true;
        }

        SavedFile file;
        std::string why;
        if (options_.output) {
            file = saveReportAt(*options_.output, content);
        } else {
            const std::string folder = reportFolder(desktop_, why);
            if (folder.empty()) {
                file.error = why;
            } else {
                const std::string extension = options_.format == Options::Format::Json ? ".json" : ".CSV";
                file = saveNewReport(folder, reportStem(desktop_.localNow()), content, FileSystem::real(),
                                     extension);
            }
        }
        // Only a report that reads back as written may ever justify clearing the module.
        if (file.saved && !readsBackAs(file.path, content)) {
            file.saved = false;
            file.error = "the file does not read back as written";
        }
        if (!file.saved) {
            desktop_.error("Report Not Saved: The report could not be saved" +
                           (file.path.empty() ? std::string() : " as " + file.path) + ": " + file.error +
                           "." + (options_.clear ? " The module's logs were not cleared." : ""));
            return false;
        }
        saved.toFile = true;
        if (options_.output) {
            desktop_.note("Report saved as " + file.path + ".");
        } else {
            // The one line on standard output, so a script can pick the report up.
            out_ << file.path << '\n';
            out_.flush();
        }
        return true;
    }

    int refuse(const std::string& why) {
        desktop_.error("Clear refused: " + why + " The module's logs were kept.");
        return ExitCode::ClearRefused;
    }

    int clear(const Saved& saved, std::size_t flagged) {
        if (!saved.toFile)
            return refuse("the report went to standard output, not to a saved file.");
        if (flagged > 0 && !options_.force)
            return refuse(
                std::to_string(flagged) +
                " logs are flagged in the report; check them, then clear with --force if they may go.");
        if (!options_.yes) {
            const std::string question =
                "Clear all logs of module " + moduleHex(session_.ModuleID) + "? [y/N] ";
            if (!console_.in || !console_.stdinIsTerminal || !console_.stderrIsTerminal)
                return refuse("there is no terminal to confirm on; add --yes to clear without asking.");
            if (!desktop_.confirm(question, *console_.in))
                return refuse("not confirmed.");
        }
        if (!session_.writeClearLog())
            return ExitCode::ClearFailed; // the write's own message has been shown
        desktop_.note("Cleared all logs of module " + moduleHex(session_.ModuleID) + ".");
        return ExitCode::Success;
    }

    const Options& options_;
    std::ostream& out_;
    const Console& console_;
    ConsoleDesktop& desktop_;
    Session& session_;
};

} // namespace

int runExtractor(const Options& options, std::ostream& out, std::ostream& err, const Console& console) {
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

    ConsoleDesktop desktop(err, {options.quiet, console.stderrIsTerminal && !options.quiet});

    std::unique_ptr<sim::SimulatedBaseStation> station;
    try {
        sim::Scenario scenario =
            options.scenario ? sim::loadScenarioFile(*options.scenario) : sim::demoScenario();
        station = std::make_unique<sim::SimulatedBaseStation>(std::move(scenario));
    } catch (const sim::ScenarioError& error) {
        desktop.error(error.what());
        return ExitCode::Usage;
    } catch (const std::invalid_argument& error) {
        desktop.error(options.scenario.value_or("demo scenario") + ": " + error.what());
        return ExitCode::Usage;
    }
    // A run reads up to 65535 records; a trace of every call would only grow.
    station->recordCalls(false);

    Session session(desktop, [&station] { return std::unique_ptr<DataProvider>(std::move(station)); });
    int code = ExitCode::Link;
    // The one guard: an error the base station raises ends the run, as it ends the window.
    ActionGuard guard(desktop, [&code] { code = ExitCode::Link; });
    guard.run([&] {
        bool closeUsb = false;
        code = Run(options, out, console, desktop, session)(closeUsb);
        if (session.DP && closeUsb) {
            // The window waits a second after this for the real base station to settle; the simulated
            // one needs no such pause, so none is made here.
            session.DP->CloseUSB();
        }
    });
    session.DP.reset();
    return code;
}

} // namespace z83::cli
