#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tkw {

struct FolderEntry {
    std::string name;
    bool isFolder;  // a folder itself; a link to a folder is not one (links are never followed)
};

// The entries of a folder without "." and "..", in the order the file system gives them; nothing
// when the folder cannot be listed. The folder is closed again before this returns, so a walk
// that descends afterwards holds one descriptor at a time.
std::optional<std::vector<FolderEntry>> ReadFolderEntries(const std::filesystem::path& folder);

}  // namespace tkw
