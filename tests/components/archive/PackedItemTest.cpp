#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "components/archive/DataCompressor.h"
#include "components/archive/PackedItem.h"
#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"
#include "tests/support/TempDir.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

class PackedItem : public ::testing::Test {
protected:
    fs::path Source(const std::string& name) const { return m_temp / ("source-" + name); }

    test::TempDir m_temp;
    archive::DataCompressor m_compressor{0};
};

// A file packed on a worker becomes the very record AddFile writes for it: the same length, the
// same metadata, the same bytes back, found again through the index and by a scan.
TEST_F(PackedItem, APackedFileBecomesTheRecordAddFileWrites) {
    struct Case {
        std::string name;
        std::string bytes;
    };
    const std::vector<Case> cases{
        {"empty", ""},
        {"text", test::TextBytes(200'000, 1)},
        {"random", test::RandomBytes(1'500'000, 2)},  // more than one read block
    };
    for (const Case& c : cases) {
        WriteFileBytes(Source(c.name), c.bytes);
        ::chmod(Source(c.name).c_str(), 0640);
    }
    ASSERT_EQ(::symlink("../some/target", Source("link").c_str()), 0);

    CZipEx streamed;
    CZipEx packed;
    ASSERT_EQ(streamed.CreateZip(m_temp / "streamed.tkw"), 1);
    ASSERT_EQ(packed.CreateZip(m_temp / "packed.tkw"), 1);
    std::vector<std::string> names;
    for (const Case& c : cases) {
        names.push_back(c.name);
    }
    names.push_back("link");
    for (const std::string& name : names) {
        ASSERT_EQ(streamed.AddFile(Source(name), "/items/" + name), 1) << name;
        ASSERT_EQ(packed.AddPacked(archive::PackItem(Source(name), "/items/" + name, m_compressor)),
                  1)
            << packed.GetLastError();
        EXPECT_FALSE(packed.LastItemChangedWhileRead());
    }
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
        const archive::ItemInfo& a = *streamed.GetItemInfo(i);
        const archive::ItemInfo& b = *packed.GetItemInfo(i);
        EXPECT_EQ(b.name, a.name);
        EXPECT_EQ(b.kind, a.kind);
        EXPECT_EQ(b.mode, a.mode);
        EXPECT_EQ(b.mtimeSeconds, a.mtimeSeconds);
        EXPECT_EQ(b.mtimeNanoseconds, a.mtimeNanoseconds);
        EXPECT_EQ(b.size, a.size);
        EXPECT_EQ(b.recordOffset, a.recordOffset);
        EXPECT_EQ(b.recordLength, a.recordLength) << a.name;
    }
    EXPECT_EQ(ReadFileBytes(m_temp / "packed.tkw").size(),
              ReadFileBytes(m_temp / "streamed.tkw").size());

    // A copy taken before the index is written is read by scanning its records.
    ASSERT_EQ(packed.SyncData(), 1);
    fs::copy_file(m_temp / "packed.tkw", m_temp / "unindexed.tkw");
    ASSERT_EQ(packed.Close(), 1);
    for (const char* file : {"packed.tkw", "unindexed.tkw"}) {
        CZipEx reopened;
        ASSERT_EQ(reopened.Open(m_temp / file), 1) << file;
        EXPECT_EQ(reopened.GetRecoveryReport().recovered, std::string(file) == "unindexed.tkw");
        EXPECT_FALSE(reopened.GetRecoveryReport().FoundDamage());
        ASSERT_EQ(reopened.GetNrOfFiles(), static_cast<int>(names.size()));
        EXPECT_TRUE(reopened.Verify().empty());
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const fs::path out = m_temp / ("out-" + std::string(file) + cases[i].name);
            ASSERT_EQ(reopened.GetItemFile(static_cast<int>(i), out), 1);
            EXPECT_EQ(ReadFileBytes(out), cases[i].bytes);
        }
        const fs::path link = m_temp / ("out-link-" + std::string(file));
        ASSERT_EQ(reopened.GetItemFile(3, link), 1);
        EXPECT_EQ(fs::read_symlink(link), "../some/target");
    }
}

// A file that cannot be packed is refused when its turn comes, with the packing's reason, and the
// archive stays as it was.
TEST_F(PackedItem, AFileThatCouldNotBePackedIsRefusedAndAddsNothing) {
    ASSERT_EQ(::mkfifo(Source("fifo").c_str(), 0600), 0);
    CZipEx archive;
    ASSERT_EQ(archive.CreateZip(m_temp / "a.tkw"), 1);
    const std::uint64_t sizeBefore = archive.GetZipFileSizeEx();
    for (const std::string name : {"fifo", "missing"}) {
        // The FIFO is refused without waiting for a writer.
        archive::PackedItem item = archive::PackItem(Source(name), "/x/" + name, m_compressor);
        EXPECT_FALSE(item.Packed()) << name;
        EXPECT_EQ(archive.AddPacked(std::move(item)), 0);
        EXPECT_NE(archive.GetLastError().find(Source(name).native()), std::string::npos)
            << archive.GetLastError();
    }
    EXPECT_EQ(archive.GetNrOfFiles(), 0);
    EXPECT_EQ(archive.GetZipFileSizeEx(), sizeBefore);
}

// A file packed where it was opened is the file that was checked: one put in its place since is not
// read, and the item keeps the metadata of the file opened. One that grows while open is flagged.
TEST_F(PackedItem, AFileOpenedBeforeIsPackedFromWhereItWasOpened) {
    const std::string checked = test::TextBytes(30'000, 3);
    WriteFileBytes(Source("file"), checked);
    UniqueFd file(::open(Source("file").c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    ASSERT_EQ(::fstat(file.Get(), &status), 0);
    WriteFileBytes(Source("other"), "swapped in");
    fs::rename(Source("other"), Source("file"));

    archive::PackedItem item =
        archive::PackOpenFile(Source("file"), std::move(file), status, "/x/file", m_compressor);
    ASSERT_TRUE(item.Packed()) << item.error;
    EXPECT_FALSE(item.changedWhileRead);
    EXPECT_EQ(item.item.mtimeNanoseconds, static_cast<std::uint32_t>(status.st_mtim.tv_nsec));
    CZipEx archive;
    ASSERT_EQ(archive.CreateZip(m_temp / "a.tkw"), 1);
    ASSERT_EQ(archive.AddPacked(std::move(item)), 1) << archive.GetLastError();
    ASSERT_EQ(archive.GetItemFile(0, m_temp / "out"), 1);
    EXPECT_EQ(ReadFileBytes(m_temp / "out"), checked);

    // Grown after it was looked at: what was read is kept and flagged.
    WriteFileBytes(Source("growing"), "12345");
    UniqueFd growing(::open(Source("growing").c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_EQ(::fstat(growing.Get(), &status), 0);
    ASSERT_EQ(::pwrite(growing.Get(), "678", 3, 5), 3);
    item = archive::PackOpenFile(Source("growing"), std::move(growing), status, "/x/growing",
                                 m_compressor);
    ASSERT_TRUE(item.Packed()) << item.error;
    EXPECT_TRUE(item.changedWhileRead);
}

}  // namespace
}  // namespace tkw
