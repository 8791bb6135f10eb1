#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "components/utils/UniqueFd.h"

namespace tkw {

struct FolderEntry {
    std::string name;
    bool isFolder;  // a folder itself; a link to a folder is not one (links are never followed)
};

// The entries of a folder without "." and "..", in the order the file system gives them; nothing
// when the folder cannot be listed. The folder is closed again before this returns, so a walk
// that descends afterwards holds one descriptor at a time.
std::optional<std::vector<FolderEntry>> ReadFolderEntries(const std::filesystem::path& folder);
// The same for a folder already open as `folderFd` (which stays open and is not moved).
std::optional<std::vector<FolderEntry>> ReadFolderEntries(int folderFd);

// Opens a folder for listing and for reaching its entries with the *at calls, without following
// a link in its last component. A path longer than the system takes in one call is opened piece
// by piece, the part beyond the limit one component at a time without following links. Invalid,
// with errno set, when it cannot be opened.
UniqueFd OpenFolder(const std::filesystem::path& folder);

// A path by which the entry `name` of the folder open as `folderFd` can be reached with the
// ordinary path calls, however long the folder's own path is: the process's link to the open
// descriptor, followed by the name. Valid while the descriptor stays open.
std::filesystem::path PathThroughDescriptor(int folderFd, const std::string& name);

// Whether the open file or folder lies on a kernel pseudo file system (proc, sysfs, cgroup, ...),
// whose files hold nothing worth keeping and may never end.
bool IsOnPseudoFileSystem(int fd);

}  // namespace tkw
