#pragma once

#include "desktop/Desktop.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace z83::test {

// A Desktop that records its effects and answers message boxes from a script.
class FakeDesktop : public Desktop {
public:
    struct Message {
        std::string text, title;
        MessageButtons buttons;
        bool busyWhenShown;
    };

    MessageAnswer showMessage(const std::string& text, const std::string& title, MessageIcon,
                              MessageButtons buttons) override {
        messages.push_back({text, title, buttons, busy});
        if (asksYesNo(buttons)) {
            if (answers.empty())
                return MessageAnswer::Yes;
            auto a = answers.front();
            answers.pop_front();
            return a;
        }
        return MessageAnswer::Ok;
    }
    void setBusyPointer(bool on) override { busy = on; }
    void setStatus(const std::string&, bool) override {}
    void setClearLogEnabled(bool on) override { clearEnabled = on; }
    std::string idText() override { return id; }
    void setIdText(const std::string& text) override { id = text; }
    std::string readSetting(const std::string& section, const std::string& key,
                            const std::string& fallback) override {
        auto it = settings.find(section + "/" + key);
        return it == settings.end() ? fallback : it->second;
    }
    void writeSetting(const std::string& section, const std::string& key, const std::string& value) override {
        settings[section + "/" + key] = value;
    }
    std::string applicationName() override { return "z83-test"; }
    bool setClipboardText(const std::string& text) override {
        if (!clipboardWorks)
            return false;
        clipboard = text;
        return true;
    }
    std::string GetSpecialFolder(SpecialFolder folder) override {
        return folder == SpecialFolder::Documents ? documents : home;
    }
    void openFile(const std::string& path) override { opened.push_back(path); }
    LocalDateTime localNow() override { return now; }
    void pause(double) override {}

    std::deque<MessageAnswer> answers;
    std::vector<Message> messages;
    std::vector<std::string> opened;
    std::map<std::string, std::string> settings;
    std::string id;
    std::string clipboard;
    bool clipboardWorks = true;
    std::string documents;
    std::string home;
    LocalDateTime now{2025, 3, 7, 9, 5, 3};
    bool busy = false;
    bool clearEnabled = false;
};

} // namespace z83::test
