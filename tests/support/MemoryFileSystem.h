#pragma once

#include "tests/support/FailingFileSystem.h"

#include <map>
#include <vector>

namespace z83::test {

// Files, folders, links and streams in memory, with '/' paths: the same on Linux and under Wine.
class InMemoryFileSystem : public FileSystem {
public:
    struct Node {
        PathKind kind = PathKind::File;
        std::string content; // a file's bytes, what a stream received, a link's target
    };
    std::map<std::string, Node> nodes{{"/", {PathKind::Folder, {}}}};

    void put(const std::string& path, PathKind kind, const std::string& content = {}) {
        makeFolders(folderOf(path));
        nodes[path] = {kind, content};
    }
    std::string contentOf(const std::string& path) const {
        const auto it = nodes.find(path);
        return it == nodes.end() ? "(missing)" : it->second.content;
    }
    std::vector<std::string> names(const std::string& folder) const { // sorted
        std::vector<std::string> result;
        for (const auto& [path, node] : nodes)
            if (path != "/" && folderOf(path) == folder)
                result.push_back(nameOf(path));
        return result;
    }

    std::error_code createNew(const std::string& path, Handle& file) override {
        if (auto e = folderError(folderOf(path)))
            return e;
        if (nodes.count(path))
            return error(std::errc::file_exists);
        nodes[path] = {};
        file = static_cast<Handle>(open_.size());
        open_.push_back(path);
        return {};
    }
    std::error_code writeAll(Handle file, std::string_view data) override {
        nodes[open_.at(static_cast<std::size_t>(file))].content += data;
        return {};
    }
    std::error_code syncFile(Handle) override { return {}; }
    std::error_code closeFile(Handle) override { return {}; }
    std::error_code keepPermissionsOf(const std::string&, Handle) override { return {}; }
    std::error_code moveNoReplace(const std::string& from, const std::string& to) override {
        return nodes.count(to) ? error(std::errc::file_exists) : moveReplace(from, to);
    }
    std::error_code moveReplace(const std::string& from, const std::string& to) override {
        if (kindOf(to) == PathKind::Folder)
            return error(std::errc::is_a_directory);
        nodes[to] = nodes.at(from);
        nodes.erase(from);
        return {};
    }
    std::error_code removeFile(const std::string& path) override {
        return nodes.erase(path) ? std::error_code() : error(std::errc::no_such_file_or_directory);
    }
    std::error_code syncFolder(const std::string& folder) override { return folderError(folder); }
    std::error_code makeFolders(const std::string& folder) override {
        if (kindOf(folder) == PathKind::Missing && folder != folderOf(folder)) {
            if (auto e = makeFolders(folderOf(folder)))
                return e;
            nodes[folder] = {PathKind::Folder, {}};
        }
        return folderError(folder);
    }
    std::error_code writeInto(const std::string& path, std::string_view data) override {
        if (kindOf(path) != PathKind::Stream)
            return error(std::errc::invalid_argument);
        nodes[path].content += data;
        return {};
    }
    // In small blocks, so that readers meet more than one.
    std::error_code readBlocks(const std::string& path,
                               const std::function<bool(std::string_view block)>& onBlock) override {
        std::string target;
        if (resolveLinks(path, target) || kindOf(target) != PathKind::File)
            return error(std::errc::no_such_file_or_directory);
        const std::string_view content = nodes[target].content;
        for (std::size_t at = 0; at < content.size(); at += 1000)
            if (!onBlock(content.substr(at, 1000)))
                break;
        return {};
    }
    std::error_code appendLine(const std::string& path, std::string_view line) override {
        if (auto e = folderError(folderOf(path)))
            return e;
        std::string& content = nodes[path].content;
        content += lineToAppend(line, !content.empty() && content.back() != '\n');
        return {};
    }
    PathKind kindOf(const std::string& path) override {
        const auto it = nodes.find(path);
        return it == nodes.end() ? PathKind::Missing : it->second.kind;
    }
    std::error_code resolveLinks(const std::string& path, std::string& target) override {
        target = path;
        for (int hop = 0; kindOf(target) == PathKind::Link; ++hop) {
            if (hop == 40)
                return error(std::errc::too_many_symbolic_link_levels);
            const std::string& next = nodes[target].content;
            target = next.starts_with('/') ? next : join(folderOf(target), next);
        }
        return {};
    }

    std::string join(const std::string& folder, const std::string& name) const override {
        return folder.ends_with('/') ? folder + name : folder + "/" + name;
    }
    std::string folderOf(const std::string& path) const override {
        const auto slash = path.rfind('/');
        return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    }
    std::string nameOf(const std::string& path) const override { return path.substr(path.rfind('/') + 1); }

private:
    static std::error_code error(std::errc e) { return std::make_error_code(e); }
    std::error_code folderError(const std::string& folder) {
        const PathKind kind = kindOf(folder);
        return kind == PathKind::Folder
                   ? std::error_code()
                   : error(kind == PathKind::Missing ? std::errc::no_such_file_or_directory
                                                     : std::errc::not_a_directory);
    }
    std::vector<std::string> open_; // by handle
};

// The in-memory file system with a step that can be made to fail.
using MemoryFileSystem = Failing<InMemoryFileSystem>;

} // namespace z83::test
