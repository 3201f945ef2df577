#include "Options.h"

#include "ExitCode.h"
#include "Journal.h"
#include "NumberReaders.h"
#include "ReportFile.h"
#include "Session.h"
#include "ShownText.h"
#include "Version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>

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

std::string Options::reportNameTemplate() const {
    return nameTemplate.value_or(
        std::string(severalModules() ? kSeveralModulesReportName : kDefaultReportName));
}

std::string exitCodeTable() {
    return "Exit codes:\n"
           "  0  success: report written (and the module cleared, when asked)\n"
           "  1  unexpected internal failure\n"
           "  2  usage error: bad options, bad ID text, bad --name or bad scenario file\n"
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
           " 11  link lost during the run: partial report saved, nothing cleared\n"
           " 12  --journal: a report it lists is missing or changed, or the journal is unreadable\n"
           "With several modules, the worst of theirs, from worst to best: " +
           worstFirstText() + "\n";
}

namespace {

// The command line as the option library reads it, into options and the texts checked afterwards.
struct Parsed {
    std::string format = "csv";
    std::string scenario, output, progId, nameTemplate, module;
    CLI::Option *id = nullptr, *scenarioOption = nullptr, *progIdOption = nullptr, *outputOption = nullptr,
                *formatOption = nullptr, *nameOption = nullptr, *moduleOption = nullptr,
                *sinceOption = nullptr;
    bool journal = false;
};

void declareOptions(CLI::App& app, Options& options, Parsed& parsed) {
    app.get_formatter()->column_width(24);
    parsed.id = app.add_option("--id", options.idTexts,
                               "the module's ID in hexadecimal, e.g. 1A2B3C; give --id once\n"
                               "for each module to extract them one after the other")
                    ->type_name("HEX")
                    ->allow_extra_args(false)
                    ->take_all();
    app.add_flag("--pair", options.pair, "pair with the module instead: power-cycle it within 10 seconds");
    app.add_flag("--repeat", options.repeat,
                 "with --pair: pair and extract module after module until\n"
                 "the answer to \"Extract another module?\" is not yes");
    parsed.scenarioOption = app.add_option("--scenario", parsed.scenario,
                                           "simulate the base station described in FILE (JSON)\n"
                                           "instead of the built-in demonstration")
                                ->type_name("FILE");
    if (componentAvailable())
        parsed.progIdOption =
            app.add_option("--progid", parsed.progId,
                           "create the maker's component from this class (ProgID), when the\n"
                           "registry holds none or more than one")
                ->type_name("PROGID");
    parsed.outputOption = app.add_option("-o,--output", parsed.output,
                                         "write the report to PATH, replacing a file there;\n"
                                         "'-' writes it to standard output. Without -o the report\n"
                                         "goes to a new file in the documents folder")
                              ->type_name("PATH");
    parsed.nameOption = app.add_option("--name", parsed.nameTemplate,
                                       "name new reports in the documents folder after TEMPLATE:\n"
                                       "{stamp} (local YYYYMMDDHHMMSS), {id} and {model};\n"
                                       "default Log{stamp}, and Log{stamp}-{id} for several modules")
                            ->type_name("TEMPLATE");
    parsed.formatOption = app.add_option("--format", parsed.format,
                                         "report format: csv (as the window writes it) or json;\n"
                                         "with --journal: csv or json instead of a table")
                              ->type_name("FORMAT")
                              ->check(CLI::IsMember({"csv", "json"}));
    app.add_flag("--clear", options.clear, "after the report is safely saved, clear the module's logs");
    app.add_flag("--force", options.force, "with --clear: clear even when logs are flagged");
    app.add_flag("-y,--yes", options.yes, "with --clear: do not ask for confirmation");
    app.add_flag("-q,--quiet", options.quiet, "no progress and no informational lines; errors still show");
    app.add_flag("--journal", parsed.journal,
                 "list the journal of extractions and clears, oldest first,\n"
                 "instead of extracting");
    app.add_flag("--verify", options.verify,
                 "with --journal: read every report it lists again and say\n"
                 "which are missing or changed since they were saved");
    parsed.moduleOption =
        app.add_option("--module", parsed.module, "with --journal: only the entries of this module")
            ->type_name("HEX");
    parsed.sinceOption =
        app.add_option("--since", options.since, "with --journal: only the entries from this local date on")
            ->type_name("YYYY-MM-DD");
    app.set_version_flag("--version", std::string(kProgramName) + " " + kVersion);
    app.footer(exitCodeTable());
}

// A module's ID as typed: refused before anything is sent when it has no digits (the window would ask module
// 0) or more than fit (it would wrap to some other module's ID). The ID when it is good.
std::optional<std::int32_t> checkedId(const std::string& option, const std::string& text, std::string& why) {
    if (readLeadingHex(text).digits == 0) {
        why = option + ": \"" + shortened(text) + "\" is no module ID: give its hexadecimal digits, e.g. " +
              option + " 1A2B3C";
        return std::nullopt;
    }
    auto id = parseTypedId(text);
    if (!id)
        why = option + ": \"" + shortened(text) +
              "\" is too long: a module ID has at most 8 hexadecimal digits";
    return id;
}

bool validDate(const std::string& text) {
    int year = 0, month = 0, day = 0;
    char rest = 0;
    return text.size() == 10 && text[4] == '-' && text[7] == '-' &&
           std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &rest) == 3 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c == '-' || (c >= '0' && c <= '9'); }) &&
           month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// --journal and what goes with it alone.
