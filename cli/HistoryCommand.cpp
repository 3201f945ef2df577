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

#include <ostream>

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
    for (const std::string& warning : history.warnings)
        desktop.error("Warning: " + warning);
    std::size_t unused = 0;
    for (const ModuleHistory& module : history.modules)
        unused += module.figures.unusedReports;
    if (unused > 0)
        desktop.error("Warning: " + std::to_string(unused) +
                      " of the reports the journal lists are missing, changed, replaced or unreadable; "
                      "the history leaves their records out (see its visits, or --journal --verify).");

    std::string content;
    ReportDestination where;
    switch (options.page) {
    case Options::Page::Html:
        content = historyPage(history, std::string(kProgramName) + " " + kVersion);
        where.extension = ".html";
        break;
    case Options::Page::Csv:
        content = forPerson(historyCsv(history));
        where.extension = ".csv";
        break;
    case Options::Page::Json:
        content = forPerson(historyJson(history));
        where.extension = ".json";
        break;
    }
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
    JournalEntry stamp;
    stamp.time = isoTime(desktop.localNow());
    stamp.utc = isoUtcNow();
    stamp.program = desktop.applicationName();
    stamp.version = kVersion;
    stamp.frontEnd = "extractor";
    std::string journalError;
    const auto results = z83::importReports(files, *options.module, journal->entries, stamp, dataFolder(),
                                            fileSystem, journalError);
    bool refused = false;
    std::size_t added = 0;
    for (const ImportedFile& file : results)
        refused = refused || file.outcome == ImportedFile::Outcome::Refused ||
                  file.outcome == ImportedFile::Outcome::Unreadable;
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
    if (refused) {
        desktop.error("Nothing was imported: move or mend the files named above and import again.");
        return ExitCode::Usage;
    }
    if (!journalError.empty()) {
        desktop.error("The journal " + journalPath + " could not be written: " + journalError);
        return ExitCode::NotSaved;
    }
    desktop.note(std::to_string(added) + " of " + std::to_string(results.size()) +
                 " reports imported into module " + *options.module + "'s history.");
    return ExitCode::Success;
}

} // namespace z83::cli
