#include "cli/Options.h"

#include "desktop/ShownText.h"
#include "desktop/Version.h"
#include "extract/Session.h"
#include "link/NumberReaders.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>
#include <optional>

namespace z83::cli {

namespace {

Options invalid(std::string reason) {
    Options options;
    options.request = Options::Request::Invalid;
    options.message = std::move(reason);
    return options;
}

// A typed text is echoed in messages; keep a pasted wall of text from flooding the terminal.
std::string shortened(const std::string& text) {
    return shownDeviceText(text, 40);
}

} // namespace

std::string exitCodeTable() {
    return "Exit codes:\n"
           "  0  success: report written (and the module cleared, when asked)\n"
           "  1  unexpected internal failure\n"
           "  2  usage error: bad options, bad ID text or bad scenario file\n"
           "  3  link or start-up failure: provider, USB interface, base station, log count,\n"
           "     or an error raised by the base station\n"
           "  4  no module paired, model unreadable or model not supported\n"
           "  5  no logs on the module, or an impossible log count\n"
           "  6  report not saved (not written, or did not read back as written)\n"
           "  7  clearing failed: the module did not take the clear command\n"
           "  8  clearing refused: report not in a file that reads back, flagged logs without\n"
           "     --force, a log count that no longer matches the report, or no confirmation\n"
           "  9  report written, but some of its logs are flagged Bad CRC or Incorrect Log Number!\n"
           " 10  all done as asked, but closing the link to the base station failed afterwards\n"
           " 11  link lost during the run: partial report saved, nothing cleared\n";
}

namespace {

// What was typed, before the options are checked against each other.
struct Typed {
    std::string format = "csv";
    std::string scenario, output, progId, record;
    CLI::Option* id = nullptr;
    CLI::Option* recordOption = nullptr;
    CLI::Option* scenarioOption = nullptr;
    CLI::Option* progIdOption = nullptr; // only where the component can be used
    CLI::Option* outputOption = nullptr;
};

// Every option with its help text and where its value goes.
void declareOptions(CLI::App& app, Options& options, Typed& typed) {
    app.get_formatter()->column_width(24);
    typed.id = app.add_option("--id", options.idText, "the module's ID in hexadecimal, e.g. 1A2B3C")
                   ->type_name("HEX");
    app.add_flag("--pair", options.pair, "pair with the module instead: power-cycle it within 10 seconds");
    typed.scenarioOption = app.add_option("--scenario", typed.scenario,
                                          "simulate the base station described in FILE (JSON)\n"
                                          "instead of the built-in demonstration")
                               ->type_name("FILE");
    if (componentAvailable())
        typed.progIdOption =
            app.add_option("--progid", typed.progId,
                           "create the maker's component from this class (ProgID), when the\n"
                           "registry holds none or more than one")
                ->type_name("PROGID");
    typed.outputOption = app.add_option("-o,--output", typed.output,
                                        "write the report to PATH, replacing a file there;\n"
                                        "'-' writes it to standard output. Without -o the report\n"
                                        "goes to a new file in the documents folder")
                             ->type_name("PATH");
    app.add_option("--format", typed.format, "report format: csv (as the window writes it) or json")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"csv", "json"}));
    app.add_flag("--clear", options.clear, "after the report is safely saved, clear the module's logs");
    app.add_flag("--force", options.force, "with --clear: clear even when logs are flagged");
    app.add_flag("-y,--yes", options.yes, "with --clear: do not ask for confirmation");
    app.add_flag("-q,--quiet", options.quiet, "no progress and no informational lines; errors still show");
    typed.recordOption = app.add_option("--record", typed.record,
                                        "write every call to the base station into FILE (JSON), for\n"
                                        "the developers; --scenario FILE replays it")
                             ->type_name("FILE");
    app.add_flag("--diagnose", options.diagnose,
                 "print what the program finds of the component and the base station\n"
                 "(read-only; with --id, also the module's model and log count)");
    app.set_version_flag("--version", std::string(kProgramName) + " " + kVersion);
    app.footer(exitCodeTable());
}

