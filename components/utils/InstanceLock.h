#pragma once

#include <filesystem>
#include <string_view>

namespace tkw {

// A lock that lets one process per user session run at a time: an exclusive flock on a file named
// after the program's title. The kernel drops it when the holder ends, however it ends.
class CInstanceLock {
public:
    enum class Outcome { Acquired, HeldElsewhere, Failed };

    CInstanceLock() = default;
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // "mutex_for_" + title in $XDG_RUNTIME_DIR, or in the temporary folder with the user id
    // appended when the session has no runtime folder.
    static std::filesystem::path PathFor(std::string_view title);

    // Opens (creating when needed) the lock file. False with errno set on failure.
    bool Create(const std::filesystem::path& lockFile);

    // Takes the lock without waiting. On Failed, `errorCode` holds the system's error number
    // (also when Create did not succeed).
    Outcome TryAcquire(int& errorCode);

private:
    int m_fd = -1;
};

}  // namespace tkw
