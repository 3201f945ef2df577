#pragma once

#include "desktop/Desktop.h"

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>

namespace z83::cli {

// The Desktop on a terminal or in a script: every message box becomes one line on the error stream,
// nothing waits for a click, and the window-only effects do nothing.
class ConsoleDesktop : public Desktop {
public:
    struct Settings {
        bool quiet = false;    // no informational lines
        bool progress = false; // a progress line rewritten in place; only on a terminal
        // The pauses that give real hardware time to settle (after pairing, after closing the link);
        // a simulated station needs none.
        bool settlePauses = true;
    };

    ConsoleDesktop(std::ostream& err, Settings settings);

    MessageAnswer showMessage(const std::string& text, const std::string& title, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok) override;
    void setBusyPointer(bool) override {}
    void setStatus(const std::string&, bool) override {}
    void setClearLogEnabled(bool) override {}
    std::string idText() override { return idText_; }
    void setIdText(const std::string& text) override { idText_ = text; }

    // Nothing is remembered between runs: scripts must not depend on a previous run.
    std::string readSetting(const std::string&, const std::string&, const std::string& fallback) override {
        return fallback;
    }
    void writeSetting(const std::string&, const std::string&, const std::string&) override {}
    std::string applicationName() override { return "z83-extract"; }

    bool setClipboardText(const std::string&) override { return false; }
    void openFile(const std::string&) override {}
    void pause(double seconds) override;

    void collectProgress(int done, int total) override;

    // An informational line; --quiet silences it.
    void note(const std::string& text);
    // An error line; always shown.
    void error(const std::string& text);
    // Ends a progress line that is still open, so the next line starts at the margin.
    void endProgressLine();
    // Asks a yes/no question on the error stream and reads one line of answer from in. An answer that
    // does not come from a terminal is shown after the question, as a terminal would have echoed it.
    bool confirm(const std::string& question, std::istream& in, bool inputIsTerminal = true);

private:
    void line(const std::string& text);

    std::ostream& err_;
    Settings settings_;
    std::string idText_;

    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> progressStart_;
    int progressStartDone_ = 0;
    Clock::time_point lastProgress_{};
    std::size_t progressWidth_ = 0;
    bool progressOpen_ = false;
};

// A message box's title and text as one line: "Title: text", line breaks as blanks and other control
// characters as '?', so a module's reply cannot move the cursor or colour the terminal.
std::string messageLine(const std::string& title, const std::string& text);
// A text as messageLine shows it.
std::string printableLine(const std::string& text);

} // namespace z83::cli
