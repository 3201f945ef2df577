#include "desktop/UserFolders.h"

#include "desktop/TextLines.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace z83 {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The value of one XDG_DOCUMENTS_DIR line, read as the desktop's own reader reads it: a double-quoted
// text that starts with $HOME or "/", with backslash escapes. Nothing for any other line.
std::optional<std::string> documentsValue(const std::string& line, const std::string& home) {
    std::size_t at = line.find_first_not_of(" \t");
    const std::string key = "XDG_DOCUMENTS_DIR";
    if (at == std::string::npos || line.compare(at, key.size(), key) != 0)
        return std::nullopt;
    at = line.find_first_not_of(" \t", at + key.size());
    if (at == std::string::npos || line[at] != '=')
        return std::nullopt;
    at = line.find_first_not_of(" \t", at + 1);
    if (at == std::string::npos || line[at] != '"')
        return std::nullopt;
    ++at;
    std::string value;
    if (line.compare(at, 5, "$HOME") == 0 &&
        (at + 5 == line.size() || line[at + 5] == '/' || line[at + 5] == '"')) {
        value = home;
        at += 5;
    } else if (at >= line.size() || line[at] != '/') {
        return std::nullopt; // relative paths are not allowed
    }
    for (; at < line.size() && line[at] != '"'; ++at) {
        if (line[at] == '\\' && at + 1 < line.size())
            ++at;
        value += line[at];
    }
    return value;
}

} // namespace

std::string documentsFolderFromUserDirs(const std::string& userDirsText, const std::string& home) {
    std::string_view lines = userDirsText;
    std::string found;
    while (!lines.empty()) {
        // The last line that names the folder wins.
        if (auto value = documentsValue(std::string(takeLine(lines)), home))
            found = withoutTrailingSlashes(*value);
    }
    return found;
}

std::string homeFolder() {
    std::string home = environment("HOME");
    if (home.empty()) {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir)
            home = found->pw_dir;
    }
    return home.empty() ? std::string() : withoutTrailingSlashes(home);
}

std::string documentsFolder() {
    std::string home = homeFolder();
    if (home.empty())
        return {};
    const std::string configHome = environment("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the desktop does.
    const std::string config = configHome.starts_with('/') ? configHome : home + "/.config";
    std::ifstream file(config + "/user-dirs.dirs");
    std::ostringstream text;
    text << file.rdbuf();
    std::string fromSettings = documentsFolderFromUserDirs(text.str(), home);
    if (fromSettings.empty())
        return home + "/Documents";
    // A setting that names a missing folder outside the home folder (a removed disk, a typing error) means
    // the home folder, as the desktop reads it: reports never make folders elsewhere.
    struct stat st;
    if (!fromSettings.starts_with(home + "/") && ::stat(fromSettings.c_str(), &st) != 0)
        return home;
    return fromSettings;
}

std::string dataFolder() {
    const std::string dataHome = environment("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and ignored, as the desktop does.
    if (dataHome.starts_with('/'))
        return withoutTrailingSlashes(dataHome) + "/" + kDataFolderName;
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.local/share/" + kDataFolderName;
}

} // namespace z83
