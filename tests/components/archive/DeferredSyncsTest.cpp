#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "components/archive/DeferredSyncs.h"

namespace tkw::archive {
namespace {

// The inode behind a descriptor: what the sync was given, whatever its number.
ino_t InodeOf(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 ? status.st_ino : 0;
}

TEST(DeferredSyncs, SyncsEveryFileAndNamesTheOneThatFailed) {
    const std::string folder = ::testing::TempDir();
    std::mutex mutex;
    std::set<ino_t> synced;
    ino_t failing = 0;
    DeferredSyncs syncs([&](int fd) {
        const std::lock_guard lock(mutex);
        synced.insert(InodeOf(fd));
        if (InodeOf(fd) == failing) {
            errno = EIO;
            return -1;
        }
        return 0;
    });
    std::set<ino_t> given;
    for (int i = 0; i < 9; ++i) {
        const std::string path = folder + "/deferred-" + std::to_string(i);
        UniqueFd fd(::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd.Valid());
        given.insert(InodeOf(fd.Get()));
        if (i == 6) {
            const std::lock_guard lock(mutex);
            failing = InodeOf(fd.Get());
        }
        syncs.Add(std::move(fd), path);
        ::unlink(path.c_str());
    }
    std::string error;
    EXPECT_FALSE(syncs.Finish(error));
    EXPECT_EQ(error, "cannot flush " + folder + "/deferred-6: " + std::strerror(EIO));
    EXPECT_EQ(synced, given);
    // Told once: the next run starts clean.
    error.clear();
    EXPECT_TRUE(syncs.Finish(error));
    EXPECT_EQ(error, "");
}

}  // namespace
}  // namespace tkw::archive
