#include "cli/Options.h"

#include "desktop/ShownText.h"
#include "desktop/Version.h"
#include "extract/Session.h"
#include "link/NumberReaders.h"

#include <CLI/CLI.hpp>

#include <algorithm>
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
           " 10  all done as asked, but closing the link to the base station failed afterwards\n";
}

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    std::string format = "csv";
    std::string scenario, output, progId;

    CLI::App app{"Extracts the event logs of a Z83-PM-VX handheld module through the base station, checks\n"
                 "every record's CRC and saves them as a report; optionally clears the module's log memory.",
                 kProgramName};
    app.get_formatter()->column_width(24);
    auto* id = app.add_option("--id", options.idText, "the module's ID in hexadecimal, e.g. 1A2B3C")
                   ->type_name("HEX");
    app.add_flag("--pair", options.pair, "pair with the module instead: power-cycle it within 10 seconds");
    auto* scenarioOption = app.add_option("--scenario", scenario,
                                          "simulate the base station described in FILE (JSON)\n"
                                          "instead of the built-in demonstration")
                               ->type_name("FILE");
    CLI::Option* progIdOption = nullptr;
    if (componentAvailable())
        progIdOption = app.add_option("--progid", progId,
                                      "create the maker's component from this class (ProgID), when the\n"
                                      "registry holds none or more than one")
                           ->type_name("PROGID");
    auto* outputOption = app.add_option("-o,--output", output,
                                        "write the report to PATH, replacing a file there;\n"
                                        "'-' writes it to standard output. Without -o the report\n"
                                        "goes to a new file in the documents folder")
                             ->type_name("PATH");
    app.add_option("--format", format, "report format: csv (as the window writes it) or json")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"csv", "json"}));
    app.add_flag("--clear", options.clear, "after the report is safely saved, clear the module's logs");
    app.add_flag("--force", options.force, "with --clear: clear even when logs are flagged");
    app.add_flag("-y,--yes", options.yes, "with --clear: do not ask for confirmation");
    app.add_flag("-q,--quiet", options.quiet, "no progress and no informational lines; errors still show");
    app.set_version_flag("--version", std::string(kProgramName) + " " + kVersion);
    app.footer(exitCodeTable());

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

    const bool idGiven = id->count() > 0;
    if (idGiven && options.pair)
        return invalid("give either --id or --pair, not both");
    if (!idGiven && !options.pair)
        return invalid("give the module with --id HEX, or --pair to pair with it");
    if (idGiven) {
        // Refused before anything is sent: no digits is no module (the window would ask module 0), and
        // more digits would wrap to some other module's ID.
        if (readLeadingHex(options.idText).digits == 0)
            return invalid("--id: \"" + shortened(options.idText) +
                           "\" is no module ID: give its hexadecimal digits, e.g. --id 1A2B3C");
        if (!parseTypedId(options.idText))
            return invalid("--id: \"" + shortened(options.idText) +
                           "\" is too long: a module ID has at most 8 hexadecimal digits");
    }
    if ((options.force || options.yes) && !options.clear)
        return invalid("--force and --yes go with --clear only");
    if (scenarioOption->count() > 0) {
        if (scenario.empty())
            return invalid("--scenario needs a file name");
        if (progIdOption && progIdOption->count() > 0)
            return invalid("give either --scenario or --progid, not both");
        options.backend = {BackendChoice::Kind::Scenario, scenario, {}};
    } else if (progIdOption && progIdOption->count() > 0) {
        if (progId.empty())
            return invalid("--progid needs a class name");
        options.backend = {BackendChoice::Kind::Component, {}, progId};
    }
    if (outputOption->count() > 0) {
        if (output.empty())
            return invalid("--output needs a path, or '-' for standard output");
        options.output = output;
    }
    options.format = format == "json" ? Options::Format::Json : Options::Format::Csv;
    return options;
}

} // namespace z83::cli
