#pragma once

#include <string>

namespace z83 {

enum class MessageIcon { Error, Question, Warning, Information };
enum class MessageButtons {
    Ok,
    YesNo,          // Yes is the default button
    YesNoDefaultNo, // No is the default button: for questions whose Yes cannot be undone
};
inline bool asksYesNo(MessageButtons buttons) {
    return buttons != MessageButtons::Ok;
}
enum class MessageAnswer { Ok, Yes, No };

struct LocalDateTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The current local date and time of this computer.
LocalDateTime currentLocalTime();

// The folders GetSpecialFolder knows.
enum class SpecialFolder {
    Documents, // the user's documents folder, where reports go
    Profile,   // the user's home folder, where reports go when there is no documents folder
};

// Everything the actions need of the window and the desktop. The windows implement it for real, the
// command-line extractor on the console, and tests as a recording fake.
class Desktop {
public:
    virtual ~Desktop() = default;

    // A modal message box. Its text is always shown as plain text, never as markup.
    virtual MessageAnswer showMessage(const std::string& text, const std::string& title, MessageIcon icon,
                                      MessageButtons buttons = MessageButtons::Ok) = 0;
    // The screen-wide busy pointer on, or the default pointer again.
    virtual void setBusyPointer(bool busy) = 0;
    // The status line; redrawNow repaints it before the running action returns.
    virtual void setStatus(const std::string& text, bool redrawNow) = 0;
    virtual void setClearLogEnabled(bool enabled) = 0;
    virtual std::string idText() = 0;
    virtual void setIdText(const std::string& text) = 0;

    // The per-user settings store, keyed by application name, section and key: by default this platform's
    // (UserSettings.h).
    virtual std::string readSetting(const std::string& section, const std::string& key,
                                    const std::string& fallback);
    virtual void writeSetting(const std::string& section, const std::string& key, const std::string& value);
    // The executable's file name without its extension.
    virtual std::string applicationName();

    // Replaces the clipboard's content with plain text; false when the clipboard did not take it (or there
    // is none), so that nobody is told the logs are there when they are not.
    virtual bool setClipboardText(const std::string& text) = 0;
    // The path of a special folder, or "" when there is none: by default the user's own folders as this
    // platform names them (UserFolders.h), the same for every front end. Tests give their own.
    virtual std::string GetSpecialFolder(SpecialFolder folder);
    // Opens a file with the program the desktop associates with it (OpenFile.h by default); failures pass
    // silently.
    virtual void openFile(const std::string& path);
    // The computer's local date and time; tests give a fixed one.
    virtual LocalDateTime localNow() { return currentLocalTime(); }
    // Blocks for the given time without servicing the window, on a monotonic clock so that midnight
    // or a clock change cannot stretch it. Tests record it instead.
    virtual void pause(double seconds);

    // Called while logs are collected: done of total logs handled so far.
    virtual void collectProgress(int /*done*/, int /*total*/) {}
};

} // namespace z83
