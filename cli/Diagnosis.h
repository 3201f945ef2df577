#pragma once

#include "backend/Backend.h"
#include "cli/Options.h"
#include "extract/FileSystem.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// z83-extract --diagnose: a plain-text report of what the program finds of the component and the base
// station, for the first run against a component it has never met. Read-only: it makes the start-up
// calls and, with --id, reads the module's model and log count; it never writes, clears or pairs.
namespace z83::cli {

struct DiagnosisSection {
    std::string title;
    // Name and value; an empty name continues the line before it.
    std::vector<std::pair<std::string, std::string>> lines;
    std::string notApplicable; // why the section does not apply here; then it has no lines
};

// This platform's part (DiagnosisPosix.cpp, DiagnosisWin32.cpp): the program and the system it runs on.
DiagnosisSection programSection();

// The report as text, sections in the order given, the verdict last.
std::string diagnosisText(const std::vector<DiagnosisSection>& sections, const std::string& verdict);

// Runs the diagnosis as the options ask: prints the report to out, saves it with -o. Returns the exit
// code: 0 when the component fits and the base station answers (and, with --id, the module too), 3 when
// the component or the base station fails, 4 when only the module does.
int runDiagnosis(const Options& options, std::ostream& out, std::ostream& err, FileSystem& fileSystem);

} // namespace z83::cli
