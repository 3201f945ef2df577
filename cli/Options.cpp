#include "cli/Options.h"

#include "backend/ProviderOptions.h"
#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "desktop/ShownText.h"
#include "desktop/Version.h"
#include "extract/Journal.h"
#include "extract/ReportFile.h"
#include "extract/Session.h"
#include "link/NumberReaders.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

namespace z83::cli {

namespace {

using Rule = Options::Refusal;

// A refusal: the rule that refused and its reason as the user reads it.
struct Refused {
    Rule rule;
    std::string why;
};
using Problem = std::optional<Refused>;

Options invalid(Refused refused) {
    Options options;
    options.request = Options::Request::Invalid;
    options.refusal = refused.rule;
    options.message = std::move(refused.why);
    return options;
}

// A typed text is echoed in messages; keep a pasted wall of text from flooding the terminal.
std::string shortened(const std::string& text) {
    return shownDeviceText(text, 40);
}

// Usage: the forms a command line takes, in place of the option library's "[OPTIONS]".
class UsageFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string) const override { return kUsageForms; }
};

} // namespace

const char* const kUsageForms =
    "Usage:\n"
    "z83-extract (--id HEX [--id HEX ...] | --pair [--repeat]) [--scenario FILE]\n"
    "            [-o PATH | -o - | --name TEMPLATE] [--format csv|json] [--clear [--force] [--yes]] "
    "[--quiet]\n"
    "            [--record FILE]\n"
    "z83-extract --journal [--module HEX] [--since YYYY-MM-DD] [--format csv|json | --verify]\n"
    "z83-extract --history [--module HEX] [--since YYYY-MM-DD] [--until YYYY-MM-DD]\n"
    "            [--format csv|json] [-o PATH] [--open]\n"
    "z83-extract --import PATH... --module HEX\n"
    "z83-extract --diagnose [--id HEX] [--scenario FILE] [-o FILE]\n"
    "z83-extract --help | --version\n";

std::string Options::reportNameTemplate() const {
    return nameTemplate.value_or(
        std::string(severalModules() ? kSeveralModulesReportName : kDefaultReportName));
}

