#include "components/utils/Volumes.h"

#include <sys/statvfs.h>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

TEST(MountInfo, ParsesMountPointsAndTypesWithEscapes) {
    const std::string text =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "23 22 0:5 / /proc rw,nosuid - proc proc rw\n"
        "24 22 8:2 / /media/my\\040disk rw master:3 shared:4 - vfat /dev/sdb1 rw\n"
        "garbage line\n";
    const auto mounts = ParseMountInfo(text);
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].mountPoint, "/");
    EXPECT_EQ(mounts[0].fileSystemType, "ext4");
    EXPECT_EQ(mounts[1].fileSystemType, "proc");
    EXPECT_EQ(mounts[2].mountPoint, "/media/my disk");
    EXPECT_EQ(mounts[2].fileSystemType, "vfat");
}

TEST(MountInfo, TheLongestContainingMountPointHoldsThePath) {
    const std::vector<MountEntry> mounts = {
        {"/", "ext4"}, {"/media/a", "vfat"}, {"/media/a/b", "ext4"}, {"/media/ab", "ext4"}};
    const struct {
        fs::path path, expected;
    } cases[] = {
        {"/", "/"},
        {"/home/x.txt", "/"},
        {"/media/a", "/media/a"},
        {"/media/a/x", "/media/a"},
        {"/media/a/b/c/d", "/media/a/b"},
        {"/media/abc", "/"},  // a name that merely starts like a mount point is not inside it
        {"/media/ab/x", "/media/ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindMountPoint(mounts, c.path), c.expected) << c.path;
    }
}

TEST(Volumes, APathThatDoesNotExistYetIsAnsweredByItsNearestAncestor) {
    test::TempDir temp;
    const fs::path missing = temp.path() / "not" / "yet" / "there.txt";
    EXPECT_EQ(NearestExistingAncestor(missing), temp.path());
    EXPECT_EQ(NearestExistingAncestor(temp.path()), temp.path());
    EXPECT_EQ(GetDriveOfPath(missing), GetDriveOfPath(temp.path()));
    EXPECT_EQ(GetDriveOfPath("/proc/self/status"), "/proc");
    EXPECT_EQ(GetDriveOfPath("/proc/no/such/file"), "/proc");
}

TEST(Volumes, FreeSpaceIsWhatAnUnprivilegedWriterMayUse) {
    test::TempDir temp;
    struct statvfs info {};
    ASSERT_EQ(::statvfs(temp.path().c_str(), &info), 0);
    const std::uint64_t expected = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    // Free space changes as other programs write; a few megabytes of slack keep this exact enough.
    const std::uint64_t measured = MyGetDiskFreeSpaceExHelper(temp.path() / "a" / "b");
    EXPECT_NEAR(static_cast<double>(measured), static_cast<double>(expected), 64.0 * 1024 * 1024);
    EXPECT_GT(measured, 0u);
}

}  // namespace
}  // namespace tkw
