#include "extract/NativeFileSystem.h"

#include "desktop/Utf16.h"

#include <algorithm>
#include <array>
#include <filesystem>

namespace z83 {

namespace {

std::error_code errorOf(DWORD code) {
    // A taken name is the one error the core acts on, so it gets the portable code.
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
        return std::make_error_code(std::errc::file_exists);
    return {static_cast<int>(code), std::system_category()};
}

std::error_code lastError() {
    return errorOf(::GetLastError());
}

HANDLE handleOf(FileSystem::Handle file) {
    return reinterpret_cast<HANDLE>(file);
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::error_code writeAllTo(HANDLE file, std::string_view data) {
    constexpr std::size_t kChunk = 1u << 24;
    while (!data.empty()) {
        const DWORD size = static_cast<DWORD>(std::min(data.size(), kChunk));
        DWORD written = 0;
        if (!::WriteFile(file, data.data(), size, &written, nullptr))
            return lastError();
        data.remove_prefix(written);
    }
    return {};
}

// The names Windows gives to devices in every folder, with or without an extension: "NUL", "nul.txt".
bool isDeviceName(std::string name) {
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); });
    static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
    if (std::find(kPlain.begin(), kPlain.end(), name) != kPlain.end())
        return true;
    return name.size() == 4 && (name.starts_with("COM") || name.starts_with("LPT")) && name[3] >= '1' &&
           name[3] <= '9';
}

// The kind of the path as the file system says, for a path that exists.
PathKind kindFromAttributes(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathKind::Folder; // a folder link too: writing into it is what following it means
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // Cloud placeholders and deduplicated files are reparse points as well, and ordinary files.
        WIN32_FIND_DATAW found;
        HANDLE search = ::FindFirstFileW(path.c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            ::FindClose(search);
            if (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK)
                return PathKind::Link;
        }
    }
    return PathKind::File;
}

// "\\?\C:\x" and "\\?\UNC\server\share" as paths are usually written.
std::wstring withoutLongPathPrefix(std::wstring path) {
    if (path.starts_with(L"\\\\?\\UNC\\"))
        return L"\\" + path.substr(7);
    if (path.starts_with(L"\\\\?\\"))
        return path.substr(4);
    return path;
}

} // namespace

