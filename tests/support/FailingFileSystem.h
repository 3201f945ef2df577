#pragma once

#include "extract/NativeFileSystem.h"

#include <cerrno>

namespace z83::test {

enum class FailingStep { None, Write, Sync, Move, SyncFolder, ReadBack };

// A file system with one chosen step made to fail, or a file that reads back other than written.
template <class Base> struct Failing : Base {
    using Step = FailingStep;
    using Handle = FileSystem::Handle;
    Step failing = Step::None;

    explicit Failing(Step step = Step::None) : failing(step) {}

    static std::error_code error(int e) { return {e, std::generic_category()}; }

    std::error_code writeAll(Handle file, std::string_view data) override {
        if (failing != Step::Write)
            return Base::writeAll(file, data);
        Base::writeAll(file, data.substr(0, data.size() / 2));
        return error(ENOSPC);
    }
    std::error_code syncFile(Handle file) override {
        return failing == Step::Sync ? error(EIO) : Base::syncFile(file);
    }
    std::error_code moveNoReplace(const std::string& from, const std::string& to) override {
        return failing == Step::Move ? error(EACCES) : Base::moveNoReplace(from, to);
    }
    std::error_code moveReplace(const std::string& from, const std::string& to) override {
        return failing == Step::Move ? error(EACCES) : Base::moveReplace(from, to);
    }
    std::error_code syncFolder(const std::string& folder) override {
        return failing == Step::SyncFolder ? error(EIO) : Base::syncFolder(folder);
    }
    // As a disk that lost the last byte: each block is handed on once the next has come.
    std::error_code readBlocks(const std::string& path,
                               const std::function<bool(std::string_view)>& onBlock) override {
        if (failing != Step::ReadBack)
            return Base::readBlocks(path, onBlock);
        std::string held;
        bool go = true;
        std::error_code e = Base::readBlocks(path, [&](std::string_view block) {
            go = held.empty() || onBlock(held);
            held.assign(block);
            return go;
        });
        if (!e && go && !held.empty())
            onBlock(std::string_view(held).substr(0, held.size() - 1));
        return e;
    }
};

using FailingFileSystem = Failing<NativeFileSystem>;

} // namespace z83::test