// The answer when the command line asks for help or the version or does not parse; nothing when it parsed.
std::optional<Options> parseArguments(CLI::App& app, const std::vector<std::string>& arguments) {
    // The option library would call an empty ID "1 required HEX missing"; say what is wanted instead.
    for (std::size_t i = 0; i < arguments.size(); ++i)
        if (arguments[i] == "--id=" || (arguments[i] == "--id" && i + 1 == arguments.size()))
            return invalid("--id needs the module's ID in hexadecimal digits, e.g. --id 1A2B3C");
    Options answer;
    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
        return std::nullopt;
    } catch (const CLI::CallForHelp&) {
        answer.request = Options::Request::Help;
        answer.message = app.help();
    } catch (const CLI::CallForAllHelp&) {
        answer.request = Options::Request::Help;
        answer.message = app.help();
    } catch (const CLI::CallForVersion& version) {
        answer.request = Options::Request::Version;
        answer.message = version.what();
    } catch (const CLI::ParseError& error) {
        return invalid(error.what());
    } catch (const std::exception& error) {
        return invalid(error.what());
    }
    return answer;
}

// Why the module is not named well: --id or --pair, once, with an ID that can name a module.
std::optional<std::string> moduleProblem(const Options& options, const Typed& typed) {
    const bool idGiven = typed.id->count() > 0;
    if (idGiven && options.pair)
        return "give either --id or --pair, not both";
    if (options.diagnose) {
        // Read-only: nothing that pairs, writes or clears goes with it.
        if (options.pair || options.clear || typed.recordOption->count() > 0 || typed.format != "csv")
            return "--diagnose takes only --id, --scenario, --progid, -o and --quiet";
    } else if (!idGiven && !options.pair) {
        return "give the module with --id HEX, or --pair to pair with it";
    }
    if (idGiven) {
        // Refused before anything is sent: no digits is no module (the window would ask module 0), and
        // more digits would wrap to some other module's ID.
        if (readLeadingHex(options.idText).digits == 0)
            return "--id: \"" + shortened(options.idText) +
                   "\" is no module ID: give its hexadecimal digits, e.g. --id 1A2B3C";
        if (!parseTypedId(options.idText))
            return "--id: \"" + shortened(options.idText) +
                   "\" is too long: a module ID has at most 8 hexadecimal digits";
    }
    return std::nullopt;
}

// Takes the clearing, the base station, the output and the format as typed; why not when they do not fit.
std::optional<std::string> takeChoices(Options& options, const Typed& typed) {
    if ((options.force || options.yes) && !options.clear)
        return "--force and --yes go with --clear only";
    const bool progIdGiven = typed.progIdOption && typed.progIdOption->count() > 0;
    if (typed.scenarioOption->count() > 0) {
        if (typed.scenario.empty())
            return "--scenario needs a file name";
        if (progIdGiven)
            return "give either --scenario or --progid, not both";
        options.backend.kind = BackendChoice::Kind::Scenario;
        options.backend.scenarioFile = typed.scenario;
    } else if (progIdGiven) {
        if (typed.progId.empty())
            return "--progid needs a class name";
        options.backend.kind = BackendChoice::Kind::Component;
        options.backend.progId = typed.progId;
    }
    if (typed.outputOption->count() > 0) {
        if (typed.output.empty())
            return "--output needs a path, or '-' for standard output";
        options.output = typed.output;
    }
    // Without a window loop of its own, the extractor services the thread's messages for the component.
    options.backend.serviceMessages = true;
    if (typed.recordOption->count() > 0) {
        if (typed.record.empty())
            return "--record needs a file name";
        options.backend.recordFile = typed.record;
    }
    options.format = typed.format == "json" ? Options::Format::Json : Options::Format::Csv;
    return std::nullopt;
}

} // namespace

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    Typed typed;
    CLI::App app{"Extracts the event logs of a Z83-PM-VX handheld module through the base station, checks\n"
                 "every record's CRC and saves them as a report; optionally clears the module's log memory.",
                 kProgramName};
    declareOptions(app, options, typed);
    if (auto answer = parseArguments(app, arguments))
        return *answer;
    if (auto problem = moduleProblem(options, typed))
        return invalid(*problem);
    if (auto problem = takeChoices(options, typed))
        return invalid(*problem);
    options.arguments = arguments;
    return options;
}

} // namespace z83::cli