namespace {

// What was typed, before the options are checked against each other.
struct Typed {
    std::string format = "csv";
    std::string output, nameTemplate, module;
    bool journal = false, history = false;
    std::vector<std::string> importPaths;
    ProviderOptions provider; // taken out before the rest is parsed
    CLI::Option* outputOption = nullptr;
    CLI::Option* formatOption = nullptr;
    CLI::Option* nameOption = nullptr;
    CLI::Option* moduleOption = nullptr;
    CLI::Option* sinceOption = nullptr;
    CLI::Option* untilOption = nullptr;
    CLI::Option* importOption = nullptr;
    CLI::Option* openOption = nullptr;
};

// The options of an extraction and the diagnosis, with their help texts and where their values go.
void declareRunOptions(CLI::App& app, Options& options, Typed& typed) {
    app.add_option("--id", options.idTexts,
                   "the module's ID in hexadecimal, e.g. 1A2B3C; give --id once\n"
                   "for each module to extract them one after the other")
        ->type_name("HEX")
        ->allow_extra_args(false)
        ->take_all();
    app.add_flag("--pair", options.pair, "pair with the module instead: power-cycle it within 10 seconds");
    app.add_flag("--repeat", options.repeat,
                 "with --pair: pair and extract module after module until\n"
                 "the answer to \"Extract another module?\" is not yes");
    // Parsed before the rest (takeProviderOptions), declared here for --help.
    for (const ProviderOptionHelp& option : providerOptionHelp())
        app.add_option(option.name, std::as_const(option.help))->type_name(option.value);
    typed.outputOption = app.add_option("-o,--output", typed.output,
                                        "write the report to PATH, replacing a file there;\n"
                                        "'-' writes it to standard output. Without -o the report\n"
                                        "goes to a new file in the documents folder")
                             ->type_name("PATH");
    typed.nameOption = app.add_option("--name", typed.nameTemplate,
                                      "name new reports in the documents folder after TEMPLATE:\n"
                                      "{stamp} (local YYYYMMDDHHMMSS), {id} and {model};\n"
                                      "default Log{stamp}, and Log{stamp}-{id} for several modules")
                           ->type_name("TEMPLATE");
    typed.formatOption = app.add_option("--format", typed.format,
                                        "report format: csv (as the window writes it) or json;\n"
                                        "with --journal: csv or json instead of a table;\n"
                                        "with --history: the events as csv or json")
                             ->type_name("FORMAT")
                             ->check(CLI::IsMember({"csv", "json"}));
    app.add_flag("--clear", options.clear, "after the report is safely saved, clear the module's logs");
    app.add_flag("--force", options.force, "with --clear: clear even when logs are flagged");
    app.add_flag("-y,--yes", options.yes, "with --clear: do not ask for confirmation");
    app.add_flag("-q,--quiet", options.quiet, "no progress and no informational lines; errors still show");
    app.add_flag("--diagnose", options.diagnose,
                 "print what the program finds of the component and the base station\n"
                 "(read-only; with --id, also the module's model and log count)");
}

// The options of the journal, the history page and the import.
void declareListingOptions(CLI::App& app, Options& options, Typed& typed) {
    app.add_flag("--journal", typed.journal,
                 "list the journal of extractions and clears, oldest first,\n"
                 "instead of extracting");
    app.add_flag("--verify", options.verify,
                 "with --journal: read every report it lists again and say\n"
                 "which are missing or changed since they were saved");
    typed.moduleOption = app.add_option("--module", typed.module,
                                        "with --journal or --history: only this module;\n"
                                        "with --import: the module the reports came from")
                             ->type_name("HEX");
    typed.sinceOption =
        app.add_option("--since", options.since,
                       "with --journal or --history: only what happened from this local date on")
            ->type_name("YYYY-MM-DD");
    app.add_flag("--history", typed.history,
                 "make the modules' history page (HTML) from the journal and the\n"
                 "reports it lists; with --format csv or json, its events instead");
    typed.untilOption =
        app.add_option("--until", options.until, "with --history: only what happened up to this local date")
            ->type_name("YYYY-MM-DD");
    typed.openOption =
        app.add_flag("--open", options.open, "with --history: open the saved page in the browser");
    typed.importOption = app.add_option("--import", typed.importPaths,
                                        "take the reports (files, or folders walked for *.CSV and\n"
                                        "*.json) of the --module into the journal and its history")
                             ->type_name("PATH")
                             ->allow_extra_args(true)
                             ->take_all();
}

// Every option, the usage forms and the exit codes for --help, and --version.
void declareOptions(CLI::App& app, Options& options, Typed& typed) {
    app.formatter(std::make_shared<UsageFormatter>());
    app.get_formatter()->column_width(24);
    declareRunOptions(app, options, typed);
    declareListingOptions(app, options, typed);
    app.set_version_flag("--version", std::string(kProgramName) + " " + kVersion);
    app.footer(exitCodeTable());
}

// The answer when the command line asks for help or the version or does not parse; nothing when it parsed.
std::optional<Options> parseArguments(CLI::App& app, const std::vector<std::string>& arguments) {
    // The option library would call an empty ID "1 required HEX missing"; say what is wanted instead.
    for (std::size_t i = 0; i < arguments.size(); ++i)
        if (arguments[i] == "--id=" || (arguments[i] == "--id" && i + 1 == arguments.size()))
            return invalid(
                {Rule::ModuleId, "--id needs the module's ID in hexadecimal digits, e.g. --id 1A2B3C"});
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
    } catch (const CLI::ArgumentMismatch& error) {
        // The library says "NAME: At Most 1 required but received 2"; an option given twice is what it means.
        const std::string what = error.what();
        if (what.find(": At Most 1 required") != std::string::npos)
            return invalid(
                {Rule::Syntax, what.substr(0, what.find(':')) + " is given more than once; give it once"});
        return invalid({Rule::Syntax, what});
    } catch (const CLI::ParseError& error) {
        return invalid({Rule::Syntax, error.what()});
    } catch (const std::exception& error) {
        return invalid({Rule::Syntax, error.what()});
    }
    return answer;
}

