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

// Opens the folder `name` in the open folder `at` (shown as `shown` in messages), creating it when
// it is missing, never through a symbolic link: opened one below the other from a base, folders
// can be neither created nor opened outside that base. A component that is a link (even to a
// folder inside the base) or not a folder fails with `error` set. The folder, usable as the base
// of the *at calls.
UniqueFd OpenOrCreateFolderIn(int at, const std::string& name, const std::filesystem::path& shown,
                              std::string& error);

}  // namespace tkw::archive
