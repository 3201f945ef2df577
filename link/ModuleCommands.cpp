#include "link/ModuleCommands.h"

namespace z83 {

namespace {

void reportLinkFailure(Desktop& desktop, const std::string& message) {
    desktop.setBusyPointer(false);
    desktop.showMessage(message + "\r\nTry again.", "Error", MessageIcon::Error);
    desktop.setStatus("", false);
}

} // namespace

bool MRead(DataProvider& DP, Desktop& desktop, std::int32_t& ID, std::uint8_t& Command, std::string& Value,
           const std::string& Description) {
    std::uint8_t one = Arg::CommandFirst;
    std::string reply;
    if (DP.ReadCommand(one, ID, Command, reply) != 0) {
        reportLinkFailure(desktop, "Cannot read " + Description + "!");
        return false;
    }
    if (auto nul = reply.find('\0'); nul != std::string::npos) {
        reply.resize(nul);
    }
    Value = std::move(reply);
    return true;
}

bool MWrite(DataProvider& DP, Desktop& desktop, std::int32_t& ID, std::uint8_t& Command,
            const std::string& Value, const std::string& Description) {
    std::uint8_t one = Arg::CommandFirst;
    std::string framed = Value;
    framed.append(2, '\0');
    if (DP.WriteCommand(one, ID, Command, framed) != 0) {
        reportLinkFailure(desktop, "Cannot write " + Description);
        return false;
    }
    return true;
}

} // namespace z83
