#include "extract/ReportFile.h"

#include "desktop/Sha256.h"
#include "extract/CsvReport.h"

#include <chrono>
#include <cstdio>
#include <iterator>
#include <random>

namespace z83 {

namespace {

enum class Placeholder { Stamp, Id, Model };
constexpr std::string_view kPlaceholders[] = {"{stamp}", "{id}", "{model}"};

// The placeholder text starts with, if any.
std::optional<Placeholder> placeholderAt(std::string_view text) {
    for (std::size_t i = 0; i < std::size(kPlaceholders); ++i)
        if (text.starts_with(kPlaceholders[i]))
            return static_cast<Placeholder>(i);
    return std::nullopt;
}

// Room for the extension, the "-9999" of a taken name and the temporary file's own additions within the
// 255 characters a file name may have.
constexpr std::size_t kMostNameCharacters = 200;

// Characters no file name may hold on Windows, "/" on any system, control characters anywhere.
bool allowedInName(char c) {
    return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F &&
           std::string_view(R"(/\:*?"<>|)").find(c) == std::string_view::npos;
}

std::string failed(const std::string& step, std::error_code e) {
    return step + ": " + e.message();
}

// Creates a temporary file beside the report under a name no file has: "~stem.<12 random hex digits>.tmp",
// with a new random suffix for each name that is taken.
std::error_code createTemporary(FileSystem& fs, const std::string& folder, const std::string& stem,
                                std::string& path, FileSystem::Handle& file) {
    static std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "%012llx",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        std::string candidate = fs.join(folder, "~" + stem + "." + suffix + ".tmp");
        const std::error_code e = fs.createNew(candidate, file);
        if (!e) {
            path = std::move(candidate);
            return {};
        }
        if (e != std::errc::file_exists)
            return e;
    }
    return std::make_error_code(std::errc::file_exists);
}

// Writes content to a new temporary file in folder and flushes it, with the permissions of keepOf when
// given. On failure nothing is left behind and the reason comes back.
std::optional<std::string> writeTemporary(FileSystem& fs, const std::string& folder, const std::string& stem,
                                          std::string_view content, const std::string* keepOf,
                                          std::string& tempPath) {
    FileSystem::Handle file = -1;
    if (auto e = createTemporary(fs, folder, stem, tempPath, file))
        return failed("could not create a file in " + folder, e);
    std::optional<std::string> why;
    if (keepOf)
        if (auto e = fs.keepPermissionsOf(*keepOf, file))
            why = failed("could not give it the permissions of " + *keepOf, e);
    if (!why)
        if (auto e = fs.writeAll(file, content))
            why = failed("could not write", e);
    if (!why)
        if (auto e = fs.syncFile(file))
            why = failed("could not flush to disk", e);
    if (auto e = fs.closeFile(file); e && !why)
        why = failed("could not close", e);
    if (why)
        fs.removeFile(tempPath);
    return why;
}

// The file is whole under its name; it counts as saved once the folder holds the name on disk, as a file
// that a power cut could take back is no report to clear a module over.
SavedReport flushedUnderItsName(SavedReport result, const std::string& folder, FileSystem& fs) {
    if (auto e = fs.syncFolder(folder))
        result.error = failed("could not flush the folder to disk", e);
    else
        result.outcome = SavedReport::Outcome::File;
    return result;
}

SavedReport newReport(std::string_view content, const std::string& folder, const std::string& stem,
                      const std::string& extension, FileSystem& fs) {
    SavedReport result;
    result.path = fs.join(folder, stem + extension);
    std::string temp;
    if (auto why = writeTemporary(fs, folder, stem, content, nullptr, temp)) {
        result.error = *why;
        return result;
    }
    constexpr int kMaxSuffix = 9999;
    for (int n = 1; n <= kMaxSuffix; ++n) {
        std::string name = stem;
        if (n > 1)
            name += "-" + std::to_string(n);
        result.path = fs.join(folder, name + extension);
        const std::error_code e = fs.moveNoReplace(temp, result.path);
        if (e == std::errc::file_exists)
            continue;
        if (e) {
            fs.removeFile(temp);
            result.error = failed("could not give the file its name", e);
            return result;
        }
        return flushedUnderItsName(result, folder, fs);
    }
    fs.removeFile(temp);
    result.error = "every name from " + stem + extension + " to " + stem + "-" + std::to_string(kMaxSuffix) +
                   extension + " is taken";
    return result;
}

SavedReport reportAt(std::string_view content, const std::string& path, FileSystem& fs) {
    SavedReport result;
    result.path = path;
    std::string target;
    if (auto e = fs.resolveLinks(path, target)) {
        result.error = failed("could not follow the link", e);
        return result;
    }
    const PathKind kind = fs.kindOf(target);
    if (kind == PathKind::Stream) {
        if (auto e = fs.writeInto(target, content)) {
            result.error = failed("could not write", e);
            return result;
        }
        result.outcome = SavedReport::Outcome::Stream;
        return result;
    }
    if (kind != PathKind::File && kind != PathKind::Missing) {
        result.error = target + (kind == PathKind::Folder ? " is a folder" : " is not a regular file");
        return result;
    }
    const std::string folder = fs.folderOf(target);
    std::string temp;
    if (auto why = writeTemporary(fs, folder, fs.nameOf(target), content,
                                  kind == PathKind::File ? &target : nullptr, temp)) {
        result.error = *why;
        return result;
    }
    if (auto e = fs.moveReplace(temp, target)) {
        fs.removeFile(temp);
        result.error = failed("could not give the file its name", e);
        return result;
    }
    return flushedUnderItsName(result, folder, fs);
}

// Whether the file holds exactly content, compared block by block.
bool readsBackAs(FileSystem& fs, const std::string& path, std::string_view content) {
    std::size_t at = 0;
    bool same = true;
    const std::error_code e = fs.readBlocks(path, [&](std::string_view block) {
        same = content.substr(at, block.size()) == block;
        at += block.size();
        return same;
    });
    return !e && same && at == content.size();
}

bool isFolder(FileSystem& fs, const std::string& path) {
    std::string target;
    return !path.empty() && !fs.resolveLinks(path, target) && fs.kindOf(target) == PathKind::Folder;
}

} // namespace

