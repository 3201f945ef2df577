#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace z83 {

// What a path names.
enum class PathKind {
    Missing,
    Folder,
    File,   // a regular file
    Link,   // a symbolic link, whatever it points to
    Stream, // a device, a FIFO or a socket: written into, never replaced
    Other,
};

// The file-system steps of saving a report, one platform's implementation each, so that the core builds
// everywhere and tests can make any single step fail. Every step gives an empty error_code on success; a
// name that is taken is std::errc::file_exists on every platform, the one error the core acts on.
class FileSystem {
public:
    using Handle = std::intptr_t;

    virtual ~FileSystem() = default;

    // Creates a new, empty file at path and opens it for writing, only when no file has that name (which
    // gives file_exists); never follows a link there. It gets the permissions a new file of the user gets.
    virtual std::error_code createNew(const std::string& path, Handle& file) = 0;
    virtual std::error_code writeAll(Handle file, std::string_view data) = 0;
    virtual std::error_code syncFile(Handle file) = 0;
    virtual std::error_code closeFile(Handle file) = 0;
    // Gives the open file the permissions (and, where allowed, the owner) of the existing file.
    virtual std::error_code keepPermissionsOf(const std::string& existing, Handle file) = 0;
    // Gives the file at from the name to in one step; file_exists when to is taken, which stays untouched.
    virtual std::error_code moveNoReplace(const std::string& from, const std::string& to) = 0;
    // Gives the file at from the name to in one step, replacing a file there.
    virtual std::error_code moveReplace(const std::string& from, const std::string& to) = 0;
    virtual std::error_code removeFile(const std::string& path) = 0;
    virtual std::error_code syncFolder(const std::string& folder) = 0;
    virtual std::error_code makeFolders(const std::string& folder) = 0;
    // Writes into an existing stream (a device, a FIFO) without creating or replacing anything.
    virtual std::error_code writeInto(const std::string& path, std::string_view data) = 0;
    // Reads the file from its start in blocks, handing each to onBlock until the end or until onBlock
    // gives false; so that a large file is checked or hashed without a second copy of it in memory. Only a
    // regular file is read (anything else gives invalid_argument), and opening it never waits for a writer.
    virtual std::error_code readBlocks(const std::string& path,
                                       const std::function<bool(std::string_view block)>& onBlock) = 0;
    // The whole file, for the small ones.
    std::error_code readWhole(const std::string& path, std::string& content);
    // Appends line and a line end to the file at path (created when missing) as one step that other
    // programs appending the same way never split: under an exclusive lock, in one write, flushed to disk
    // before it returns. A last line left incomplete (a writer killed mid-line) is ended first, so the new
    // line stands on its own.
    virtual std::error_code appendLine(const std::string& path, std::string_view line) = 0;
    virtual PathKind kindOf(const std::string& path) = 0;
    // The path that symbolic links lead to (the path itself when it is none); the last target need not
    // exist. Fails on a loop of links.
    virtual std::error_code resolveLinks(const std::string& path, std::string& target) = 0;

    // Paths are text in the platform's form.
    virtual std::string join(const std::string& folder, const std::string& name) const = 0;
    // The folder part of a path ("." for a bare name) and the name part.
    virtual std::string folderOf(const std::string& path) const = 0;
    virtual std::string nameOf(const std::string& path) const = 0;
};

// What FileSystem::appendLine writes after the file's last byte: the line and its end, after an end for a
// last line left incomplete.
inline std::string lineToAppend(std::string_view line, bool lastLineIncomplete) {
    std::string text;
    text.reserve(line.size() + 2);
    if (lastLineIncomplete)
        text += '\n';
    text.append(line);
    text += '\n';
    return text;
}

} // namespace z83
