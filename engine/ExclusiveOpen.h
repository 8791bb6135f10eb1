#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "components/utils/UniqueFd.h"

namespace tkw {

// A file opened for reading with no sharing: opened, then locked with a non-blocking exclusive
// flock, so a file another program holds a lock on counts as in use. A symbolic link is not opened
// (links are never followed): it is judged by itself, with its own status.
struct ExclusiveFile {
    UniqueFd fd;  // not valid for a link
    struct stat status {};
    bool isLink = false;
};

// Nothing, with errno set, when the file cannot be opened so.
std::optional<ExclusiveFile> OpenExclusively(const std::filesystem::path& path);

}  // namespace tkw