Options journalRequest(Options options, const Parsed& parsed) {
    options.request = Options::Request::Journal;
    if (!options.idTexts.empty() || options.pair || options.repeat || options.clear || options.force ||
        options.yes || parsed.scenarioOption->count() > 0 || parsed.outputOption->count() > 0 ||
        parsed.nameOption->count() > 0 || (parsed.progIdOption && parsed.progIdOption->count() > 0))
        return invalid("--journal goes with --verify, --module, --since, --format and --quiet only");
    if (parsed.moduleOption->count() > 0) {
        std::string why;
        const auto id = checkedId("--module", parsed.module, why);
        if (!id)
            return invalid(why);
        options.module = idHex(*id);
    }
    if (parsed.sinceOption->count() > 0 && !validDate(options.since))
        return invalid("--since: \"" + shortened(options.since) + "\" is no date: give it as YYYY-MM-DD");
    if (parsed.formatOption->count() > 0) {
        if (options.verify)
            return invalid("--verify lists the reports it checks; it has no --format");
        options.listing = parsed.format == "json" ? Options::Listing::Json : Options::Listing::Csv;
    }
    return options;
}

// Which modules, where their reports go and what is done after.
Options extractionRequest(Options options, const Parsed& parsed) {
    if (options.verify || parsed.moduleOption->count() > 0 || parsed.sinceOption->count() > 0)
        return invalid("--verify, --module and --since go with --journal only");
    const bool idGiven = !options.idTexts.empty();
    if (idGiven && options.pair)
        return invalid("give either --id or --pair, not both");
    if (!idGiven && !options.pair)
        return invalid("give the module with --id HEX, or --pair to pair with it");
    if (options.repeat && !options.pair)
        return invalid("--repeat goes with --pair; for several known modules give --id for each");
    std::vector<std::int32_t> ids;
    for (const std::string& text : options.idTexts) {
        std::string why;
        const auto id = checkedId("--id", text, why);
        if (!id)
            return invalid(why);
        if (std::find(ids.begin(), ids.end(), *id) != ids.end())
            return invalid("--id " + idHex(*id) + " is given twice");
        ids.push_back(*id);
    }
    if ((options.force || options.yes) && !options.clear)
        return invalid("--force and --yes go with --clear only");
    if (parsed.scenarioOption->count() > 0) {
        if (parsed.scenario.empty())
            return invalid("--scenario needs a file name");
        if (parsed.progIdOption && parsed.progIdOption->count() > 0)
            return invalid("give either --scenario or --progid, not both");
        options.backend = {BackendChoice::Kind::Scenario, parsed.scenario, {}};
    } else if (parsed.progIdOption && parsed.progIdOption->count() > 0) {
        if (parsed.progId.empty())
            return invalid("--progid needs a class name");
        options.backend = {BackendChoice::Kind::Component, {}, parsed.progId};
    }
    if (parsed.outputOption->count() > 0) {
        if (parsed.output.empty())
            return invalid("--output needs a path, or '-' for standard output");
        // One path for several reports would keep only the last of them.
        if (options.severalModules())
            return invalid("-o names one report; for several modules use --name to name their reports");
        options.output = parsed.output;
    }
    if (parsed.nameOption->count() > 0) {
        if (options.output)
            return invalid("--name names new reports in the documents folder; -o gives a path instead");
        if (const std::string why = reportNameProblem(parsed.nameTemplate); !why.empty())
            return invalid("--name \"" + shortened(parsed.nameTemplate) + "\": " + why);
        options.nameTemplate = parsed.nameTemplate;
    }
    options.format = parsed.format == "json" ? Options::Format::Json : Options::Format::Csv;
    return options;
}

} // namespace

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    Parsed parsed;
    CLI::App app{"Extracts the event logs of Z83-PM-VX handheld modules through the base station, checks\n"
                 "every record's CRC and saves them as reports; optionally clears the modules' log memory.\n"
                 "Every extraction and clear is recorded in the journal " +
                     std::string(kJournalFileName) + " in the user's data folder.",
                 kProgramName};
    declareOptions(app, options, parsed);

    // The option library would call an empty ID "1 required HEX missing"; say what is wanted instead.
    for (std::size_t i = 0; i < arguments.size(); ++i)
        if (arguments[i] == "--id=" || (arguments[i] == "--id" && i + 1 == arguments.size()))
            return invalid("--id needs the module's ID in hexadecimal digits, e.g. --id 1A2B3C");
    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        options.request = Options::Request::Help;
        options.message = app.help();
        return options;
    } catch (const CLI::CallForAllHelp&) {
        options.request = Options::Request::Help;
        options.message = app.help();
        return options;
    } catch (const CLI::CallForVersion& version) {
        options.request = Options::Request::Version;
        options.message = version.what();
        return options;
    } catch (const CLI::ParseError& error) {
        return invalid(error.what());
    } catch (const std::exception& error) {
        return invalid(error.what());
    }
    return parsed.journal ? journalRequest(std::move(options), parsed)
                          : extractionRequest(std::move(options), parsed);
}

} // namespace z83::cli
