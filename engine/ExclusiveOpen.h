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

// The one answer to "is this file in use?", for everything that reads, replaces or deletes a file
// on the user's behalf.
enum class FileUse {
    Free,   // opened and locked (or a link, judged by itself)
    InUse,  // anything else: a lock held elsewhere, no permission, an I/O error, not a file
    Gone,   // nothing by that name
};

struct FileClaim {
    FileUse use = FileUse::InUse;
    ExclusiveFile file;  // open and locked while `use` is Free; the lock goes with the claim
};

// Opens and locks the file as OpenExclusively does. A failed open never reads as "free": a file
// is deleted or replaced only while this program holds it.
FileClaim ClaimFile(const std::filesystem::path& path);

}  // namespace tkw
