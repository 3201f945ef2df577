#pragma once

#include "Desktop.h"

#include <string>
#include <string_view>

namespace z83 {

// The file-system steps of saving a report. Tests replace single steps to make them fail; every
// step returns 0 or an errno value.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Creates a new, empty temporary file in folder; fills path and fd.
    virtual int createTemporary(const std::string& folder, const std::string& stem, std::string& path,
                                int& fd);
    virtual int writeAll(int fd, std::string_view data);
    virtual int syncFile(int fd);
    virtual int closeFile(int fd);
    // Gives the file at from the name to, failing with EEXIST when to is taken.
    virtual int moveNoReplace(const std::string& from, const std::string& to);
    // Gives the file at from the name to, replacing a file there.
    virtual int moveReplace(const std::string& from, const std::string& to);
    virtual int removeFile(const std::string& path);
    virtual int syncFolder(const std::string& folder);
    virtual int makeFolders(const std::string& folder);
    virtual bool folderExists(const std::string& folder);
    virtual int readWhole(const std::string& path, std::string& content);

    static FileSystem& real();
};

struct SavedFile {
    bool saved = false;
    std::string path;  // where the file is, or where it was meant to go
    std::string error; // the reason when it was not saved
};

// "Log" and the local time stamp YYYYMMDDHHMMSS.
std::string reportStem(const LocalDateTime& now);
// The header line and the report text, each ending in CR LF, then the empty last line.
std::string reportFileContent(std::string_view reportText);

// Saves content as stem + extension in folder, or as stem + "-2" + extension, "-3", ... when taken, never
// replacing a file. The content is written to a temporary file beside it, synced, then moved into place, so
// no file under a report name is ever partial.
SavedFile saveNewReport(const std::string& folder, const std::string& stem, std::string_view content,
                        FileSystem& fs = FileSystem::real(), const std::string& extension = ".CSV");

// Saves content at path the same safe way, replacing a file there.
SavedFile saveReportAt(const std::string& path, std::string_view content,
                       FileSystem& fs = FileSystem::real());

// True when the file at path reads back as exactly content.
bool readsBackAs(const std::string& path, std::string_view content, FileSystem& fs = FileSystem::real());

// The folder reports go to: the documents folder (created when missing), else the home folder; "" when
// neither is known. error tells why the documents folder could not be used.
std::string reportFolder(Desktop& desktop, std::string& error, FileSystem& fs = FileSystem::real());

} // namespace z83
