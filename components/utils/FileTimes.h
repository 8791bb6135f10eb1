#pragma once

#include <ctime>
#include <filesystem>
#include <optional>

#include "components/utils/LocalTime.h"

namespace tkw {

// Creation time of an open file, in seconds since the epoch: the file system's birth time, or the
// modification time where the file system records none. Nothing when the file cannot be queried.
std::optional<std::time_t> GetCreationTimeSeconds(int fileDescriptor);

// The same as a local calendar date and time.
std::optional<LocalDateTime> GetCreationTime(int fileDescriptor);

// For a path; symbolic links are not followed.
std::optional<LocalDateTime> GetCreationTime(const std::filesystem::path& path);

}  // namespace tkw
