#pragma once

#include <optional>
#include <string>

// The program's per-user settings, keyed by the executable's name: on Windows text values under
// HKEY_CURRENT_USER\Software\<name>\<section>, the store that both Windows programs read and the window
// writes; elsewhere <name>/<name>.conf in the user's configuration folder, a file of [section] groups of
// key=value lines. Sections and keys are plain words.
namespace z83 {

// The executable's file name without its extension, which keys the settings.
std::string executableName();

// The value as stored, or nothing when there is none: an empty value is a value.
std::optional<std::string> readUserSetting(const std::string& section, const std::string& name);
// Stores the value at once; false when the store refused it.
bool writeUserSetting(const std::string& section, const std::string& name, const std::string& value);

} // namespace z83
