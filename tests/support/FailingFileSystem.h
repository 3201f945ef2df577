#pragma once

#include "PosixFileSystem.h"

#include <cerrno>

namespace z83::test {

// The real file system with one chosen step made to fail, or a file that reads back other than written.
struct FailingFileSystem : PosixFileSystem {
    enum class Step { None, Write, Sync, Move, SyncFolder, ReadBack };
    Step failing = Step::None;

    explicit FailingFileSystem(Step step = Step::None) : failing(step) {}

    static std::error_code error(int e) { return {e, std::generic_category()}; }

    std::error_code writeAll(Handle file, std::string_view data) override {
        if (failing != Step::Write)
            return PosixFileSystem::writeAll(file, data);
        PosixFileSystem::writeAll(file, data.substr(0, data.size() / 2));
        return error(ENOSPC);
    }
    std::error_code syncFile(Handle file) override {
        return failing == Step::Sync ? error(EIO) : PosixFileSystem::syncFile(file);
    }
    std::error_code moveNoReplace(const std::string& from, const std::string& to) override {
        return failing == Step::Move ? error(EACCES) : PosixFileSystem::moveNoReplace(from, to);
    }
    std::error_code moveReplace(const std::string& from, const std::string& to) override {
        return failing == Step::Move ? error(EACCES) : PosixFileSystem::moveReplace(from, to);
    }
    std::error_code syncFolder(const std::string& folder) override {
        return failing == Step::SyncFolder ? error(EIO) : PosixFileSystem::syncFolder(folder);
    }
    // As a disk that lost the last byte.
    std::error_code readWhole(const std::string& path, std::string& content) override {
        std::error_code e = PosixFileSystem::readWhole(path, content);
        if (!e && failing == Step::ReadBack && !content.empty())
            content.pop_back();
        return e;
    }
};

} // namespace z83::test
