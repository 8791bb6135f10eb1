#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "components/utils/UniqueFd.h"

namespace tkw {

// The file systems a restore names new small files on, which it syncs as a whole before it reports
// success. Each is opened when the run first comes to a folder on it, before anything is written
// there: a sync through that descriptor tells of every write-back failure since, also one the
// system met while writing back on its own. While the run goes on, each time enough new data waits
// the file systems are synced on a thread of their own, so that the disk writes while the run
// works and the sync the run ends with finds little left.
class CFileSystemSyncs {
public:
    // Puts a file system on the disk through `fd`, a folder on it; false with errno set.
    using Sync = std::function<bool(int fd, const std::filesystem::path& folder)>;

    CFileSystemSyncs(Sync sync, std::uint64_t bytesBetweenSyncs);
    // Waits for a sync under way.
    ~CFileSystemSyncs();
    CFileSystemSyncs(const CFileSystemSyncs&) = delete;
    CFileSystemSyncs& operator=(const CFileSystemSyncs&) = delete;

    // The run comes to a folder that exists (for a missing one: its nearest existing ancestor,
    // where it will be made). A folder that cannot be opened leaves its file system to be opened
    // when it is synced.
    void Open(const std::filesystem::path& existingFolder);
    // `bytes` of new files were written that wait for a sync of their file system.
    void Wrote(std::uint64_t bytes);
    // Syncs the file system `device` that holds `folder`, through the descriptor opened for it
    // (or, when there is none, through `folder` opened now). False with errno set when this sync
    // fails or an earlier one of that file system failed.
    bool SyncNow(const std::filesystem::path& folder, dev_t device);

private:
    struct FileSystem {
        UniqueFd fd;
        std::filesystem::path folder;
        int failure = 0;  // the errno of a failed background sync
    };

    void StartBackgroundSync();
    void SyncInBackground();
    void SyncAllOnce(std::unique_lock<std::mutex>& lock);

    Sync m_sync;
    std::uint64_t m_bytesBetweenSyncs;
    std::uint64_t m_waiting = 0;  // bytes written since the last background sync began
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<dev_t, FileSystem> m_fileSystems;  // guarded by m_mutex
    bool m_requested = false;                   // guarded by m_mutex
    bool m_busy = false;                        // guarded by m_mutex
    bool m_stopping = false;                    // guarded by m_mutex
    std::thread m_thread;                       // started with the first background sync
};

}  // namespace tkw
