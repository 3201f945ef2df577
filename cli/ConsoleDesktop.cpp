#include "ConsoleDesktop.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <thread>

namespace z83::cli {

namespace {

// At most ten progress updates a second: more only costs terminal time.
constexpr std::chrono::milliseconds kProgressInterval{100};

std::string timeLeftText(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(std::min(seconds, 359999.0)));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

// The value of an XDG_<name>_DIR line as the desktop's own file reader takes it: surrounding quotes
// dropped, a leading $HOME replaced by the home folder, a trailing slash dropped.
std::optional<std::string> userDirValue(const std::string& line, const std::string& name,
                                        const std::string& home) {
    static const std::string prefix = "XDG_";
    static const std::string marker = "_DIR=";
    if (line.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    // The name runs up to the last "_DIR=" of the line.
    const auto at = line.rfind(marker);
    if (at == std::string::npos || at < prefix.size() ||
        line.substr(prefix.size(), at - prefix.size()) != name)
        return std::nullopt;
    std::string value = line.substr(at + marker.size());
    if (value.size() > 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0)
        value = home + value.substr(5);
    if (value.size() > 1 && value.back() == '/')
        value.pop_back();
    return value;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string messageLine(const std::string& title, const std::string& text) {
    std::string result = title + ": ";
    result.reserve(result.size() + text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue; // CR LF is one break
        if (c == '\r' || c == '\n')
            result += ' ';
        else if (c < 0x20 || c == 0x7F)
            result += '?';
        else
            result += static_cast<char>(c);
    }
    return result;
}

std::string homeFolder(const std::string& home) {
    if (home.empty())
        return "/";
    std::string clean = std::filesystem::path(home).lexically_normal().string();
    if (clean.size() > 1 && clean.back() == '/')
        clean.pop_back();
    return clean;
}

std::string documentsFolder(const std::string& homeValue, const std::string& xdgConfigHome) {
    const std::string home = homeFolder(homeValue);
    const std::string config = xdgConfigHome.empty() ? home + "/.config" : xdgConfigHome;
    std::ifstream dirs(config + "/user-dirs.dirs");
    std::optional<std::string> found;
    std::string line;
    while (std::getline(dirs, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // The last line that names the folder wins.
        if (auto value = userDirValue(line, "DOCUMENTS", home))
            found = std::move(value);
    }
    return found ? *found : home + "/Documents";
}

ConsoleDesktop::ConsoleDesktop(std::ostream& err, Settings settings) : err_(err), settings_(settings) {}

void ConsoleDesktop::line(const std::string& text) {
    endProgressLine();
    err_ << text << '\n';
    err_.flush();
}

void ConsoleDesktop::note(const std::string& text) {
    if (!settings_.quiet)
        line(text);
}

void ConsoleDesktop::error(const std::string& text) {
    line(text);
}

MessageAnswer ConsoleDesktop::showMessage(const std::string& text, const std::string& title, MessageIcon,
                                          MessageButtons buttons) {
    line(messageLine(title, text));
    // No question of the window's should reach the console; if one does, the safe answer is No.
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

std::string ConsoleDesktop::GetSpecialFolder(int folder) {
    if (folder == kFolderDocuments)
        return documentsFolder(environment("HOME"), environment("XDG_CONFIG_HOME"));
    if (folder == kFolderProfile)
        return homeFolder(environment("HOME"));
    return {};
}

LocalDateTime ConsoleDesktop::localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

void ConsoleDesktop::pause(double seconds) {
    if (!(seconds > 0.0))
        return;
    const std::chrono::duration<double> wanted(std::min(seconds, 3600.0));
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(wanted);
    while (Clock::now() < until)
        std::this_thread::sleep_until(until);
}

void ConsoleDesktop::collectProgress(int done, int total) {
    if (!settings_.progress || total <= 0)
        return;
    const auto now = Clock::now();
    if (!progressStart_) {
        progressStart_ = now;
        progressStartDone_ = done;
    } else if (done < total && now - lastProgress_ < kProgressInterval) {
        return;
    }
    lastProgress_ = now;

    std::string text = "log " + std::to_string(done) + " of " + std::to_string(total);
    const double elapsed = std::chrono::duration<double>(now - *progressStart_).count();
    if (elapsed > 0.0 && done > progressStartDone_) {
        const double rate = (done - progressStartDone_) / elapsed;
        char rateText[32];
        std::snprintf(rateText, sizeof rateText, "%.0f", rate);
        text += ", " + std::string(rateText) + " logs/s, " + timeLeftText((total - done) / rate) + " left";
    }
    // Blanks over the rest of a longer previous text.
    const std::size_t width = text.size();
    text.append(progressWidth_ > width ? progressWidth_ - width : 0, ' ');
    progressWidth_ = width;
    err_ << '\r' << text;
    progressOpen_ = true;
    if (done >= total)
        endProgressLine();
    else
        err_.flush();
}

void ConsoleDesktop::endProgressLine() {
    if (!progressOpen_)
        return;
    err_ << '\n';
    err_.flush();
    progressOpen_ = false;
    progressWidth_ = 0;
    progressStart_.reset();
}

bool ConsoleDesktop::confirm(const std::string& question, std::istream& in) {
    endProgressLine();
    err_ << question;
    err_.flush();
    std::string answer;
    if (!std::getline(in, answer))
        return false;
    answer.erase(0, answer.find_first_not_of(" \t"));
    answer.erase(answer.find_last_not_of(" \t\r") + 1);
    for (auto& c : answer)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

} // namespace z83::cli