std::error_code NativeFileSystem::createNew(const std::string& path, Handle& file) {
    // CREATE_NEW: never opens a file that is there already. No delete sharing: the name stays ours until it
    // is closed.
    HANDLE handle = ::CreateFileW(win::toUtf16(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    file = reinterpret_cast<Handle>(handle);
    return {};
}

std::error_code NativeFileSystem::writeAll(Handle file, std::string_view data) {
    return writeAllTo(handleOf(file), data);
}

std::error_code NativeFileSystem::syncFile(Handle file) {
    return ::FlushFileBuffers(handleOf(file)) ? std::error_code() : lastError();
}

std::error_code NativeFileSystem::closeFile(Handle file) {
    return ::CloseHandle(handleOf(file)) ? std::error_code() : lastError();
}

std::error_code NativeFileSystem::keepPermissionsOf(const std::string&, Handle) {
    // A new file takes the permissions its folder passes on to it, as the file it replaces did.
    return {};
}

std::error_code NativeFileSystem::moveNoReplace(const std::string& from, const std::string& to) {
    const std::wstring source = win::toUtf16(from), target = win::toUtf16(to);
    // A hard link claims the name in one step and fails when it is taken. MoveFileExW without
    // MOVEFILE_REPLACE_EXISTING would do on NTFS, but under Wine it checks the name and then renames.
    if (::CreateHardLinkW(target.c_str(), source.c_str(), nullptr)) {
        ::DeleteFileW(source.c_str()); // a leftover temporary name costs nothing; the report is in place
        return {};
    }
    const DWORD code = ::GetLastError();
    if (code != ERROR_INVALID_FUNCTION && code != ERROR_NOT_SUPPORTED && code != ERROR_NOT_SAME_DEVICE &&
        code != ERROR_ACCESS_DENIED)
        return errorOf(code);
    // Folders without hard links (FAT media, some shares): a rename that refuses a taken name.
    return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) ? std::error_code()
                                                                                 : lastError();
}

std::error_code NativeFileSystem::moveReplace(const std::string& from, const std::string& to) {
    return ::MoveFileExW(win::toUtf16(from).c_str(), win::toUtf16(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? std::error_code()
               : lastError();
}

std::error_code NativeFileSystem::removeFile(const std::string& path) {
    return ::DeleteFileW(win::toUtf16(path).c_str()) ? std::error_code() : lastError();
}

std::error_code NativeFileSystem::syncFolder(const std::string& folder) {
    HANDLE handle = ::CreateFileW(win::toUtf16(folder).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        // Folders that refuse a writable handle (shares, some file systems) record names on their own.
        const DWORD code = ::GetLastError();
        return code == ERROR_ACCESS_DENIED ? std::error_code() : errorOf(code);
    }
    const DWORD code = ::FlushFileBuffers(handle) ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(handle);
    // File systems that cannot flush a folder say so; the file itself is on disk already.
    if (code == ERROR_SUCCESS || code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ||
        code == ERROR_INVALID_PARAMETER || code == ERROR_ACCESS_DENIED)
        return {};
    return errorOf(code);
}

std::error_code NativeFileSystem::makeFolders(const std::string& folder) {
    std::error_code e;
    std::filesystem::create_directories(std::filesystem::path(win::toUtf16(folder)), e);
    return e;
}

std::error_code NativeFileSystem::writeInto(const std::string& path, std::string_view data) {
    HANDLE handle =
        ::CreateFileW(win::toUtf16(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    std::error_code e = writeAllTo(handle, data);
    if (!::CloseHandle(handle) && !e)
        e = lastError();
    return e;
}

std::error_code NativeFileSystem::readBlocks(const std::string& path,
                                             const std::function<bool(std::string_view block)>& onBlock) {
    HANDLE handle = ::CreateFileW(win::toUtf16(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    // Only a file on a disk: a pipe or the console could hold the program.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return std::make_error_code(std::errc::invalid_argument);
    }
    char buffer[65536];
    std::error_code e;
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(handle, buffer, sizeof buffer, &n, nullptr)) {
            e = lastError();
            break;
        }
        if (n == 0 || !onBlock(std::string_view(buffer, n)))
            break;
    }
    ::CloseHandle(handle);
    return e;
}

std::error_code NativeFileSystem::appendLine(const std::string& path, std::string_view line) {
    // Append access alone (no FILE_WRITE_DATA): every write lands at the end of the file.
    HANDLE handle = ::CreateFileW(win::toUtf16(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    // The lock is on a byte far past any journal's end: Windows locks keep other programs from reading
    // what they cover, and a reader must never wait for a writer.
    OVERLAPPED lockAt{};
    lockAt.OffsetHigh = 0x7FFFFFFF;
    std::error_code e;
    if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt))
        e = lastError();
    LARGE_INTEGER size{};
    if (!e && !::GetFileSizeEx(handle, &size))
        e = lastError();
    char last = '\n';
    if (!e && size.QuadPart > 0) {
        OVERLAPPED lastByte{};
        lastByte.Offset = static_cast<DWORD>(size.QuadPart - 1);
        lastByte.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
        DWORD read = 0;
        if (!::ReadFile(handle, &last, 1, &read, &lastByte) || read != 1)
            e = lastError();
    }
    if (!e) {
        const std::string data = lineToAppend(line, last != '\n');
        OVERLAPPED atTheEnd{};
        atTheEnd.Offset = atTheEnd.OffsetHigh = 0xFFFFFFFF;
        DWORD written = 0;
        if (!::WriteFile(handle, data.data(), static_cast<DWORD>(data.size()), &written, &atTheEnd))
            e = lastError();
        else if (written != data.size())
            e = errorOf(ERROR_DISK_FULL);
    }
    if (!e && !::FlushFileBuffers(handle))
        e = lastError();
    ::UnlockFileEx(handle, 0, 1, 0, &lockAt);
    if (!::CloseHandle(handle) && !e)
        e = lastError();
    return e;
}

PathKind NativeFileSystem::kindOf(const std::string& path) {
    if (path.starts_with("\\\\.\\") || path.starts_with("//./"))
        return PathKind::Stream; // the device namespace: pipes, ports, consoles
    if (isDeviceName(nameOf(path)))
        return PathKind::Stream;
    const std::wstring wide = win::toUtf16(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::Missing; // whatever keeps us from seeing it will also keep us from writing there
    return kindFromAttributes(wide, attributes);
}

std::error_code NativeFileSystem::resolveLinks(const std::string& path, std::string& target) {
    if (kindOf(path) != PathKind::Link) {
        target = path;
        return {};
    }
    // Opening follows every link in the chain; the system then names the file it reached. A link that
    // leads nowhere cannot be followed.
    HANDLE handle =
        ::CreateFileW(win::toUtf16(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    std::wstring final(MAX_PATH, L'\0');
    DWORD size = ::GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()), 0);
    if (size >= final.size()) {
        final.resize(size);
        size = ::GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()), 0);
    }
    const std::error_code e = size == 0 ? lastError() : std::error_code();
    ::CloseHandle(handle);
    if (e)
        return e;
    final.resize(size);
    target = win::toUtf8(withoutLongPathPrefix(final));
    return {};
}

std::string NativeFileSystem::join(const std::string& folder, const std::string& name) const {
    if (!folder.empty() && (isSeparator(folder.back()) || (folder.size() == 2 && folder[1] == ':')))
        return folder + name;
    return folder + "\\" + name;
}

std::string NativeFileSystem::folderOf(const std::string& path) const {
    const auto separator = path.find_last_of("\\/");
    const bool drive = path.size() >= 2 && path[1] == ':';
    if (separator == std::string::npos)
        return drive ? path.substr(0, 2) : ".";
    // The root keeps its separator: "C:\x" is in "C:\", "\x" in "\".
    if (separator == 0 || (drive && separator == 2))
        return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

std::string NativeFileSystem::nameOf(const std::string& path) const {
    auto separator = path.find_last_of("\\/");
    if (separator == std::string::npos && path.size() >= 2 && path[1] == ':')
        separator = 1; // "C:name"
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

} // namespace z83