// A module's ID as typed: refused before anything is sent when it has no digits (the window would ask module
// 0) or more than fit (it would wrap to some other module's ID).
std::optional<std::int32_t> checkedId(const std::string& option, const std::string& text, std::string& why) {
    // The ID box reads "0x1A2B3C" as 0, up to the x; refused rather than read otherwise than the window reads
    // it, so that the same text never names two modules.
    const auto start = text.find_first_not_of(" \t");
    if (start != std::string::npos && text.size() > start + 1 && text[start] == '0' &&
        (text[start + 1] == 'x' || text[start + 1] == 'X')) {
        why = option + ": \"" + shortened(text) + "\": give the ID's hexadecimal digits without 0x, e.g. " +
              option + " " + shortened(text.substr(start + 2));
        return std::nullopt;
    }
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

// Why the modules are not named well: --id (once for each) or --pair (with --repeat for more), with IDs
// that can name a module.
Problem moduleProblem(const Options& options) {
    const bool idGiven = !options.idTexts.empty();
    if (idGiven && options.pair)
        return Refused{Rule::Modules, "give either --id or --pair, not both"};
    if (!idGiven && !options.pair)
        return Refused{Rule::Modules, "give the module with --id HEX, or --pair to pair with it"};
    if (options.repeat && !options.pair)
        return Refused{Rule::Modules,
                       "--repeat goes with --pair; for several known modules give --id for each"};
    std::vector<std::int32_t> ids;
    for (const std::string& text : options.idTexts) {
        std::string why;
        const auto id = checkedId("--id", text, why);
        if (!id)
            return Refused{Rule::ModuleId, why};
        if (std::find(ids.begin(), ids.end(), *id) != ids.end())
            return Refused{Rule::Modules, "--id " + idHex(*id) + " is given twice"};
        ids.push_back(*id);
    }
    return std::nullopt;
}

// --diagnose reads only: nothing that pairs, writes, clears or names reports goes with it, and at most one
// module.
Problem diagnosisProblem(const Options& options, const Typed& typed) {
    if (options.pair || options.repeat || options.clear || options.force || options.yes ||
        options.idTexts.size() > 1 || typed.provider.gave("--record") || typed.nameOption->count() > 0 ||
        typed.formatOption->count() > 0)
        return Refused{Rule::Together,
                       "--diagnose takes only one --id, --scenario, --progid, -o and --quiet"};
    std::string why;
    if (!options.idTexts.empty() && !checkedId("--id", options.idTexts.front(), why))
        return Refused{Rule::ModuleId, why};
    return std::nullopt;
}

// Takes the clearing, the base station, where reports go and the format as typed; why not when they do
// not fit.
Problem takeChoices(Options& options, const Typed& typed) {
    if ((options.force || options.yes) && !options.clear)
        return Refused{Rule::Together, "--force and --yes go with --clear only"};
    if (!typed.provider.error.empty())
        return Refused{Rule::Provider, typed.provider.error};
    options.backend = typed.provider.backend;
    if (typed.outputOption->count() > 0) {
        if (typed.output.empty())
            return Refused{Rule::Output, "--output needs a path, or '-' for standard output"};
        // One path for several reports would keep only the last of them.
        if (options.severalModules())
            return Refused{Rule::Output,
                           "-o names one report; for several modules use --name to name their reports"};
        options.output = typed.output;
        const auto descriptor = typed.output == "-" ? std::optional<int>(1) : descriptorNamed(typed.output);
        if (descriptor == 1 || descriptor == 2)
            options.outputStream = *descriptor == 1 ? Options::Stream::Out : Options::Stream::Err;
        else if (descriptor)
            return Refused{
                Rule::Output,
                "-o " + shortened(typed.output) +
                    ": of the program's own streams only standard output and standard error take a report"};
    }
    if (typed.nameOption->count() > 0) {
        if (options.output)
            return Refused{Rule::Together,
                           "--name names new reports in the documents folder; -o gives a path instead"};
        if (const std::string why = reportNameProblem(typed.nameTemplate); !why.empty())
            return Refused{Rule::Output, "--name \"" + shortened(typed.nameTemplate) + "\": " + why};
        options.nameTemplate = typed.nameTemplate;
    }
    // Without a window loop of its own, the extractor services the thread's messages for the component.
    options.backend.serviceMessages = true;
    options.format = typed.format == "json" ? Options::Format::Json : Options::Format::Csv;
    return std::nullopt;
}

// A date of the calendar: 2026-02-30 is none.
bool validDate(const std::string& text) {
    int year = 0, month = 0, day = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c == '-' || (c >= '0' && c <= '9'); }) ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d", &year, &month, &day) != 3 || month < 1 || month > 12)
        return false;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return day >= 1 && day <= kDays[month - 1] + (month == 2 && leap);
}

// --module, when given: the module's ID in hexadecimal; why not when it names none.
Problem takeModule(Options& options, const Typed& typed) {
    if (typed.moduleOption->count() == 0)
        return std::nullopt;
    std::string why;
    const auto id = checkedId("--module", typed.module, why);
    if (!id)
        return Refused{Rule::ModuleId, why};
    options.module = idHex(*id);
    return std::nullopt;
}

