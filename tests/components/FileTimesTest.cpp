#include "components/utils/FileTimes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace tkw {
namespace {

TEST(FileTimes, CreationTimeIsNotTheModificationTimeWhereTheFileSystemKeepsBoth) {
    test::TempDir temp;
    const auto file = temp / "a.txt";
    test::WriteFileBytes(file, "x");
    // Back-date the modification time to 2001; the birth time stays today.
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);

    struct statx info {};
    ASSERT_EQ(::statx(AT_FDCWD, file.c_str(), 0, STATX_BTIME, &info), 0);
    const int fd = ::open(file.c_str(), O_RDONLY);
    const auto created = GetCreationTimeSeconds(fd);
    ::close(fd);
    ASSERT_TRUE(created.has_value());
    if ((info.stx_mask & STATX_BTIME) != 0) {
        EXPECT_EQ(*created, info.stx_btime.tv_sec);
        EXPECT_GT(*created, 1000000000);
    } else {
        EXPECT_EQ(*created, 1000000000);  // no birth time: the modification time stands in
    }
    EXPECT_EQ(GetCreationTime(file), ToLocalDateTime(*created));
}

TEST(FileTimes, AMissingFileHasNoCreationTime) {
    test::TempDir temp;
    EXPECT_FALSE(GetCreationTime(temp / "missing").has_value());
    EXPECT_FALSE(GetCreationTimeSeconds(-1).has_value());
}

}  // namespace
}  // namespace tkw
