#include "extract/Session.h"

#include "desktop/ShownText.h"
#include "link/ModuleCommands.h"

namespace z83 {

Session::Session(Desktop& desktop, ProviderFactory createProvider, FileSystem& fileSystem)
    : desktop_(desktop), createProvider_(std::move(createProvider)), fileSystem_(fileSystem) {}

Session::LoadResult Session::Load() {
    DP = createProvider_();
    DP->clearCurrentError();
    DP->ProbeProvider();
    if (const auto& error = DP->currentError(); error.number != 0) {
        desktop_.showMessage("Z83DataProviderCOM.DLL possibly not registered!\r\nError: " +
                                 shownDeviceText(error.description) +
                                 " [Code: " + std::to_string(error.number) + "]",
                             desktop_.applicationName(), MessageIcon::Error);
        return LoadResult::CloseAndEnd;
    }

    desktop_.setIdText(desktop_.readSetting("Settings", "ID", "0"));
    idLoaded_ = true;

    DP->clearCurrentError();
    std::int16_t status = DP->OpenUSB(Arg::OpenFirst, Arg::OpenSecond);
    if (DP->currentError().number != 0 || status != 0) {
        desktop_.showMessage("Cannot open USB interface", "Warning", MessageIcon::Warning);
        return LoadResult::EndAtOnce;
    }

    if (DP->DetectBase(Arg::DetectWhich) == 0) {
        desktop_.showMessage("Base station not detected! Connect base station and restart program.",
                             "Warning", MessageIcon::Error);
        return LoadResult::CloseAndEnd;
    }

    DP->ReadBaseByte(Arg::BaseByteWhich);
    return LoadResult::Running;
}

void Session::Unload() {
    desktop_.setBusyPointer(true);
    // Before the remembered ID was put into the box, the box holds nothing worth remembering.
    if (idLoaded_)
        desktop_.writeSetting("Settings", "ID", desktop_.idText());
    if (DP) {
        DP->CloseUSB();
        desktop_.pause(1.0);
        DP.reset();
    }
    desktop_.setBusyPointer(false);
}

bool Session::MRead(std::int32_t& ID, std::uint8_t& Command, std::string& Value,
                    const std::string& Description) {
    return z83::MRead(*DP, desktop_, ID, Command, Value, Description);
}

bool Session::MWrite(std::int32_t& ID, std::uint8_t& Command, const std::string& Value,
                     const std::string& Description) {
    return z83::MWrite(*DP, desktop_, ID, Command, Value, Description);
}

void Session::ClearLog() {
    if (!moduleStillHoldsTheReportedLogs())
        return;
    std::string question = "Are you sure that you want to delete all logs?";
    auto buttons = MessageButtons::YesNo;
    // The module's own copy of a flagged log may be intact (the radio spoiled it): say what goes for good.
    if (const std::size_t flagged = reported_->flagged; flagged > 0) {
        question += "\r\n\r\n" + std::to_string(flagged) + " of the report's " +
                    std::to_string(reported_->entries) + " logs " + (flagged == 1 ? "was" : "were") +
                    " not read correctly (\"Bad CRC\" or \"Incorrect Log Number!\"). Clearing erases " +
                    (flagged == 1 ? "it" : "them") + " for good.";
        buttons = MessageButtons::YesNoDefaultNo;
    }
    auto answer = desktop_.showMessage(question, "Clear All Logs", MessageIcon::Question, buttons);
    if (answer == MessageAnswer::No)
        return;
    writeClearLog();
}

bool Session::moduleStillHoldsTheReportedLogs() {
    // A count read that lost a digit, or logs recorded since, would otherwise clear logs no report holds.
    const std::string reported = reported_ ? std::to_string(reported_->entries) : std::string("no");
    const std::string again = ".\r\nExtract the logs again before clearing them. Nothing was cleared.";
    const LogCount count = readLogCount();
    switch (count.kind) {
    case LogCount::Kind::Unreadable:
        desktop_.showMessage(
            "The number of logs on the handheld could not be read to compare it with the last "
            "report, which holds " +
                reported + " logs" + again,
            "Logs Not Cleared", MessageIcon::Error);
        return false;
    case LogCount::Kind::None:
        desktop_.showMessage("The handheld does not contain any logs!", "No Logs", MessageIcon::Information);
        return false;
    case LogCount::Kind::Impossible:
    case LogCount::Kind::Logs:
        if (count.kind == LogCount::Kind::Logs && reported_ &&
            static_cast<std::size_t>(count.logs) == reported_->entries)
            return true;
        desktop_.showMessage("The handheld reports " +
                                 (count.kind == LogCount::Kind::Logs
                                      ? std::to_string(count.logs)
                                      : "\"" + shownDeviceText(count.text, 40) + "\"") +
                                 " logs, but the last report holds " + reported + again,
                             "Logs Not Cleared", MessageIcon::Error);
        return false;
    }
    return false;
}

bool Session::writeClearLog() {
    std::uint8_t command = Cmd::ClearLog;
    return MWrite(ModuleID, command, std::string(kClearLogCode), "ClearLog");
}

} // namespace z83
