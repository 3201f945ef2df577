#include "desktop/UserFolders.h"

#include "desktop/Utf16.h"

#include <knownfolders.h>
#include <shlobj.h>

namespace z83 {

namespace {

// The folder as the shell knows it, following a redirection (a documents folder on another drive or a
// share); "" when the shell has none.
std::string knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string result;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path)
        result = win::toUtf8(path);
    ::CoTaskMemFree(path);
    return result;
}

} // namespace

std::string homeFolder() {
    return knownFolder(FOLDERID_Profile);
}

std::string documentsFolder() {
    return knownFolder(FOLDERID_Documents);
}

std::string dataFolder() {
    const std::string local = knownFolder(FOLDERID_LocalAppData);
    return local.empty() ? std::string() : local + "\\" + kDataFolderName;
}

} // namespace z83
