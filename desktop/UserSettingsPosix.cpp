#include "desktop/UserSettings.h"

#include "desktop/TextLines.h"
#include "desktop/UserFolders.h"

#include <cerrno> // program_invocation_name
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace z83 {

namespace {

constexpr const char* kBlanks = " \t";

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The user's configuration folder: XDG_CONFIG_HOME when absolute, else the home folder's ".config".
std::string configFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return xdg;
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

std::string settingsFolder() {
    const std::string folder = configFolder();
    return folder.empty() ? folder : folder + "/" + executableName();
}

std::string settingsFile() {
    const std::string folder = settingsFolder();
    return folder.empty() ? folder : folder + "/" + executableName() + ".conf";
}

// A value as the file holds it: in double quotes where blanks at its ends or the separators would change
// how it reads, with backslash escapes for quotes, backslashes and control characters; a leading '@' is
// doubled, as a single one marks a typed value in files that earlier versions wrote.
std::string escaped(const std::string& value) {
    std::string text = !value.empty() && value.front() == '@' ? "@" : "";
    const bool quoted = value.find_first_of(",;=\"#") != std::string::npos ||
                        (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (quoted)
        text += '"';
    for (const char c : value) {
        const auto code = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"')
            text += {'\\', c};
        else if (c == '\n')
            text += "\\n";
        else if (c == '\r')
            text += "\\r";
        else if (c == '\t')
            text += "\\t";
        else if (code < 0x20 || code == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", code);
            text += hex;
        } else
            text += c;
    }
    if (quoted)
        text += '"';
    return text;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value of a key=value line's right side: quotes dropped, escapes read.
std::string unescaped(const std::string& text) {
    std::string value;
    std::size_t at = text.rfind("@@", 0) == 0 ? 1 : 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"')
            continue;
        if (c != '\\' || at + 1 == text.size()) {
            value += c;
            continue;
        }
        const char code = text[++at];
        if (code == 'n')
            value += '\n';
        else if (code == 'r')
            value += '\r';
        else if (code == 't')
            value += '\t';
        else if (code == 'x' && at + 2 < text.size() && hexDigit(text[at + 1]) >= 0 &&
                 hexDigit(text[at + 2]) >= 0) {
            value += static_cast<char>(hexDigit(text[at + 1]) * 16 + hexDigit(text[at + 2]));
            at += 2;
        } else
            value += code;
    }
    return value;
}

// The file's lines, and where the section's key stands and where the section ends (npos when it has none).
struct SettingsText {
    std::vector<std::string> lines;
    std::size_t keyLine = std::string::npos;
    std::size_t sectionEnd = std::string::npos;
};

SettingsText readSettingsText(const std::string& section, const std::string& name) {
    SettingsText found;
    std::ifstream file(settingsFile(), std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string_view rest = content;
    std::string current;
    while (!rest.empty()) {
        found.lines.emplace_back(takeLine(rest));
        const std::string text = trimmed(found.lines.back());
        if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
            current = text.substr(1, text.size() - 2);
            if (current == section)
                found.sectionEnd = found.lines.size();
            continue;
        }
        if (current != section || text.empty())
            continue;
        found.sectionEnd = found.lines.size();
        const std::size_t equals = text.find('=');
        if (found.keyLine == std::string::npos && equals != std::string::npos &&
            trimmed(text.substr(0, equals)) == name)
            found.keyLine = found.lines.size() - 1;
    }
    return found;
}

// Writes the whole file anew beside the old one and renames it over, so that a crash leaves one or the other.
bool replaceSettingsFile(const std::vector<std::string>& lines) {
    const std::string folder = settingsFolder();
    std::error_code error;
    if (folder.empty() || (!std::filesystem::create_directories(folder, error) && error))
        return false;
    const std::string path = settingsFile(), fresh = path + ".new-" + std::to_string(::getpid());
    {
        std::ofstream file(fresh, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines)
            file << line << '\n';
        file.flush();
        if (!file) {
            std::remove(fresh.c_str());
            return false;
        }
    }
    if (std::rename(fresh.c_str(), path.c_str()) != 0) {
        std::remove(fresh.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string executableName() {
    std::vector<char> path(4096);
    const ssize_t size = ::readlink("/proc/self/exe", path.data(), path.size());
    std::string name = size > 0 ? std::string(path.data(), static_cast<std::size_t>(size))
                                : std::string(program_invocation_name);
    name = name.substr(name.find_last_of('/') + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

std::optional<std::string> readUserSetting(const std::string& section, const std::string& name) {
    const SettingsText text = readSettingsText(section, name);
    if (text.keyLine == std::string::npos)
        return std::nullopt;
    const std::string& line = text.lines[text.keyLine];
    return unescaped(trimmed(line.substr(line.find('=') + 1)));
}

bool writeUserSetting(const std::string& section, const std::string& name, const std::string& value) {
    SettingsText text = readSettingsText(section, name);
    const std::string line = name + "=" + escaped(value);
    if (text.keyLine != std::string::npos) {
        text.lines[text.keyLine] = line;
    } else if (text.sectionEnd != std::string::npos) {
        text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(text.sectionEnd), line);
    } else {
        if (!text.lines.empty() && !trimmed(text.lines.back()).empty())
            text.lines.emplace_back();
        text.lines.push_back("[" + section + "]");
        text.lines.push_back(line);
    }
    return replaceSettingsFile(text.lines);
}

} // namespace z83
