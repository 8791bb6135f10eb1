#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tkw {

// One line of the kernel's mount table.
struct MountEntry {
    std::filesystem::path mountPoint;
    std::string fileSystemType;
};

// The mounts of this process's namespace, in the kernel's order (later mounts hide earlier ones).
std::vector<MountEntry> ReadMountTable();

// Parses the text of /proc/self/mountinfo (octal escapes such as "\040" decoded).
std::vector<MountEntry> ParseMountInfo(const std::string& text);

// The path itself when it exists, else its nearest existing ancestor (relative paths are taken
// from the current folder). Lets questions about a target that is not created yet be answered.
std::filesystem::path NearestExistingAncestor(const std::filesystem::path& path);

// "The drive of a path": the mount point that holds the path, or, for a path that does not exist
// yet, the one that holds its nearest existing ancestor.
std::filesystem::path GetDriveOfPath(const std::filesystem::path& path);

// The same question answered against a given mount table; `resolvedPath` must be absolute and free
// of symbolic links.
std::filesystem::path FindMountPoint(const std::vector<MountEntry>& mounts,
                                     const std::filesystem::path& resolvedPath);

// Whether the volume holding `path` is mounted read-only; nothing when it cannot be queried. A
// drive "cannot be written" when its volume is read-only, whoever may write to it.
std::optional<bool> VolumeIsReadOnly(const std::filesystem::path& path);

// Bytes an unprivileged writer may still use on the volume of `path` (its nearest existing
// ancestor's for a path that does not exist yet); 0 when the volume cannot be queried.
std::uint64_t MyGetDiskFreeSpaceExHelper(const std::filesystem::path& path);

}  // namespace tkw
