#include "cli/Diagnosis.h"

#include "backend/Component.h"
#include "cli/Console.h"
#include "cli/ConsoleDesktop.h"
#include "cli/ExitCode.h"
#include "desktop/IsoTime.h"
#include "desktop/ShownText.h"
#include "extract/ReportFile.h"
#include "extract/Session.h"
#include "link/ActionGuard.h"
#include "link/ProviderRecorder.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <ostream>
#include <sstream>
#include <string_view>

namespace z83::cli {

namespace {

// Keeps the probe's calls for the report.
class KeptCalls final : public CallSink {
public:
    void record(const RecordedCall& call) noexcept override {
        try {
            calls.push_back(call);
        } catch (...) {
        }
    }
    std::vector<RecordedCall> calls;
};

std::string milliseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", seconds * 1e3);
    return text;
}

// What came back: the result, the by-reference outputs that changed, a current error that is new, a raised
// error.
std::string outcomeText(const RecordedCall& call, const CurrentError& before) {
    std::string text;
    if (call.raised) {
        text = "raised error " + errorNumberText(call.raised->number) +
               (call.raised->source.empty() ? "" : " from " + shownDeviceText(call.raised->source, 60)) +
               ": " + shownDeviceText(call.raised->description);
    } else if (contractOf(call.operation).result == ResultUse::Nothing) {
        text = "done"; // its result means nothing; a failure shows as the current error

    } else {
        text = (contractOf(call.operation).result == ResultUse::Int16 ? "status " : "result ") +
               std::to_string(call.result);
        const auto facts = contractOf(call.operation).arguments();
        for (std::size_t i = 0; i < facts.size(); ++i)
            if (byReference(facts[i].passing) && call.out[i] != call.in[i])
                text += ", " + std::string(facts[i].name) + " " + argumentText(facts[i].passing, call.out[i]);
    }
    if (call.currentError.number != 0 &&
        (call.currentError.number != before.number || call.currentError.description != before.description))
        text += "; current error " + errorNumberText(call.currentError.number) + ": " +
                shownDeviceText(call.currentError.description);
    return text;
}

// The sections only the component can fill, from what was found of it before the probe.
struct ComponentFindings {
    std::vector<DiagnosisSection> sections; // registration, type information, creation
    std::optional<std::string> unfit;       // why the component does not fit the contract
    std::vector<std::string> advice;        // what the user can do about each failure found
};

ComponentFindings componentFindings(const BackendChoice& choice) {
    std::optional<ComponentInspection> inspection = inspectComponent(choice);
    if (!inspection) {
        const std::string why =
            std::string("do not apply, as ") +
            (componentAvailable() ? "" : "the maker's component is used only by the Windows programs; ") +
            "the probe runs against " + describeBackend(choice);
        return {{{"Registration", {}, why}, {"Type information", {}, why}, {"Creation", {}, why}},
                std::nullopt,
                {}};
    }
    return {{{"Registration (32-bit view)", std::move(inspection->registration), {}},
             {"Type information", std::move(inspection->typeInformation), {}},
             {"Creation", std::move(inspection->creation), {}}},
            std::move(inspection->unfit),
            std::move(inspection->advice)};
}

struct Probe {
    DiagnosisSection section{"Probe, in the order of start-up (read-only)", {}, {}};
    int code = ExitCode::Success;
    std::string verdict;
    std::optional<std::string> advice;
};

// The program's own start-up (and, with --id, its identification and count read) against the session's
// provider; gives the exit code it comes to, and in found what the module said of itself.
int probeStartUp(const Options& options, Session& session, ConsoleDesktop& desktop, std::string& found) {
    int code = ExitCode::Success;
    ActionGuard guard(desktop, [] {});
    bool unload = false;
    const bool ran = guard.run([&] {
        const auto load = session.Load();
        unload = load != Session::LoadResult::EndAtOnce;
        if (load != Session::LoadResult::Running) {
            code = ExitCode::Link;
            return;
        }
        if (options.idTexts.empty())
            return;
        desktop.setIdText(options.idTexts.front());
        if (session.identifyByTypedId() != Identification::Supported) {
            code = ExitCode::Module;
            return;
        }
        const LogCount count = session.readLogCount();
        if (count.kind == LogCount::Kind::Unreadable)
            code = ExitCode::Module;
        else
            found = ", and module " + idHex(session.moduleId()) + " is a " + session.moduleModel() +
                    " whose log count reads \"" + shownDeviceText(count.text, 40) + "\"";
    });
    if (!ran || (unload && !guard.run([&] { session.Unload(); })))
        code = ExitCode::Link;
    return code;
}

// One line for each call, numbered, with its time and outcome; advice when the base station was not found.
void listCalls(const std::vector<RecordedCall>& calls, Probe& result) {
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const RecordedCall& call = calls[i];
        if ((call.operation == Operation::OpenUSB && call.result != 0) ||
            (call.operation == Operation::DetectBase && call.result == 0))
            result.advice =
                "The base station was not found: plug it into a USB port of this PC, wait until the system "
                "has set it up, and run the diagnosis again.";
        result.section.lines.emplace_back(
            std::to_string(i + 1) + "  " + callText(call.operation, call.in),
            milliseconds(call.seconds) + "  " +
                outcomeText(call, i > 0 ? calls[i - 1].currentError : CurrentError{}));
    }
}

