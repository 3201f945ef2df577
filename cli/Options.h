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

    Request request = Request::Run;
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
