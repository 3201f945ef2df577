#include "extract/NativeFileSystem.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace z83 {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::error_code errorOf(int e) {
    return {e, std::generic_category()};
}

int fdOf(FileSystem::Handle file) {
    return static_cast<int>(file);
}

std::error_code writeAllTo(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

} // namespace

std::error_code NativeFileSystem::createNew(const std::string& path, Handle& file) {
    // Not mkstemp: its files are private to the user, and a report should get the usual permissions.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return lastError();
    file = fd;
    return {};
}

std::error_code NativeFileSystem::writeAll(Handle file, std::string_view data) {
    return writeAllTo(fdOf(file), data);
}

std::error_code NativeFileSystem::syncFile(Handle file) {
    return ::fsync(fdOf(file)) == 0 ? std::error_code() : lastError();
}

std::error_code NativeFileSystem::closeFile(Handle file) {
    return ::close(fdOf(file)) == 0 ? std::error_code() : lastError();
}

std::error_code NativeFileSystem::keepPermissionsOf(const std::string& existing, Handle file) {
    struct stat st;
    if (::stat(existing.c_str(), &st) != 0)
        return lastError();
    // The owner only where we may set it (as root); the permissions always.
    if (::fchown(fdOf(file), st.st_uid, st.st_gid) != 0 && errno != EPERM)
        return lastError();
    return ::fchmod(fdOf(file), st.st_mode & 07777) == 0 ? std::error_code() : lastError();
}

std::error_code NativeFileSystem::moveNoReplace(const std::string& from, const std::string& to) {
    // A hard link claims the name atomically and fails when it is taken.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return {};
    }
    int e = errno;
    if (e != EPERM && e != ENOSYS && e != EOPNOTSUPP && e != EXDEV)
        return errorOf(e);
    // Folders without hard links (FAT media, some network shares).
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    e = errno;
    if (e != EINVAL && e != ENOSYS)
        return errorOf(e);
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0)
        return errorOf(EEXIST);
    return ::rename(from.c_str(), to.c_str()) == 0 ? std::error_code() : lastError();
}

std::error_code NativeFileSystem::moveReplace(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? std::error_code() : lastError();
}

std::error_code NativeFileSystem::removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? std::error_code() : lastError();
}

std::error_code NativeFileSystem::syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    int e = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // Some file systems cannot sync a folder; the file itself is on disk already.
    return (e == EINVAL || e == EROFS) ? std::error_code() : errorOf(e);
}

std::error_code NativeFileSystem::makeFolders(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return ec;
}

std::error_code NativeFileSystem::writeInto(const std::string& path, std::string_view data) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return lastError();
    std::error_code e = writeAllTo(fd, data);
    if (::close(fd) != 0 && !e)
        e = lastError();
    return e;
}

std::error_code NativeFileSystem::readBlocks(const std::string& path,
                                             const std::function<bool(std::string_view block)>& onBlock) {
    // Non-blocking, so that a FIFO put where a file was cannot hold the program; refused once open.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return lastError();
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const std::error_code e = S_ISREG(st.st_mode) ? lastError() : errorOf(EINVAL);
        ::close(fd);
        return e;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::error_code e = lastError();
            ::close(fd);
            return e;
        }
        if (n == 0 || !onBlock(std::string_view(buffer, static_cast<std::size_t>(n))))
            break;
    }
    ::close(fd);
    return {};
}

std::error_code NativeFileSystem::appendLine(const std::string& path, std::string_view line) {
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return lastError();
    std::error_code e;
    // Released when the file is closed, also when the process dies.
    while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) {
            e = lastError();
            break;
        }
    struct stat st;
    if (!e && ::fstat(fd, &st) != 0)
        e = lastError();
    char last = '\n';
    if (!e && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) != 1)
        e = lastError();
    if (!e)
        e = writeAllTo(fd, lineToAppend(line, last != '\n'));
    if (!e && ::fsync(fd) != 0)
        e = lastError();
    if (::close(fd) != 0 && !e)
        e = lastError();
    return e;
}

PathKind NativeFileSystem::kindOf(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return PathKind::Missing; // whatever keeps us from seeing it will also keep us from writing there
    if (S_ISLNK(st.st_mode))
        return PathKind::Link;
    if (S_ISDIR(st.st_mode))
        return PathKind::Folder;
    if (S_ISREG(st.st_mode))
        return PathKind::File;
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
        return PathKind::Stream;
    return PathKind::Other;
}

std::error_code NativeFileSystem::resolveLinks(const std::string& path, std::string& target) {
    std::string at = path;
    for (int hop = 0; hop < 40; ++hop) {
        if (kindOf(at) != PathKind::Link) {
            target = at;
            return {};
        }
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(at.c_str(), buffer, sizeof buffer);
        if (n < 0)
            return lastError();
        std::string next(buffer, static_cast<std::size_t>(n));
        at = next.starts_with('/') ? next : join(folderOf(at), next);
    }
    return errorOf(ELOOP);
}

std::string NativeFileSystem::join(const std::string& folder, const std::string& name) const {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string NativeFileSystem::folderOf(const std::string& path) const {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NativeFileSystem::nameOf(const std::string& path) const {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace z83
