// The freedesktop base folders and the user's documents folder. A relative value of any of the
// variables is ignored (the base-directory rules say so): no folder depends on where the program
// happened to be started.
#pragma once
#include <string>
#include <vector>

namespace zun {

// $HOME when it is an absolute path, else the password database's home; "" when neither is.
std::string HomeFolder();
// $XDG_DATA_HOME, else ~/.local/share; no trailing separator; "" without a home.
std::string XdgDataHome();
// $XDG_CONFIG_HOME, else ~/.config.
std::string XdgConfigHome();
// $XDG_DATA_DIRS, else /usr/local/share and /usr/share; relative entries are left out.
std::vector<std::string> XdgDataDirs();
// $XDG_CONFIG_DIRS, else /etc/xdg.
std::vector<std::string> XdgConfigDirs();
// $XDG_RUNTIME_DIR; "" when it is not set or not absolute.
std::string XdgRuntimeDir();
// The user's documents folder as `xdg-user-dir DOCUMENTS` names it (XDG_DOCUMENTS_DIR in
// user-dirs.dirs, then the environment), when it is an existing folder; else the home folder.
// Ends with the separator.
std::string UserDocumentsFolder();

}  // namespace zun