// --journal and what goes with it alone; why not when something else was given.
Problem takeJournalChoices(Options& options, const Typed& typed) {
    options.request = Options::Request::Journal;
    if (!options.idTexts.empty() || options.pair || options.repeat || options.clear || options.force ||
        options.yes || options.diagnose || typed.provider.gave("--record") ||
        typed.provider.gave("--scenario") || typed.outputOption->count() > 0 ||
        typed.nameOption->count() > 0 || typed.provider.gave("--progid"))
        return Refused{Rule::Together,
                       "--journal goes with --verify, --module, --since, --format and --quiet only"};
    if (Problem problem = takeModule(options, typed))
        return problem;
    if (typed.sinceOption->count() > 0 && !validDate(options.since))
        return Refused{Rule::Date,
                       "--since: \"" + shortened(options.since) + "\" is no date: give it as YYYY-MM-DD"};
    if (typed.formatOption->count() > 0) {
        if (options.verify)
            return Refused{Rule::Together, "--verify lists the reports it checks; it has no --format"};
        options.listing = typed.format == "json" ? Options::Listing::Json : Options::Listing::Csv;
    }
    return std::nullopt;
}

// --history or --import and what goes with them; why not when something else was given.
Problem takeHistoryChoices(Options& options, const Typed& typed) {
    const bool importing = typed.importOption->count() > 0;
    if (typed.history && importing)
        return Refused{Rule::Together, "give either --history or --import, not both"};
    options.request = importing ? Options::Request::Import : Options::Request::History;
    if (!options.idTexts.empty() || options.pair || options.repeat || options.clear || options.force ||
        options.yes || options.diagnose || options.verify || typed.provider.gave("--record") ||
        typed.provider.gave("--scenario") || typed.nameOption->count() > 0 || typed.provider.gave("--progid"))
        return Refused{
            Rule::Together,
            importing
                ? "--import goes with --module and --quiet only"
                : "--history goes with --module, --since, --until, --format, -o, --open and --quiet only"};
    if (Problem problem = takeModule(options, typed))
        return problem;
    if (importing) {
        if (!options.module)
            return Refused{Rule::Missing, "--import needs the module the reports came from: --module HEX"};
        if (typed.sinceOption->count() > 0 || typed.untilOption->count() > 0 ||
            typed.outputOption->count() > 0 || typed.formatOption->count() > 0 || options.open)
            return Refused{Rule::Together, "--import goes with --module and --quiet only"};
        options.importPaths = typed.importPaths;
        if (options.importPaths.empty())
            return Refused{Rule::Missing, "--import needs the reports' files or folders"};
        return std::nullopt;
    }
    for (auto [option, text] :
         {std::pair{typed.sinceOption, &options.since}, std::pair{typed.untilOption, &options.until}})
        if (option->count() > 0 && !validDate(*text))
            return Refused{Rule::Date, option->get_name() + ": \"" + shortened(*text) +
                                           "\" is no date: give it as YYYY-MM-DD"};
    if (typed.outputOption->count() > 0) {
        if (typed.output.empty())
            return Refused{Rule::Output, "--output needs a path, or '-' for standard output"};
        options.output = typed.output;
    }
    if (typed.formatOption->count() > 0)
        options.page = typed.format == "json" ? Options::Page::Json : Options::Page::Csv;
    if (options.open && (options.page != Options::Page::Html || options.toStdout()))
        return Refused{Rule::Together,
                       "--open opens a saved page; it goes without --format and without -o -"};
    return std::nullopt;
}

} // namespace

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    Typed typed;
    CLI::App app{"Extracts the event logs of Z83-PM-VX handheld modules through the base station, checks\n"
                 "every record's CRC and saves them as reports; optionally clears the modules' log memory.\n"
                 "Every extraction and clear is recorded in the journal " +
                     std::string(kJournalFileName) + " in the user's data folder.",
                 kProgramName};
    declareOptions(app, options, typed);
    typed.provider = takeProviderOptions(arguments);
    if (auto answer = parseArguments(app, typed.provider.rest))
        return *answer;
    if (typed.journal) {
        if (typed.history || typed.importOption->count() > 0 || typed.untilOption->count() > 0 ||
            options.open)
            return invalid({Rule::Together, "give --journal, --history or --import, one at a time"});
        if (auto problem = takeJournalChoices(options, typed))
            return invalid(*problem);
        return options;
    }
    if (typed.history || typed.importOption->count() > 0) {
        if (auto problem = takeHistoryChoices(options, typed))
            return invalid(*problem);
        return options;
    }
    if (options.verify || typed.moduleOption->count() > 0 || typed.sinceOption->count() > 0 ||
        typed.untilOption->count() > 0 || options.open)
        return invalid(
            {Rule::Together,
             "--verify, --module, --since, --until and --open go with --journal or --history only"});
    if (auto problem = options.diagnose ? diagnosisProblem(options, typed) : moduleProblem(options))
        return invalid(*problem);
    if (auto problem = takeChoices(options, typed))
        return invalid(*problem);
    options.arguments = arguments;
    return options;
}

} // namespace z83::cli
