#include "engine/ExclusiveOpen.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace tkw {

std::optional<ExclusiveFile> OpenExclusively(const std::filesystem::path& path) {
    ExclusiveFile file;
    // Non-blocking, so that a FIFO cannot hold the run up waiting for a writer.
    file.fd.Reset(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.fd.Valid()) {
        // A link is judged by itself.
        if (errno == ELOOP && ::lstat(path.c_str(), &file.status) == 0 &&
            S_ISLNK(file.status.st_mode)) {
            file.isLink = true;
            return file;
        }
        return std::nullopt;  // errno tells why
    }
    if (::flock(file.fd.Get(), LOCK_EX | LOCK_NB) != 0 ||
        ::fstat(file.fd.Get(), &file.status) != 0) {
        return std::nullopt;
    }
    // Judged by what was opened: a FIFO or device put in a file's place is not a file.
    if (!S_ISREG(file.status.st_mode)) {
        errno = EINVAL;
        return std::nullopt;
    }
    return file;
}

FileClaim ClaimFile(const std::filesystem::path& path) {
    FileClaim claim;
    auto file = OpenExclusively(path);
    if (file) {
        claim.use = FileUse::Free;
        claim.file = std::move(*file);
    } else {
        claim.use = errno == ENOENT ? FileUse::Gone : FileUse::InUse;
    }
    return claim;
}

}  // namespace tkw
