#pragma once

#include <string>

// The user's own folders, as this platform's desktop names them.
namespace z83 {

// The name of the program's per-user data folder, the same for every front end and platform.
inline constexpr const char* kDataFolderName = "z83-log-extraction";

// The home folder: HOME, else the user database's entry for the user; "" when neither gives one.
std::string homeFolder();
// The documents folder: on Linux the desktop's user-dirs setting (XDG_DOCUMENTS_DIR), else the home
// folder's "Documents"; "" without a home folder.
std::string documentsFolder();

// The program's own folder for per-user data, such as the journal: on Linux z83-log-extraction in
// XDG_DATA_HOME (when absolute), else in the home folder's ".local/share"; on Windows in the user's local
// application data folder. "" without a home folder. It is not created here.
std::string dataFolder();

// The documents folder that a user-dirs.dirs file's text gives for the home folder, or "" when it names
// none: only a value of "$HOME/..." or an absolute path counts, a relative one is ignored.
std::string documentsFolderFromUserDirs(const std::string& userDirsText, const std::string& home);

} // namespace z83
