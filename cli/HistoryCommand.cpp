#include "cli/HistoryCommand.h"

#include "cli/Console.h"
#include "cli/ConsoleDesktop.h"
#include "cli/ExitCode.h"
#include "desktop/IsoTime.h"
#include "desktop/OpenFile.h"
#include "desktop/UserFolders.h"
#include "desktop/Version.h"
#include "extract/ReportFile.h"
#include "history/HistoryPage.h"
#include "history/Import.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace z83::cli {

namespace {

inline constexpr std::string_view kHistoryName = "History{stamp}";

// The console's desktop, which opens what it is asked to open.
class PageDesktop : public ConsoleDesktop {
public:
    using ConsoleDesktop::ConsoleDesktop;
    void openFile(const std::string& path) override {
        if (!openWithDesktop(path))
            error("Warning: the page could not be opened in the browser; open " + path + " yourself.");
    }
};

// The journal's entries, its damaged lines told on err; nothing when it cannot be read.
std::optional<JournalReading> readJournalFile(FileSystem& fs, std::ostream& err, std::string& path) {
    const std::string folder = dataFolder();
    if (folder.empty()) {
        err << kProgramName << ": the journal cannot be found: no folder for the program's data is known\n";
        return std::nullopt;
    }
    path = fs.join(folder, kJournalFileName);
    std::string text;
    if (fs.kindOf(path) == PathKind::Missing)
        return JournalReading{};
    if (auto e = fs.readWhole(path, text)) {
        err << kProgramName << ": the journal " << path << " could not be read: " << e.message() << '\n';
        return std::nullopt;
    }
    return readJournal(text);
}

// The journal's own warnings, and how many of the reports it lists the history could not use.
void warnOfWhatIsLeftOut(const History& history, PageDesktop& desktop) {
    for (const std::string& warning : history.warnings)
        desktop.error("Warning: " + warning);
    std::size_t unused = 0;
    for (const ModuleHistory& module : history.modules)
        unused += module.figures.unusedReports;
    if (unused > 0)
        desktop.error("Warning: " + std::to_string(unused) +
                      " of the reports the journal lists are missing, changed, replaced or unreadable; "
                      "the history leaves their records out (see its visits, or --journal --verify).");
}

// The page or one of its exports, and the extension of a file that holds it.
std::string historyContent(const History& history, Options::Page page, std::string& extension) {
    switch (page) {
    case Options::Page::Csv:
        extension = ".csv";
        return forPerson(historyCsv(history));
    case Options::Page::Json:
        extension = ".json";
        return forPerson(historyJson(history));
    case Options::Page::Html:
        break;
    }
    extension = ".html";
    return historyPage(history, std::string(kProgramName) + " " + kVersion);
}

// Each file's outcome told; how many were added, or nothing when any was refused (then none is kept).
std::optional<std::size_t> tellImports(const std::vector<ImportedFile>& results, PageDesktop& desktop) {
    bool refused = false;
    for (const ImportedFile& file : results)
        refused = refused || file.outcome == ImportedFile::Outcome::Refused ||
                  file.outcome == ImportedFile::Outcome::Unreadable;
    std::size_t added = 0;
    for (const ImportedFile& file : results) {
        switch (file.outcome) {
        case ImportedFile::Outcome::Refused:
            desktop.error(file.path + ": not a report: " + file.why);
            break;
        case ImportedFile::Outcome::Unreadable:
            desktop.error(file.path + ": could not be read: " + file.why);
            break;
        case ImportedFile::Outcome::AlreadyListed:
            desktop.note(file.path + ": already in the journal; not added again.");
            break;
        case ImportedFile::Outcome::Added:
            if (!refused) {
                ++added;
                desktop.note(file.path + ": imported, " + std::to_string(file.logs) + " logs (" +
                             std::to_string(file.flagged) + " flagged).");
            }
            break;
        }
    }
    if (refused)
        return std::nullopt;
    return added;
}

// Who adds an import's journal entries, and when.
JournalEntry importStamp(PageDesktop& desktop) {
    JournalEntry stamp;
    stamp.time = isoTime(desktop.localNow());
    stamp.utc = isoUtcNow();
    stamp.program = desktop.applicationName();
    stamp.version = kVersion;
    stamp.frontEnd = "extractor";
    return stamp;
}

} // namespace

int showHistory(const Options& options, std::ostream& out, std::ostream& err, FileSystem& fileSystem) {
    std::string journalPath;
    const auto journal = readJournalFile(fileSystem, err, journalPath);
    if (!journal)
        return ExitCode::ReportsChanged;
    PageDesktop desktop(err, {options.quiet, false, false});
    if (journal->entries.empty() && journal->damaged.empty())
        desktop.note("The journal " + journalPath + " lists nothing yet: the history is empty.");
    History history = buildHistory(*journal, {options.module, options.since, options.until}, fileSystem);
    history.journalPath = journalPath;
    warnOfWhatIsLeftOut(history, desktop);
    ReportDestination where;
    const std::string content = historyContent(history, options.page, where.extension);
    const int code = history.reportsFailed() ? ExitCode::ReportsChanged : ExitCode::Success;
    // The exports are for scripts: into standard output unless a file is named.
    if (options.toStdout() || (options.page != Options::Page::Html && !options.output)) {
        out << content;
        out.flush();
        return out ? code : ExitCode::NotSaved;
    }
    where.path = options.output;
    where.nameTemplate = std::string(kHistoryName);
    const SavedReport saved = saveReport(content, where, desktop, fileSystem);
    if (!saved.saved()) {
        desktop.error("The history could not be saved" +
                      (saved.path.empty() ? std::string() : " as " + saved.path) + ": " + saved.error + ".");
        return ExitCode::NotSaved;
    }
    desktop.note("History saved as " + saved.path + ".");
    if (options.open)
        desktop.openFile(saved.path);
    return code;
}

int importReports(const Options& options, std::ostream& err, FileSystem& fileSystem) {
    PageDesktop desktop(err, {options.quiet, false, false});
    std::vector<std::string> problems;
    const std::vector<std::string> files = reportFilesIn(options.importPaths, problems);
    for (const std::string& problem : problems)
        desktop.error(problem);
    if (!problems.empty())
        return ExitCode::Usage;
    if (files.empty()) {
        desktop.error("No report (*.CSV, *.json) found there; nothing imported.");
        return ExitCode::Usage;
    }
    std::string journalPath;
    const auto journal = readJournalFile(fileSystem, err, journalPath);
    if (!journal)
        return ExitCode::NotSaved;
    std::string journalError;
    const auto results = z83::importReports(files, *options.module, journal->entries, importStamp(desktop),
                                            dataFolder(), fileSystem, journalError);
    const auto added = tellImports(results, desktop);
    if (!added) {
        desktop.error("Nothing was imported: move or mend the files named above and import again.");
        return ExitCode::Usage;
    }
    if (!journalError.empty()) {
        desktop.error("The journal " + journalPath + " could not be written: " + journalError);
        return ExitCode::NotSaved;
    }
    desktop.note(std::to_string(*added) + " of " + std::to_string(results.size()) +
                 " reports imported into module " + *options.module + "'s history.");
    return ExitCode::Success;
}

} // namespace z83::cli
