#pragma once

#include <string>

// The user's own folders, as this platform's desktop names them.
namespace z83 {

// The home folder: HOME, else the user database's entry for the user; "" when neither gives one.
std::string homeFolder();
// The documents folder: on Linux the desktop's user-dirs setting (XDG_DOCUMENTS_DIR), else the home
// folder's "Documents"; "" without a home folder.
std::string documentsFolder();

// The documents folder that a user-dirs.dirs file's text gives for the home folder, or "" when it names
// none: only a value of "$HOME/..." or an absolute path counts, a relative one is ignored.
std::string documentsFolderFromUserDirs(const std::string& userDirsText, const std::string& home);

} // namespace z83
