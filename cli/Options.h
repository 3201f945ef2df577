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
    enum class Request { Run, Help, Version, Invalid };
    enum class Format { Csv, Json };

    Request request = Request::Run;
    std::string message; // Help: the help text; Version: the version line; Invalid: the reason

    std::string idText;                       // --id as typed
    bool pair = false;                        // --pair
    BackendChoice backend = defaultBackend(); // --scenario FILE, --progid PROGID, --record FILE
    std::optional<std::string> output;        // -o PATH; "-" is standard output
    Format format = Format::Csv;
    bool clear = false;
    bool force = false;
    bool yes = false;
    bool quiet = false;
    bool diagnose = false;              // --diagnose
    std::vector<std::string> arguments; // as given, for a recording's header

    bool toStdout() const { return output && *output == "-"; }
};

inline constexpr const char* kProgramName = "z83-extract";

// The arguments after the program name.
Options parseOptions(const std::vector<std::string>& arguments);

// The exit-code table, as the help text ends with it.
std::string exitCodeTable();

} // namespace z83::cli
