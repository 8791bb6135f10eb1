#include "components/utils/FileTimes.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace tkw {
namespace {

std::optional<std::time_t> BirthOrModificationTime(int directory, const char* path, int flags) {
    struct statx info {};
    if (::statx(directory, path, flags, STATX_BTIME | STATX_MTIME, &info) != 0) {
        return std::nullopt;
    }
    if ((info.stx_mask & STATX_BTIME) != 0) {
        return static_cast<std::time_t>(info.stx_btime.tv_sec);
    }
    return static_cast<std::time_t>(info.stx_mtime.tv_sec);
}

std::optional<LocalDateTime> ToLocal(std::optional<std::time_t> seconds) {
    if (!seconds) {
        return std::nullopt;
    }
    return ToLocalDateTime(*seconds);
}

}  // namespace

std::optional<std::time_t> GetCreationTimeSeconds(int fileDescriptor) {
    return BirthOrModificationTime(fileDescriptor, "", AT_EMPTY_PATH);
}

std::optional<LocalDateTime> GetCreationTime(int fileDescriptor) {
    return ToLocal(GetCreationTimeSeconds(fileDescriptor));
}

std::optional<LocalDateTime> GetCreationTime(const std::filesystem::path& path) {
    return ToLocal(BirthOrModificationTime(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW));
}

}  // namespace tkw
