#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "components/utils/UniqueFd.h"

namespace tkw::archive {

// Whether an item name may be placed below a chosen folder: not empty, no NUL byte, and no "." or
// ".." component, so that folder + name cannot leave the folder. Leading separators are allowed
// (names are full paths) and are dropped when placing.
bool IsNameSafeUnderFolder(std::string_view name);

// An item name cut for placing below a folder: the folders on its way and its own last component.
struct NameBelowFolder {
    std::vector<std::string> folders;
    std::string file;
};

// Nothing when the name is not safe (IsNameSafeUnderFolder); empty components are dropped.
std::optional<NameBelowFolder> SplitNameBelowFolder(std::string_view name);

// Opens `folders` one below the other under the open folder `base` (shown as `basePath` in
// messages), creating those that are missing. Each one is created and opened relative to the one
// before and never through a symbolic link, so nothing can be created or opened outside `base`:
// a component that is a link (even to a folder inside `base`) or not a folder fails with `error`
// set. The last folder, usable as the base of the *at calls.
UniqueFd OpenFoldersBelow(UniqueFd base, const std::filesystem::path& basePath,
                          const std::vector<std::string>& folders, std::string& error);

}  // namespace tkw::archive
