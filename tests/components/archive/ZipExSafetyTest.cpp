// Locking, names that try to leave the restore folder, and names that are not UTF-8.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

TEST(ZipExLock, AnOpenArchiveCannotBeOpenedOrCreatedAgainHereOrInAnotherProcess) {
    test::TempDir temp;
    const fs::path archive = temp / "backup.tkw";
    WriteFileBytes(temp / "a", "contents");
    CZipEx holder;
    ASSERT_EQ(holder.CreateZip(archive), 1);
    ASSERT_EQ(holder.AddFile(temp / "a", "/a"), 1);
    const auto size = fs::file_size(archive);

    CZipEx second;
    EXPECT_EQ(second.Open(archive), 0);
    EXPECT_NE(second.GetLastError().find("in use"), std::string::npos) << second.GetLastError();
    EXPECT_EQ(second.CreateZip(archive), 0);
    EXPECT_EQ(fs::file_size(archive), size) << "a refused create must not truncate the file";

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CZipEx other;
        ::_exit(other.Open(archive) == 0 && other.CreateZip(archive) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process got the lock";

    ASSERT_EQ(holder.Close(), 1);
    EXPECT_EQ(second.Open(archive), 1) << "closing releases the lock";
    EXPECT_EQ(second.GetNrOfFiles(), 1);
}

TEST(ZipExNames, OnlyNamesThatStayBelowAFolderAreSafe) {
    const struct {
        std::string name;
        bool safe;
    } cases[] = {
        {"/home/a/doc.txt", true},
        {"home/a/doc.txt", true},
        {"/home/a/..data/x..y", true},
        {"//double//slash", true},
        {"/home/../etc/passwd", false},
        {"/..", false},
        {"..", false},
        {"/home/./a", false},
        {"/home/a/.", false},
        {std::string("/home/a\0b", 9), false},
        {"", false},
        {"/", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CZipEx::IsNameSafeUnderFolder(c.name), c.safe) << c.name;
    }
}

class ZipExUnderFolder : public ::testing::Test {
protected:
    void Add(CZipEx& zip, const fs::path& source, const std::string& name) {
        ASSERT_EQ(zip.AddFile(source, name), 1) << zip.GetLastError();
    }

    test::TempDir m_temp;
    const fs::path m_archive = m_temp / "backup.tkw";
    const fs::path m_restore = m_temp / "restore";
};

TEST_F(ZipExUnderFolder, ANameWithDotDotIsNeverWrittenOutsideTheFolder) {
    WriteFileBytes(m_temp / "evil", "payload");
    CZipEx zip;
    ASSERT_EQ(zip.CreateZip(m_archive), 1);
    Add(zip, m_temp / "evil", "/../escaped.txt");
    Add(zip, m_temp / "evil", "/home/a/doc.txt");

    EXPECT_EQ(zip.GetItemFileUnder(0, m_restore), 0);
    EXPECT_FALSE(fs::exists(m_temp / "escaped.txt"));
    EXPECT_FALSE(fs::exists(m_restore));

    ASSERT_EQ(zip.GetItemFileUnder(1, m_restore), 1) << zip.GetLastError();
    EXPECT_EQ(ReadFileBytes(m_restore / "home/a/doc.txt"), "payload");
}

TEST_F(ZipExUnderFolder, ALinkRestoredEarlierCannotCarryALaterItemOutside) {
    const fs::path outside = m_temp / "outside";
    fs::create_directories(outside);
    fs::create_symlink(outside, m_temp / "link");
    WriteFileBytes(m_temp / "evil", "payload");
    CZipEx zip;
    ASSERT_EQ(zip.CreateZip(m_archive), 1);
    Add(zip, m_temp / "link", "/a");
    Add(zip, m_temp / "evil", "/a/planted.txt");

    ASSERT_EQ(zip.GetItemFileUnder(0, m_restore), 1) << zip.GetLastError();
    EXPECT_TRUE(fs::is_symlink(m_restore / "a"));
    EXPECT_EQ(zip.GetItemFileUnder(1, m_restore), 0);
    EXPECT_FALSE(fs::exists(outside / "planted.txt"));
}

TEST_F(ZipExUnderFolder, ANameThatIsNotUtf8RoundTripsByteForByte) {
    const std::string name = "/data/r\xE9sum\xE9 \xFF\xFE.txt";  // Latin-1 bytes, invalid UTF-8
    fs::create_directories(m_temp / "data");
    WriteFileBytes(m_temp / "data" / "source", "bytes");
    CZipEx zip;
    ASSERT_EQ(zip.CreateZip(m_archive), 1);
    Add(zip, m_temp / "data" / "source", name);
    ASSERT_EQ(zip.Close(), 1);

    ASSERT_EQ(zip.Open(m_archive), 1);
    EXPECT_EQ(zip.GetItemFileName(0), name);
    EXPECT_EQ(zip.FindZipItem(name), 0);
    ASSERT_EQ(zip.GetItemFileUnder(0, m_restore), 1) << zip.GetLastError();
    EXPECT_EQ(ReadFileBytes(m_restore / fs::path(name.substr(1))), "bytes");
}

}  // namespace
}  // namespace tkw
