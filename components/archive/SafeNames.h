#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace tkw::archive {

// Whether an item name may be placed below a chosen folder: not empty, no NUL byte, and no "." or
// ".." component, so that folder + name cannot leave the folder. Leading separators are allowed
// (names are full paths) and are dropped when placing.
bool IsNameSafeUnderFolder(std::string_view name);

// folder + name with the name's leading separators dropped; nothing when the name is not safe.
std::optional<std::filesystem::path> PlaceUnderFolder(const std::filesystem::path& folder,
                                                      std::string_view name);

}  // namespace tkw::archive
