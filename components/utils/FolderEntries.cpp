#include "components/utils/FolderEntries.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string_view>

namespace tkw {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The types of the kernel's own file systems. devtmpfs shares tmpfs's type and is recognised by
// its mount point instead.
bool IsPseudoType(unsigned long type) {
    switch (type) {
        case PROC_SUPER_MAGIC:
        case SYSFS_MAGIC:
        case DEVPTS_SUPER_MAGIC:
        case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC:
        case DEBUGFS_MAGIC:
        case TRACEFS_MAGIC:
        case SECURITYFS_MAGIC:
        case PSTOREFS_MAGIC:
        case BPF_FS_MAGIC:
        case BINFMTFS_MAGIC:
        case EFIVARFS_MAGIC:
        case AUTOFS_SUPER_MAGIC:
        case NSFS_MAGIC:
        case HUGETLBFS_MAGIC:
        case 0x62656570:  // configfs
        case 0x65735543:  // fusectl
        case 0x19800202:  // mqueue
        case 0x67596969:  // rpc_pipefs
            return true;
        default:
            return false;
    }
}

}  // namespace

std::optional<std::vector<FolderEntry>> ReadFolderEntries(const std::filesystem::path& folder) {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) {
        return std::nullopt;
    }
    return ReadFolderEntries(fd.Get());
}

std::optional<std::vector<FolderEntry>> ReadFolderEntries(int folderFd) {
    // The listing consumes its own descriptor; the caller's keeps its place.
    const int own = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* directory = own < 0 ? nullptr : ::fdopendir(own);
    if (directory == nullptr) {
        if (own >= 0) {
            ::close(own);
        }
        return std::nullopt;
    }
    std::vector<FolderEntry> entries;
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            isFolder = ::fstatat(folderFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISDIR(status.st_mode);
        }
        entries.push_back({std::string(name), isFolder});
        errno = 0;
    }
    const bool failed = errno != 0;  // a folder that fails half-way is not listed whole
    ::closedir(directory);
    if (failed) {
        return std::nullopt;
    }
    return entries;
}

UniqueFd OpenFolder(const std::filesystem::path& folder) {
    const std::string& text = folder.native();
    if (text.size() < PATH_MAX) {
        return UniqueFd(::open(text.c_str(), kFolderFlags));
    }
    // The longest leading run of whole components that one call takes, then the rest one
    // component at a time.
    const std::size_t cut = text.rfind('/', PATH_MAX - 1);
    if (cut == std::string::npos || cut == 0) {
        errno = ENAMETOOLONG;
        return UniqueFd();
    }
    UniqueFd fd(::open(text.substr(0, cut).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::size_t start = cut + 1;
    while (fd.Valid() && start < text.size()) {
        const std::size_t end = std::min(text.find('/', start), text.size());
        if (end > start) {
            fd.Reset(::openat(fd.Get(), text.substr(start, end - start).c_str(), kFolderFlags));
        }
        start = end + 1;
    }
    return fd;
}

std::filesystem::path PathThroughDescriptor(int folderFd, const std::string& name) {
    return "/proc/self/fd/" + std::to_string(folderFd) + "/" + name;
}

bool IsOnPseudoFileSystem(int fd) {
    struct statfs info {};
    return ::fstatfs(fd, &info) == 0 && IsPseudoType(static_cast<unsigned long>(info.f_type));
}

}  // namespace tkw
