#pragma once

#include <filesystem>

namespace tkw {

// The user's documents folder: XDG_DOCUMENTS_DIR from the user's user-dirs.dirs when it names one,
// otherwise "Documents" in the home folder. The folder need not exist.
std::filesystem::path GetMyDocumentsDirectory();

// The home folder: $HOME, or the password database's entry when HOME is unset.
std::filesystem::path GetHomeDirectory();

// Where the user's programs keep state that outlives a run, such as logs: $XDG_STATE_HOME when it
// is an absolute path, otherwise ".local/state" in the home folder. The folder need not exist.
std::filesystem::path GetStateDirectory();

}  // namespace tkw