// What the program would have shown, line by line; its first line is the verdict of a probe that failed.
void listShown(const std::string& messages, Probe& result) {
    if (messages.empty())
        result.section.lines.emplace_back("The program would show", "nothing: start-up went through");
    for (std::size_t start = 0; start < messages.size();) {
        const std::size_t end = std::min(messages.find('\n', start), messages.size());
        const std::string line = messages.substr(start, end - start);
        result.section.lines.emplace_back(start == 0 ? "The program would show" : "", line);
        if (result.verdict.empty())
            result.verdict = line;
        start = end + 1;
    }
}

// The probe, every call recorded; what the program would show is kept instead of shown.
Probe probe(const Options& options, FileSystem& fileSystem) {
    Probe result;
    ProviderFactory create;
    try {
        create = makeProviderFactory(options.backend);
    } catch (const BackendError& error) {
        result.section.notApplicable = std::string("not run, ") + error.what();
        result.code = ExitCode::Usage; // an unusable scenario file, as the extractor says
        result.verdict = error.what();
        return result;
    }
    std::ostringstream shown;
    ConsoleDesktop desktop(shown, {false, false, options.backend.kind == BackendChoice::Kind::Component});
    auto kept = std::make_shared<KeptCalls>();
    Session session(
        desktop, [&] { return std::make_unique<ProviderRecorder>(create(), kept); }, fileSystem);
    std::string found;
    result.code = probeStartUp(options, session, desktop, found);
    listCalls(kept->calls, result);
    listShown(shown.str(), result);
    if (result.code == ExitCode::Success)
        result.verdict = "the component fits and the base station answers" + found;
    return result;
}

} // namespace

std::string diagnosisText(const std::vector<DiagnosisSection>& sections, const std::string& verdict) {
    std::string text = std::string(kProgramName) + " diagnosis\n\n";
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const DiagnosisSection& section = sections[i];
        if (!section.notApplicable.empty()) {
            // Sections that do not apply for one reason are named together, on one line.
            std::string titles = section.title;
            while (i + 1 < sections.size() && sections[i + 1].notApplicable == section.notApplicable) {
                ++i;
                const bool last =
                    i + 1 == sections.size() || sections[i + 1].notApplicable != section.notApplicable;
                titles += (last ? " and " : ", ") + sections[i].title;
            }
            text += titles + ": " + section.notApplicable + "\n\n";
            continue;
        }
        text += section.title + "\n";
        std::size_t width = 0;
        for (const auto& [name, value] : section.lines)
            width = std::max(width, name.size());
        for (const auto& [name, value] : section.lines)
            text.append("  ").append(name).append(width - name.size() + 2, ' ').append(value).append("\n");
        text += "\n";
    }
    // A verdict that is a message of the program's keeps its own last mark.
    const bool ended =
        !verdict.empty() && std::string_view(".!?").find(verdict.back()) != std::string_view::npos;
    return text + "Verdict: " + verdict + (ended ? "\n" : ".\n");
}

int runDiagnosis(const Options& options, std::ostream& out, std::ostream& err, FileSystem& fileSystem) {
    std::vector<DiagnosisSection> sections{programSection()};
    sections.front().lines.emplace_back("time", isoTime(currentLocalTime(), ' '));
    ComponentFindings findings = componentFindings(options.backend);
    sections.insert(sections.end(), findings.sections.begin(), findings.sections.end());
    Probe probed = probe(options, fileSystem);
    if (probed.code == ExitCode::Usage) {
        err << probed.verdict << '\n';
        err.flush();
        return ExitCode::Usage;
    }
    sections.push_back(probed.section);

    int code = probed.code;
    std::string verdict = probed.verdict;
    if (findings.unfit) {
        code = ExitCode::Link;
        verdict = "the component does not fit: " + *findings.unfit;
    }
    // One line for each failure found, saying what the user can do about it.
    DiagnosisSection toDo{"What to do", {}, {}};
    if (probed.advice)
        findings.advice.push_back(*probed.advice);
    for (std::size_t i = 0; i < findings.advice.size(); ++i)
        toDo.lines.emplace_back(std::to_string(i + 1) + ".", findings.advice[i]);
    if (!toDo.lines.empty())
        sections.push_back(std::move(toDo));
    const std::string text =
        forPerson(diagnosisText(sections, (code == ExitCode::Success ? "" : "does not work: ") + verdict));
    out << text;
    out.flush();

    if (options.outputStream == Options::Stream::Err) {
        err << text;
        err.flush();
    } else if (options.output && options.outputStream == Options::Stream::None) {
        ConsoleDesktop desktop(err, {options.quiet, false, false});
        const SavedReport saved = saveReport(text, {options.output, ".txt"}, desktop, fileSystem);
        if (!saved.saved()) {
            desktop.error("The diagnosis could not be saved as " + saved.path + ": " + saved.error + ".");
            return ExitCode::NotSaved;
        }
        desktop.note("Diagnosis saved as " + fullPath(saved.path) + ".");
    }
    return code;
}

} // namespace z83::cli
