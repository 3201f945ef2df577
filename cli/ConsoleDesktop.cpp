#include "cli/ConsoleDesktop.h"

#include "backend/Component.h"
#include "cli/Console.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <istream>
#include <ostream>

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

} // namespace

std::string messageLine(const std::string& title, const std::string& text) {
    return title + ": " + printableLine(text);
}

std::string printableLine(const std::string& text) {
    std::string result;
    result.reserve(text.size());
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
    return asksYesNo(buttons) ? MessageAnswer::No : MessageAnswer::Ok;
}

void ConsoleDesktop::pause(double seconds) {
    if (settings_.settlePauses)
        if (!waitServicingComponentMessages(seconds))
            Desktop::pause(seconds);
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

bool ConsoleDesktop::confirm(const std::string& question, std::istream& in, bool inputIsTerminal) {
    endProgressLine();
    err_ << question;
    err_.flush();
    std::string answer;
    const bool answered = static_cast<bool>(std::getline(in, answer));
    if (!inputIsTerminal)
        line(answered ? printableLine(answer) : "(end of input)");
    if (!answered)
        return false;
    answer.erase(0, answer.find_first_not_of(" \t"));
    answer.erase(answer.find_last_not_of(" \t\r") + 1);
    for (auto& c : answer)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

} // namespace z83::cli
