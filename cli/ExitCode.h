#pragma once

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
} // namespace z83::cli::ExitCode