std::string reportFolder(Desktop& desktop, FileSystem& fs, std::string& error) {
    error.clear();
    std::string documents = desktop.GetSpecialFolder(SpecialFolder::Documents);
    if (!documents.empty()) {
        if (fs.kindOf(documents) != PathKind::Missing) {
            if (isFolder(fs, documents))
                return documents;
            error = "the documents folder " + documents + " is not a folder";
        } else if (auto e = fs.makeFolders(documents)) {
            error = failed("the documents folder " + documents + " could not be created", e);
        } else if (isFolder(fs, documents)) {
            return documents;
        }
    }
    std::string home = desktop.GetSpecialFolder(SpecialFolder::Profile);
    if (isFolder(fs, home))
        return home;
    if (error.empty())
        error = "no documents or home folder is known";
    return {};
}

std::string reportNameProblem(std::string_view nameTemplate) {
    if (nameTemplate.empty())
        return "a report's name cannot be empty";
    std::size_t length = 0;
    for (std::size_t at = 0; at < nameTemplate.size();) {
        const std::string_view rest = nameTemplate.substr(at);
        if (rest.front() == '{') {
            const auto known = placeholderAt(rest);
            if (!known)
                return "unknown placeholder at \"" + std::string(rest.substr(0, 12)) +
                       "\": use {stamp}, {id} or {model}";
            at += kPlaceholders[static_cast<std::size_t>(*known)].size();
            length += 14; // the longest of the three
            continue;
        }
        if (const char c = rest.front(); !allowedInName(c)) {
            if (c == '/' || c == '\\')
                return "a report's name cannot lead into another folder";
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                return "a report's name cannot hold control characters";
            return std::string("a file name cannot hold \"") + c + "\" on every system";
        }
        ++at;
        ++length;
    }
    if (length > kMostNameCharacters)
        return "a report's name can have at most " + std::to_string(kMostNameCharacters) + " characters";
    return {};
}

std::string reportName(std::string_view nameTemplate, const LocalDateTime& now, std::string_view moduleId,
                       std::string_view model) {
    std::string name;
    for (std::size_t at = 0; at < nameTemplate.size();) {
        const std::string_view rest = nameTemplate.substr(at);
        const auto placeholder = placeholderAt(rest);
        if (!placeholder) {
            name += rest.front();
            ++at;
            continue;
        }
        at += kPlaceholders[static_cast<std::size_t>(*placeholder)].size();
        switch (*placeholder) {
        case Placeholder::Stamp:
            name += reportStamp(now);
            break;
        case Placeholder::Id:
            name += moduleId;
            break;
        case Placeholder::Model:
            // The model is the module's own text: it must not steer the name anywhere.
            for (const char c : model.substr(0, 14))
                name += allowedInName(c) ? c : '_';
            break;
        }
    }
    return name;
}

SavedReport saveReport(std::string_view content, const ReportDestination& where, Desktop& desktop,
                       FileSystem& fs) {
    SavedReport result;
    if (where.path) {
        result = reportAt(content, *where.path, fs);
    } else {
        const std::string folder = reportFolder(desktop, fs, result.error);
        if (folder.empty())
            return result;
        const std::string name =
            reportName(where.nameTemplate, desktop.localNow(), where.moduleId, where.model);
        result = newReport(content, folder, name, where.extension, fs);
    }
    if (result.outcome == SavedReport::Outcome::File) {
        if (!readsBackAs(fs, result.path, content)) {
            result.outcome = SavedReport::Outcome::NotSaved;
            result.error = "the file does not read back as written";
        }
    }
    if (result.saved()) {
        // What is on disk equals content, so its hash is the saved file's.
        result.size = content.size();
        result.sha256 = sha256Hex(content);
    }
    return result;
}

} // namespace z83
