#pragma once

#include "backend/Backend.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace z83::cli {

// What the command line asks of the extractor. Parsing never exits and never prints: a bad command
// line comes back as Request::Invalid with its reason.
struct Options {
    enum class Request {
        Run,     // extract one module or several
        Journal, // list the journal, or check the reports it names
        History, // the modules' history page, or its events as CSV or JSON
        Import,  // reports from elsewhere into the journal
        Help,
        Version,
        Invalid
    };
    enum class Format { Csv, Json };
    enum class Listing { Table, Csv, Json };

    // Which rule refused an Invalid command line.
    enum class Refusal {
        None,
        Syntax,   // the option library's: an unknown option, a value it does not take, an option twice
        ModuleId, // an ID that names no module: no digits, 0x, more digits than fit
        Modules,  // how the modules are named: --id or --pair, --repeat, one module twice
        Together, // options that do not go together, or one that goes only with another
        Provider, // --scenario, --progid and --record, as every program takes them
        Output,   // where a report or page goes: -o, --name
        Date,     // --since, --until
        Missing,  // what an option cannot do without
    };

    Request request = Request::Run;
    Refusal refusal = Refusal::None;
    std::string message; // Help: the help text; Version: the version line; Invalid: the reason

    std::vector<std::string> idTexts;         // --id as typed, once for each module
    bool pair = false;                        // --pair
    bool repeat = false;                      // --repeat: pair module after module
    BackendChoice backend = defaultBackend(); // --scenario FILE, --progid PROGID, --record FILE
    std::optional<std::string> output;        // -o PATH; "-" is standard output
    // Which of the program's own streams -o names ("-", /dev/stdout, /dev/stderr, CON, ...): written into as
    // a stream, never as a file.
    enum class Stream { None, Out, Err };
    Stream outputStream = Stream::None;
    std::optional<std::string> nameTemplate; // --name TEMPLATE
    Format format = Format::Csv;
    bool clear = false;
    bool force = false;
    bool yes = false;
    bool quiet = false;
    bool diagnose = false;              // --diagnose
    std::vector<std::string> arguments; // as given, for a recording's header

    // --journal
    Listing listing = Listing::Table;
    bool verify = false;
    std::optional<std::string> module; // --module: the ID as the journal writes it
    std::string since;                 // --since: YYYY-MM-DD, "" for all

    // --history, --import
    enum class Page { Html, Csv, Json };
    Page page = Page::Html;
    std::string until;                    // --until: YYYY-MM-DD, "" for all
    bool open = false;                    // --open the saved page
    std::vector<std::string> importPaths; // --import PATH...

    bool toStdout() const { return outputStream == Stream::Out; }
    // Whether the run may extract more than one module.
    bool severalModules() const { return idTexts.size() > 1 || repeat; }
    // How new reports are named.
    std::string reportNameTemplate() const;
};

inline constexpr const char* kProgramName = "z83-extract";

// The arguments after the program name.
Options parseOptions(const std::vector<std::string>& arguments);

// The forms a command line takes, as --help shows them.
extern const char* const kUsageForms;

} // namespace z83::cli
