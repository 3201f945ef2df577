#include "extract/Session.h"

#include "desktop/ShownText.h"
#include "link/ModuleCommands.h"
#include "link/NumberReaders.h"
#include "link/Wire.h"

#include <cctype>

namespace z83 {

std::string idStatusText(std::int32_t id) {
    return "ID: " + idHex(id);
}

std::optional<std::int32_t> parseTypedId(const std::string& text) {
    auto hex = readLeadingHex(text);
    // More digits would wrap to some other module's ID, which a later Clear Log would erase.
    if (hex.significantDigits > 8)
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(hex.value));
}

Identification Session::identifyByTypedId() {
    std::string typed = desktop_.idText();
    auto id = parseTypedId(typed);
    if (!id) {
        disableClearLog();
        desktop_.showMessage("The ID \"" + shownDeviceText(typed, 40) +
                                 "\" is too long: a module ID has at most 8 hexadecimal digits.\r\n"
                                 "Nothing was sent to the module.",
                             "Invalid ID", MessageIcon::Error);
        desktop_.setStatus("", true);
        return Identification::InvalidId;
    }
    DP->ReadBaseByte(Arg::BaseByteWhich);
    desktop_.setBusyPointer(true);
    desktop_.setStatus("Waiting...", true);
    disableClearLog();
    ModuleID = *id;
    desktop_.setStatus(idStatusText(ModuleID), true);
    return checkModel();
}

Identification Session::identifyByPairing() {
    disableClearLog();
    DP->ReadBaseByte(Arg::BaseByteWhich);
    desktop_.setBusyPointer(true);
    desktop_.setStatus("Waiting...", true);
    std::int32_t scratch = 0;
    DP->PairModule(Arg::PairFirst, Arg::PairSecond, Arg::PairingSeconds, ModuleID, scratch);
    if (ModuleID == 0) {
        desktop_.setBusyPointer(false);
        desktop_.showMessage("Did not pair with a handheld module!", "Error", MessageIcon::Warning);
        desktop_.setStatus("", true);
        return Identification::NotPaired;
    }
    desktop_.setStatus(idStatusText(ModuleID), true);
    // Gives the module time to settle after pairing before it is asked anything.
    desktop_.pause(1.5);
    return checkModel();
}

Identification Session::checkModel() {
    std::uint8_t command = Cmd::Model;
    if (!MRead(ModuleID, command, ModuleModel, "Model"))
        return Identification::ModelUnreadable;
    for (auto& c : ModuleModel)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ModuleModel != kSupportedModel) {
        desktop_.setBusyPointer(false);
        desktop_.showMessage("The paired module is a " + shownDeviceText(ModuleModel) +
                                 " which is not supported by this software!",
                             "Warning", MessageIcon::Warning);
        desktop_.setStatus("", false);
        return Identification::Unsupported;
    }
    return Identification::Supported;
}

void Session::finishIdentification(Identification outcome) {
    if (outcome != Identification::Supported)
        return;
    ExtractLogs();
    desktop_.setBusyPointer(false);
    desktop_.setStatus("", false);
}

void Session::disableClearLog() {
    reported_.reset();
    reportRefused_.reset();
    desktop_.setClearLogEnabled(false);
}

void Session::IKnow() {
    finishIdentification(identifyByTypedId());
    warnOfJournalAfterAction();
}

void Session::IDontKnow() {
    finishIdentification(identifyByPairing());
    warnOfJournalAfterAction();
}

} // namespace z83
