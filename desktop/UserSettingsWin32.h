#pragma once

#include <optional>
#include <string>

// The program's per-user settings: text values under HKEY_CURRENT_USER\Software\<executable name>\<section>,
// the store that both Windows programs read and the window writes.
namespace z83::win {

// The executable's file name without its extension, which keys the settings.
std::string executableName();

// The value as stored, or nothing when there is none: an empty value is a value.
std::optional<std::string> readUserSetting(const std::string& section, const std::string& name);
// Stores the value at once; false when the store refused it.
bool writeUserSetting(const std::string& section, const std::string& name, const std::string& value);

} // namespace z83::win
