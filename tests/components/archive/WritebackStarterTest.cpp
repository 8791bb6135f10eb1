#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

#include "components/archive/FileIo.h"
#include "tests/support/TempDir.h"

namespace tkw::archive {
namespace {

// A background sync may be the one the system tells of a failed write-back: its failure must reach
// the sync that ends the work, once, even when later background syncs succeed.
TEST(WritebackStarter, AFailedBackgroundSyncIsToldToTheClosingSyncOnce) {
    test::TempDir temp;
    const UniqueFd file(::open((temp / "file").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    ASSERT_TRUE(file.Valid());
    std::atomic<int> calls{0};
    const DataSync firstFails = [&calls](int) {
        if (calls.fetch_add(1) == 0) {
            errno = EIO;
            return -1;
        }
        return 0;
    };

    WritebackStarter quiet(file.Get(), 0, false, firstFails);
    quiet.Wrote(4 * WritebackStarter::kSyncStep);
    EXPECT_EQ(quiet.Settle(), 0);
    EXPECT_EQ(calls.load(), 0) << "no background syncs asked for";

    WritebackStarter starter(file.Get(), 0, true, firstFails);
    starter.Wrote(WritebackStarter::kSyncStep);  // the first sync, which fails
    // The next sync starts once the first is over; only then is its failure collected.
    for (std::uint64_t end = 2 * WritebackStarter::kSyncStep; calls.load() < 2;
         end += WritebackStarter::kSyncStep) {
        starter.Wrote(end);
    }
    EXPECT_EQ(starter.Settle(), EIO);
    EXPECT_EQ(starter.Settle(), 0) << "told once";

    // A failure not yet told survives a move.
    calls = 0;
    WritebackStarter failing(file.Get(), 0, true, firstFails);
    failing.Wrote(WritebackStarter::kSyncStep);
    WritebackStarter moved;
    moved = std::move(failing);
    EXPECT_EQ(moved.Settle(), EIO);
}

}  // namespace
}  // namespace tkw::archive
