#include "engine/FileSystemSyncs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace tkw {
namespace fs = std::filesystem;

namespace {

UniqueFd OpenFolder(const fs::path& folder) {
    return UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace

CFileSystemSyncs::CFileSystemSyncs(Sync sync, std::uint64_t bytesBetweenSyncs)
    : m_sync(std::move(sync)), m_bytesBetweenSyncs(bytesBetweenSyncs) {}

CFileSystemSyncs::~CFileSystemSyncs() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CFileSystemSyncs::Open(const fs::path& existingFolder) {
    struct stat status {};
    if (::stat(existingFolder.c_str(), &status) != 0) {
        return;
    }
    const std::lock_guard lock(m_mutex);
    if (m_fileSystems.count(status.st_dev) != 0) {
        return;
    }
    UniqueFd fd = OpenFolder(existingFolder);
    if (fd.Valid()) {
        m_fileSystems[status.st_dev] = {std::move(fd), existingFolder, 0};
    }
}

void CFileSystemSyncs::Wrote(std::uint64_t bytes) {
    m_waiting += bytes;
    if (m_waiting >= m_bytesBetweenSyncs) {
        StartBackgroundSync();
    }
}

// One sync at a time: while one is under way the data keeps waiting for the next.
void CFileSystemSyncs::StartBackgroundSync() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_busy || m_fileSystems.empty()) {
            return;
        }
        m_requested = true;
        m_busy = true;
    }
    m_waiting = 0;
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread([this] { SyncInBackground(); });
        } catch (...) {
            // Without a thread the run's own sync at its end does it all.
            const std::lock_guard lock(m_mutex);
            m_requested = false;
            m_busy = false;
            return;
        }
    }
    m_changed.notify_all();
}

void CFileSystemSyncs::SyncInBackground() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_requested || m_stopping; });
        if (m_stopping) {
            return;
        }
        m_requested = false;
        try {
            SyncAllOnce(lock);
        } catch (...) {
            // Memory ran out, say: the run's own sync at its end still does it all.
            if (!lock.owns_lock()) {
                lock.lock();
            }
        }
        m_busy = false;
        m_changed.notify_all();
    }
}

// Entered and left with `lock` held; it is let go during each sync. The map's entries stay where
// they are while the thread runs: new file systems may be added, none is removed.
void CFileSystemSyncs::SyncAllOnce(std::unique_lock<std::mutex>& lock) {
    std::vector<FileSystem*> fileSystems;
    for (auto& [device, fileSystem] : m_fileSystems) {
        fileSystems.push_back(&fileSystem);
    }
    for (FileSystem* fileSystem : fileSystems) {
        const int fd = fileSystem->fd.Get();
        const fs::path folder = fileSystem->folder;
        lock.unlock();
        const bool synced = m_sync(fd, folder);
        const int error = errno;
        lock.lock();
        if (!synced && fileSystem->failure == 0) {
            fileSystem->failure = error != 0 ? error : EIO;
        }
    }
}

bool CFileSystemSyncs::SyncNow(const fs::path& folder, dev_t device) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
    const auto known = m_fileSystems.find(device);
    if (known == m_fileSystems.end()) {
        lock.unlock();
        const UniqueFd fd = OpenFolder(folder);
        return fd.Valid() && m_sync(fd.Get(), folder);
    }
    const int fd = known->second.fd.Get();
    const int failure = known->second.failure;
    lock.unlock();
    const bool synced = m_sync(fd, folder);
    if (synced && failure != 0) {
        errno = failure;  // write-back that failed in the background is not done
        return false;
    }
    return synced;
}

}  // namespace tkw
