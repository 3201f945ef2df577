#pragma once

#include "extract/FileSystem.h"

namespace z83 {

// The file system of the platform the program is built for: FileSystemPosix.cpp on Linux and other POSIX
// systems; FileSystemWin32.cpp on Windows, where paths are UTF-8 text in Windows form and '/' is accepted
// as a separator too.
class NativeFileSystem : public FileSystem {
public:
    std::error_code createNew(const std::string& path, Handle& file) override;
    std::error_code writeAll(Handle file, std::string_view data) override;
    std::error_code syncFile(Handle file) override;
    std::error_code closeFile(Handle file) override;
    std::error_code keepPermissionsOf(const std::string& existing, Handle file) override;
    std::error_code moveNoReplace(const std::string& from, const std::string& to) override;
    std::error_code moveReplace(const std::string& from, const std::string& to) override;
    std::error_code removeFile(const std::string& path) override;
    std::error_code syncFolder(const std::string& folder) override;
    std::error_code makeFolders(const std::string& folder) override;
    std::error_code writeInto(const std::string& path, std::string_view data) override;
    std::error_code readBlocks(const std::string& path,
                               const std::function<bool(std::string_view block)>& onBlock) override;
    std::error_code appendLine(const std::string& path, std::string_view line) override;
    PathKind kindOf(const std::string& path) override;
    std::error_code resolveLinks(const std::string& path, std::string& target) override;

    std::string join(const std::string& folder, const std::string& name) const override;
    std::string folderOf(const std::string& path) const override;
    std::string nameOf(const std::string& path) const override;
};

} // namespace z83
