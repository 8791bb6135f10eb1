// The syncs of the file systems a restore writes new small files to: through a folder opened before
// anything was written, started on the side once enough data waits, a failure never forgotten.
#include "engine/FileSystemSyncs.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

ino_t InodeOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_ino;
}

dev_t DeviceOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_dev;
}

// Records, for each sync, the folder its descriptor is and whether it ran on the caller's thread;
// the syncs on other threads fail while `failInBackground` is set.
class SyncRecorder {
public:
    struct Call {
        ino_t folder;
        bool onCaller;
    };

    CFileSystemSyncs::Sync Sync() {
        return [this](int fd, const fs::path&) {
            struct stat status {};
            ::fstat(fd, &status);
            const bool onCaller = std::this_thread::get_id() == m_caller;
            const std::lock_guard lock(m_mutex);
            m_calls.push_back({status.st_ino, onCaller});
            if (!onCaller && failInBackground) {
                errno = EIO;
                return false;
            }
            return true;
        };
    }
    std::vector<Call> Calls() {
        const std::lock_guard lock(m_mutex);
        return m_calls;
    }

    bool failInBackground = false;

private:
    const std::thread::id m_caller = std::this_thread::get_id();
    std::mutex m_mutex;
    std::vector<Call> m_calls;
};

TEST(FileSystemSyncs, SyncOnTheSideOnceEnoughWaitsThroughTheFolderOpenedFirst) {
    const struct {
        std::vector<std::uint64_t> writes;
        std::size_t onTheSide;
    } cases[] = {{{99}, 0}, {{60, 60}, 1}, {{250}, 1}};
    for (const auto& c : cases) {
        test::TempDir temp;
        fs::create_directories(temp / "first");
        fs::create_directories(temp / "later");
        SyncRecorder recorder;
        CFileSystemSyncs syncs(recorder.Sync(), 100);
        syncs.Open(temp / "first");
        for (const std::uint64_t bytes : c.writes) {
            syncs.Wrote(bytes);
        }
        // Waits for the sync on the side, then syncs through the folder opened first.
        EXPECT_TRUE(syncs.SyncNow(temp / "later", DeviceOf(temp / "later")));

        const auto calls = recorder.Calls();
        ASSERT_EQ(calls.size(), c.onTheSide + 1) << c.writes.front();
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].folder, InodeOf(temp / "first"));
            EXPECT_EQ(calls[i].onCaller, i == c.onTheSide) << "the last sync is the caller's";
        }
    }
}

TEST(FileSystemSyncs, ASyncThatFailedOnTheSideFailsTheLastOneToo) {
    test::TempDir temp;
    SyncRecorder recorder;
    recorder.failInBackground = true;
    CFileSystemSyncs syncs(recorder.Sync(), 10);
    syncs.Open(temp.path());
    syncs.Wrote(10);
    errno = 0;
    EXPECT_FALSE(syncs.SyncNow(temp.path(), DeviceOf(temp.path())));
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(recorder.Calls().size(), 2u) << "the last sync is still made";
}

TEST(FileSystemSyncs, AFileSystemNeverOpenedIsSyncedThroughTheFolderGiven) {
    test::TempDir temp;
    fs::create_directories(temp / "a");
    SyncRecorder recorder;
    CFileSystemSyncs syncs(recorder.Sync(), 10);
    syncs.Wrote(100);  // nothing opened: nothing to sync on the side
    EXPECT_TRUE(syncs.SyncNow(temp / "a", DeviceOf(temp / "a")));
    const auto calls = recorder.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].folder, InodeOf(temp / "a"));
    EXPECT_TRUE(calls[0].onCaller);

    // A folder that cannot be opened fails with the reason.
    errno = 0;
    EXPECT_FALSE(syncs.SyncNow(temp / "gone", DeviceOf(temp / "a") + 1));
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
}  // namespace tkw
