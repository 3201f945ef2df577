#include "history/Import.h"

#include "desktop/Sha256.h"
#include "history/History.h"
#include "history/ReportReading.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

namespace z83 {

namespace {

namespace stdfs = std::filesystem;

// Paths are UTF-8 text throughout the program, whatever the platform's own encoding of them.
stdfs::path pathOf(const std::string& text) {
    return stdfs::path(std::u8string(text.begin(), text.end()));
}
std::string textOf(const stdfs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool reportName(const stdfs::path& path) {
    std::string extension = textOf(path.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".csv" || extension == ".json";
}

} // namespace

std::vector<std::string> reportFilesIn(const std::vector<std::string>& paths,
                                       std::vector<std::string>& problems) {
    std::vector<std::string> files;
    for (const std::string& text : paths) {
        std::error_code e;
        const stdfs::path path = stdfs::absolute(pathOf(text), e).lexically_normal();
        if (!e && stdfs::is_directory(path, e)) {
            std::vector<std::string> found;
            stdfs::recursive_directory_iterator walk(path, stdfs::directory_options::skip_permission_denied,
                                                     e);
            for (; !e && walk != stdfs::recursive_directory_iterator(); walk.increment(e))
                if (walk->is_regular_file(e) && reportName(walk->path()))
                    found.push_back(textOf(walk->path()));
            if (e)
                problems.push_back(text + ": the folder could not be read: " + e.message());
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (!e && stdfs::is_regular_file(path, e)) {
            files.push_back(textOf(path));
        } else {
            problems.push_back(text + ": " +
                               (e ? e.message() : std::string("no file or folder of that name")));
        }
    }
    return files;
}

namespace {

// A file read and checked to be a report of the module: Added when it is, with its counts.
ImportedFile examined(const std::string& path, const std::string& moduleId, FileSystem& fs,
                      std::string& content, ReadReport& report) {
    ImportedFile result{path, ImportedFile::Outcome::Added, {}, 0, 0};
    if (auto e = fs.readWhole(path, content)) {
        result.outcome = ImportedFile::Outcome::Unreadable;
        result.why = e.message();
        return result;
    }
    report = readReport(content);
    if (!report.ok()) {
        result.outcome = ImportedFile::Outcome::Refused;
        result.why = "line " + std::to_string(report.badLine) + ": " + report.why;
    } else if (!report.moduleId.empty() && normalModuleId(report.moduleId) != moduleId) {
        result.outcome = ImportedFile::Outcome::Refused;
        result.why = "it is the report of module " + validUtf8(report.moduleId) + ", not of " + moduleId;
    }
    result.logs = report.records.size();
    result.flagged = static_cast<std::size_t>(
        std::count_if(report.records.begin(), report.records.end(),
                      [](const ReadRecord& r) { return r.status != LogStatus::Good; }));
    return result;
}

} // namespace

std::vector<ImportedFile> importReports(const std::vector<std::string>& files, const std::string& moduleId,
                                        const std::vector<JournalEntry>& journal,
                                        const JournalEntry& template_, const std::string& journalFolder,
                                        FileSystem& fs, std::string& journalError) {
    std::set<std::string> listed;
    for (const JournalEntry& entry : journal)
        if (entry.report && !entry.report->sha256.empty())
            listed.insert(entry.report->sha256);

    std::vector<ImportedFile> results;
    std::vector<JournalEntry> entries;
    bool refused = false;
    for (const std::string& path : files) {
        std::string content;
        ReadReport report;
        ImportedFile result = examined(path, moduleId, fs, content, report);
        if (result.outcome != ImportedFile::Outcome::Added) {
            refused = true;
            results.push_back(std::move(result));
            continue;
        }
        const std::string sha256 = sha256Hex(content);
        if (!listed.insert(sha256).second) {
            result.outcome = ImportedFile::Outcome::AlreadyListed;
        } else {
            JournalEntry entry = template_;
            entry.kind = JournalEntry::Kind::Import;
            entry.module = moduleId;
            entry.model = report.model;
            entry.logs = result.logs;
            entry.flagged = result.flagged;
            entry.outcome = std::string(kImportedOutcome);
            entry.report = JournalReport{path, content.size(), sha256, false};
            entries.push_back(std::move(entry));
        }
        results.push_back(std::move(result));
    }
    if (refused) // a folder with one stray file is imported once the file is moved, not half
        return results;
    for (const JournalEntry& entry : entries)
        if (journalError = appendToJournal(fs, journalFolder, entry); !journalError.empty())
            break;
    return results;
}

} // namespace z83
