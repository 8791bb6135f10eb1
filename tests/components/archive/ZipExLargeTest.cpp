// Sizes past 32-bit limits: a file over 4 GiB and an archive of a million items.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

std::string ReadAt(const fs::path& file, std::uint64_t offset, std::size_t size) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    std::string bytes(size, '\0');
    const ssize_t n = ::pread(fd, bytes.data(), size, static_cast<off_t>(offset));
    ::close(fd);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

void WriteAt(const fs::path& file, std::uint64_t offset, const std::string& bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

TEST(ZipExLarge, ASparseFileOverFourGigabytesRoundTripsAndStaysSparse) {
    test::TempDir temp;
    const fs::path source = temp / "disk.img";
    constexpr std::uint64_t kSize = (4ull << 30) + (300ull << 20) + 12345;  // 4.3 GiB, odd length
    // Data at the start, across the 4 GiB mark, and at the very end; holes between.
    const std::string head = test::RandomBytes(100000, 1);
    const std::string middle = test::TextBytes(70000, 2);
    const std::string tail = "the last bytes";
    WriteAt(source, 0, head);
    WriteAt(source, (4ull << 30) - 1000, middle);
    WriteAt(source, kSize - tail.size(), tail);
    ASSERT_EQ(fs::file_size(source), kSize);

    const fs::path archive = temp / "backup.tkw";
    {
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(archive), 1);
        ASSERT_EQ(zip.AddFile(source, "/images/disk.img"), 1) << zip.GetLastError();
        EXPECT_EQ(zip.GetItemFileSize(0), kSize);
    }
    EXPECT_LT(fs::file_size(archive), 8u << 20) << "holes compress to almost nothing";

    CZipEx zip;
    ASSERT_EQ(zip.Open(archive), 1);
    EXPECT_EQ(zip.GetItemFileSize(0), kSize);
    const fs::path restored = temp / "restored.img";
    ASSERT_EQ(zip.GetItemFile(0, restored), 1) << zip.GetLastError();
    EXPECT_EQ(fs::file_size(restored), kSize);
    EXPECT_TRUE(ReadAt(restored, 0, head.size()) == head);
    EXPECT_TRUE(ReadAt(restored, (4ull << 30) - 1000, middle.size()) == middle);
    EXPECT_EQ(ReadAt(restored, kSize - tail.size(), tail.size()), tail);
    EXPECT_EQ(ReadAt(restored, 3ull << 30, 16), std::string(16, '\0'));
    struct stat info {};
    ASSERT_EQ(::stat(restored.c_str(), &info), 0);
    EXPECT_LT(static_cast<std::uint64_t>(info.st_blocks) * 512, 64u << 20)
        << "the holes stay holes";
}

TEST(ZipExLarge, AMillionItemsAreListedFoundAndReopened) {
    test::TempDir temp;
    const fs::path source = temp / "tiny";
    test::WriteFileBytes(source, "x");
    const fs::path archive = temp / "backup.tkw";
    constexpr int kItems = 1'000'000;
    const auto name = [](int n) {
        return "/home/user/project/src/module" + std::to_string(n % 997) + "/file" +
               std::to_string(n) + ".c";
    };
    {
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(archive), 1);
        for (int n = 0; n < kItems; ++n) {
            ASSERT_EQ(zip.AddFile(source, name(n)), 1) << n << ": " << zip.GetLastError();
        }
    }
    CZipEx zip;
    ASSERT_EQ(zip.Open(archive), 1);
    EXPECT_FALSE(zip.GetRecoveryReport().recovered);
    ASSERT_EQ(zip.GetNrOfFiles(), kItems);
    for (const int n : {0, 1, 4242, 500000, kItems - 1}) {
        EXPECT_EQ(zip.FindZipItem(name(n)), n);
        EXPECT_EQ(zip.GetItemFileName(n), name(n));
    }
    ASSERT_EQ(zip.GetItemFile(kItems - 1, temp / "last"), 1);
    EXPECT_EQ(test::ReadFileBytes(temp / "last"), "x");
}

}  // namespace
}  // namespace tkw
