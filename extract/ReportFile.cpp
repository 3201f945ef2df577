#include "ReportFile.h"

#include "LogRecord.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace z83 {

namespace {

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string reason(int error) {
    return std::strerror(error);
}

// Writes content to a new temporary file in folder and syncs it. On failure nothing is left behind.
int writeTemporary(FileSystem& fs, const std::string& folder, const std::string& stem,
                   std::string_view content, std::string& tempPath, std::string& step) {
    int fd = -1;
    if (int e = fs.createTemporary(folder, stem, tempPath, fd)) {
        step = "could not create a file in " + folder;
        return e;
    }
    int e = fs.writeAll(fd, content);
    if (e)
        step = "could not write";
    if (!e && (e = fs.syncFile(fd)))
        step = "could not flush to disk";
    int closed = fs.closeFile(fd);
    if (!e && closed) {
        e = closed;
        step = "could not close";
    }
    if (e)
        fs.removeFile(tempPath);
    return e;
}

} // namespace

int FileSystem::createTemporary(const std::string& folder, const std::string& stem, std::string& path,
                                int& fd) {
    // Not mkstemp: its files are private to the user, and a report should get the usual permissions.
    static std::mt19937_64 random(std::random_device{}() ^ static_cast<std::uint64_t>(::getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "%012llx",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        std::string candidate = joinPath(folder, "~" + stem + "." + suffix + ".tmp");
        fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            path = candidate;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int FileSystem::writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int FileSystem::syncFile(int fd) {
    return ::fsync(fd) == 0 ? 0 : errno;
}

int FileSystem::closeFile(int fd) {
    return ::close(fd) == 0 ? 0 : errno;
}

int FileSystem::moveNoReplace(const std::string& from, const std::string& to) {
    // A hard link claims the name atomically and fails when it is taken.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    int e = errno;
    if (e != EPERM && e != ENOSYS && e != EOPNOTSUPP && e != EXDEV)
        return e;
    // Folders without hard links (FAT media, some network shares).
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    e = errno;
    if (e != EINVAL && e != ENOSYS)
        return e;
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileSystem::moveReplace(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileSystem::removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int FileSystem::syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int e = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // Some file systems cannot sync a folder; the file itself is on disk already.
    return (e == EINVAL || e == EROFS) ? 0 : e;
}

int FileSystem::makeFolders(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return ec ? ec.value() : 0;
}

bool FileSystem::folderExists(const std::string& folder) {
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int FileSystem::readWhole(const std::string& path, std::string& content) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    content.clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int e = errno;
            ::close(fd);
            return e;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return 0;
}

FileSystem& FileSystem::real() {
    static FileSystem fs;
    return fs;
}

std::string reportStem(const LocalDateTime& now) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "Log%04d%02d%02d%02d%02d%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    return stamp;
}

std::string reportFileContent(std::string_view reportText) {
    std::string content;
    content.reserve(reportText.size() + 100);
    content += kReportHeader;
    content += "\r\n";
    content += reportText;
    content += "\r\n";
    return content;
}

SavedFile saveNewReport(const std::string& folder, const std::string& stem, std::string_view content,
                        FileSystem& fs, const std::string& extension) {
    SavedFile result;
    result.path = joinPath(folder, stem + extension);
    std::string temp, step;
    if (int e = writeTemporary(fs, folder, stem, content, temp, step)) {
        result.error = step + ": " + reason(e);
        return result;
    }
    constexpr int kMaxSuffix = 9999;
    for (int n = 1; n <= kMaxSuffix; ++n) {
        std::string name = stem;
        if (n > 1)
            name += "-" + std::to_string(n);
        name += extension;
        result.path = joinPath(folder, name);
        int e = fs.moveNoReplace(temp, result.path);
        if (e == EEXIST)
            continue;
        if (e) {
            fs.removeFile(temp);
            result.error = "could not give the file its name: " + reason(e);
            return result;
        }
        if ((e = fs.syncFolder(folder))) {
            // The file is whole under its name, but may not survive a power cut: treat as not saved.
            result.error = "could not flush the folder to disk: " + reason(e);
            return result;
        }
        result.saved = true;
        return result;
    }
    fs.removeFile(temp);
    result.error = "every report name for this second is taken";
    return result;
}

SavedFile saveReportAt(const std::string& path, std::string_view content, FileSystem& fs) {
    SavedFile result;
    result.path = path;
    std::string folder = folderOf(path);
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    std::string temp, step;
    if (int e = writeTemporary(fs, folder, name, content, temp, step)) {
        result.error = step + ": " + reason(e);
        return result;
    }
    if (int e = fs.moveReplace(temp, path)) {
        fs.removeFile(temp);
        result.error = "could not give the file its name: " + reason(e);
        return result;
    }
    if (int e = fs.syncFolder(folder)) {
        result.error = "could not flush the folder to disk: " + reason(e);
        return result;
    }
    result.saved = true;
    return result;
}

bool readsBackAs(const std::string& path, std::string_view content, FileSystem& fs) {
    std::string actual;
    return fs.readWhole(path, actual) == 0 && actual == content;
}

std::string reportFolder(Desktop& desktop, std::string& error, FileSystem& fs) {
    error.clear();
    std::string documents = desktop.GetSpecialFolder(kFolderDocuments);
    if (!documents.empty()) {
        if (fs.folderExists(documents))
            return documents;
        int e = fs.makeFolders(documents);
        if (e == 0 && fs.folderExists(documents))
            return documents;
        error = "the documents folder " + documents + " could not be created: " + reason(e ? e : ENOTDIR);
    }
    std::string home = desktop.GetSpecialFolder(kFolderProfile);
    if (!home.empty() && fs.folderExists(home))
        return home;
    if (error.empty())
        error = "no documents or home folder is known";
    return {};
}

} // namespace z83
