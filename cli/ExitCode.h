#pragma once

#include <string>

// The extractor's exit codes, so scripts can tell the endings apart. Listed in --help and docs/cli.md.
namespace z83::cli::ExitCode {
inline constexpr int Success = 0;      // the report was written (and the module cleared when asked)
inline constexpr int Internal = 1;     // an unexpected failure inside the extractor itself
inline constexpr int Usage = 2;        // bad options, a bad ID text or an unusable scenario file
inline constexpr int Link = 3;         // start-up check, link failure, unreadable count or a raised error
inline constexpr int Module = 4;       // no module paired, model unreadable or not supported
inline constexpr int NoLogs = 5;       // the module holds no logs, or reports an impossible count
inline constexpr int NotSaved = 6;     // the report could not be written or did not read back
inline constexpr int ClearFailed = 7;  // the module did not take the clearing write
inline constexpr int ClearRefused = 8; // --clear was given but clearing was not safe or not confirmed
inline constexpr int Flagged = 9;      // as Success, but some logs of the report are flagged
inline constexpr int CloseFailed = 10; // as Success or Flagged, but closing the link afterwards failed
inline constexpr int LinkLost = 11;    // the link was lost during the run: the logs read before it are saved
inline constexpr int ReportsChanged =
    12; // --journal: a listed report is missing or changed, or no journal read

// What each code means, as --help lists it; docs/cli.md says the same at more length, which a test holds it
// to.
struct Meaning {
    int code;
    const char* text;
};
inline constexpr Meaning kMeanings[] = {
    {Success, "success: report written (and the module cleared, when asked)"},
    {Internal, "unexpected internal failure"},
    {Usage, "usage error: bad options, bad ID text, bad --name or bad scenario or recording file,\n"
            "or a file --import refused as no report"},
    {Link, "link or start-up failure: provider, USB interface, base station, log count,\n"
           "or an error raised by the base station"},
    {Module, "no module paired, model unreadable or model not supported"},
    {NoLogs, "no logs on the module, or an impossible log count"},
    {NotSaved, "report not saved (not written, or did not read back as written)"},
    {ClearFailed, "clearing failed: the module did not take the clear command"},
    {ClearRefused, "clearing refused: report not in a file that reads back, flagged logs without\n"
                   "--force, a log count that no longer matches the report, or no confirmation"},
    {Flagged, "report written, but some of its logs are flagged Bad CRC or Incorrect Log Number!"},
    {CloseFailed, "all done as asked, but closing the link to the base station failed afterwards"},
    {LinkLost, "link lost during the run: partial report saved, nothing cleared"},
    {ReportsChanged, "--journal, --history: a report it lists is missing or changed, or the journal is\n"
                     "unreadable"},
};

// The exit code of a run over several modules is the worst of theirs. Worst first: logs read but not saved,
// modules not extracted, clears that did not happen, nothing to extract, logs to extract again, and last
// what went wrong after everything was done.
inline constexpr int kWorstFirst[] = {Internal,    Usage,          NotSaved,     LinkLost, Link,
                                      Module,      ClearFailed,    ClearRefused, NoLogs,   Flagged,
                                      CloseFailed, ReportsChanged, Success};

constexpr int worseOf(int a, int b) {
    for (const int code : kWorstFirst)
        if (code == a || code == b)
            return code;
    return a;
}
} // namespace z83::cli::ExitCode

namespace z83::cli {
// The order of the codes a module's run can end with, as the help text gives it: "6, 11, 3, ...".
inline std::string worstFirstText() {
    std::string text;
    for (const int code : ExitCode::kWorstFirst)
        if (code != ExitCode::Internal && code != ExitCode::Usage && code != ExitCode::ReportsChanged)
            text += (text.empty() ? "" : ", ") + std::to_string(code);
    return text;
}

// The exit-code table, as the help text ends with it.
inline std::string exitCodeTable() {
    std::string table = "Exit codes:\n";
    for (const ExitCode::Meaning& meaning : ExitCode::kMeanings) {
        const std::string code = std::to_string(meaning.code);
        std::string text = meaning.text;
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
            text.insert(at + 1, 5, ' ');
        table.append(3 - code.size(), ' ').append(code).append("  ").append(text).append("\n");
    }
    return table + "With several modules, the worst of theirs, from worst to best: " + worstFirstText() +
           "\n";
}
} // namespace z83::cli
