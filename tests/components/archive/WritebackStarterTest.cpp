#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "components/archive/FileIo.h"

namespace tkw::archive {
namespace {

// A background sync may be the one the system tells of a failed write-back: its failure must
// reach the sync that ends the work, once. A pipe cannot be synced, which stands in for the
// failure here.
TEST(WritebackStarter, AFailedBackgroundSyncIsToldToTheNextSettle) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    {
        WritebackStarter quiet(pipeFds[1], 0, false);
        quiet.Wrote(WritebackStarter::kSyncStep);
        EXPECT_EQ(quiet.Settle(), 0) << "no background syncs asked for";

        WritebackStarter starter(pipeFds[1], 0, true);
        starter.Wrote(WritebackStarter::kStep - 1);
        EXPECT_EQ(starter.Settle(), 0) << "too few bytes for a sync";
        starter.Wrote(WritebackStarter::kSyncStep);
        EXPECT_EQ(starter.Settle(), EINVAL);
        EXPECT_EQ(starter.Settle(), 0) << "told once";

        // Moved, it carries a failure not yet told.
        starter.Wrote(2 * WritebackStarter::kSyncStep);
        WritebackStarter moved = std::move(starter);
        EXPECT_EQ(moved.Settle(), EINVAL);
    }
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

}  // namespace
}  // namespace tkw::archive
