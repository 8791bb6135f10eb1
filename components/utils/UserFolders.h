#pragma once

#include <filesystem>

namespace tkw {

// The user's documents folder: XDG_DOCUMENTS_DIR from the user's user-dirs.dirs when it names one,
// otherwise "Documents" in the home folder. The folder need not exist.
std::filesystem::path GetMyDocumentsDirectory();

// The home folder: $HOME, or the password database's entry when HOME is unset.
std::filesystem::path GetHomeDirectory();

}  // namespace tkw
