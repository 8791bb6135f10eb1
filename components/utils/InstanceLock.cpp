#include "components/utils/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

namespace tkw {

CInstanceLock::~CInstanceLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::filesystem::path CInstanceLock::PathFor(std::string_view title) {
    const std::string name = "mutex_for_" + std::string(title);
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime) {
        return std::filesystem::path(runtime) / name;
    }
    std::error_code error;
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error) {
        temp = "/tmp";
    }
    return temp / (name + "-" + std::to_string(::getuid()));
}

bool CInstanceLock::Create(const std::filesystem::path& lockFile) {
    // Close-on-exec, so that a program we start cannot keep the lock after we end.
    m_fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    return m_fd >= 0;
}

CInstanceLock::Outcome CInstanceLock::TryAcquire(int& errorCode) {
    errorCode = 0;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        return Outcome::Acquired;
    }
    if (errno == EWOULDBLOCK) {
        return Outcome::HeldElsewhere;
    }
    errorCode = errno;
    return Outcome::Failed;
}

}  // namespace tkw
