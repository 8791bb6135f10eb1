#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

struct SourceFile {
    std::string name;  // below the source folder; native bytes
    std::string bytes;
    mode_t mode;
    std::int64_t mtime;
};

// Files of every shape the archive must keep exactly.
std::vector<SourceFile> VariedFiles() {
    return {
        {"empty.txt", "", 0644, 1000000000},
        {"one byte", "x", 0600, 1234567890},
        {"text/readme.md", test::TextBytes(100'000, 1), 0644, 1600000000},
        {"random.bin", test::RandomBytes(3'000'000, 2), 0755, 1600000001},
        // Crosses the 32 MiB frame size: stored as two chunks.
        {"big/log.txt", test::TextBytes(40u << 20, 3), 0640, 1700000000},
        {"caf\xC3\xA9 \xE2\x82\xAC.txt", "utf-8 name", 0644, 1700000001},
        {"raw\xFF\xFE name.bin", "not utf-8 name", 0444, 1700000002},
        {"setgid", "mode bits beyond rwx", 02750, 1700000003},
    };
}

class ZipExRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        for (const SourceFile& file : VariedFiles()) {
            const fs::path path = m_temp / ("source/" + file.name);
            fs::create_directories(path.parent_path());
            WriteFileBytes(path, file.bytes);
            ASSERT_EQ(::chmod(path.c_str(), file.mode), 0);
            const timespec times[2] = {{file.mtime, 0}, {file.mtime, 123456789}};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        }
        fs::create_symlink("text/readme.md", m_temp / "source/link");
    }

    fs::path Source(const std::string& name) const { return m_temp / ("source/" + name); }

    void AddAll(CZipEx& zip) {
        for (const SourceFile& file : VariedFiles()) {
            ASSERT_EQ(zip.AddFile(Source(file.name), Source(file.name).native()), 1)
                << zip.GetLastError();
            EXPECT_EQ(zip.GetNrOfFiles() - 1, zip.FindZipItem(Source(file.name).native()));
        }
        ASSERT_EQ(zip.AddFile(Source("link"), Source("link").native()), 1) << zip.GetLastError();
    }

    test::TempDir m_temp;
    const fs::path m_archive = m_temp / "backup.tkw";
};

TEST_F(ZipExRoundTrip, EveryItemComesBackExactlyWithItsMetadata) {
    {
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(m_archive), 1) << zip.GetLastError();
        AddAll(zip);
    }  // the destructor closes and writes the index

    CZipEx zip;
    ASSERT_EQ(zip.Open(m_archive), 1) << zip.GetLastError();
    EXPECT_FALSE(zip.GetRecoveryReport().recovered) << "a closed archive opens through its index";
    const auto files = VariedFiles();
    ASSERT_EQ(zip.GetNrOfFiles(), static_cast<int>(files.size()) + 1);
    EXPECT_EQ(zip.GetZipFileName(), m_archive);
    EXPECT_EQ(zip.GetZipFileSizeEx(), fs::file_size(m_archive));
    EXPECT_LE(std::abs(zip.GetZipCreationTime() - std::time(nullptr)), 600);

    for (std::size_t i = 0; i < files.size(); ++i) {
        const SourceFile& file = files[i];
        const int index = static_cast<int>(i);
        EXPECT_EQ(zip.GetItemFileName(index), Source(file.name).native());
        EXPECT_EQ(zip.GetItemFileSize(index), file.bytes.size());
        EXPECT_EQ(zip.FindZipItem(Source(file.name).native()), index);

        const fs::path target = m_temp / ("restored/" + file.name);
        ASSERT_EQ(zip.GetItemFile(index, target), 1) << zip.GetLastError();
        EXPECT_TRUE(ReadFileBytes(target) == file.bytes) << file.name;
        const struct stat info = test::LinkStatus(target);
        EXPECT_EQ(info.st_mode & 07777, file.mode) << file.name;
        EXPECT_EQ(info.st_mtim.tv_sec, file.mtime) << file.name;
        EXPECT_EQ(info.st_mtim.tv_nsec, 123456789) << file.name;
    }

    const int link = zip.FindZipItem(Source("link").native());
    ASSERT_EQ(link, static_cast<int>(files.size()));
    EXPECT_EQ(zip.GetItemInfo(link)->kind, archive::ItemKind::SymbolicLink);
    ASSERT_EQ(zip.GetItemFile(link, m_temp / "restored/link"), 1) << zip.GetLastError();
    EXPECT_TRUE(fs::is_symlink(m_temp / "restored/link"));
    EXPECT_EQ(fs::read_symlink(m_temp / "restored/link"), "text/readme.md");

    EXPECT_EQ(zip.FindZipItem("/no/such/item"), -1);
    EXPECT_TRUE(zip.Verify().empty());
    // No temporary file is left beside the restored ones.
    for (const auto& entry : fs::recursive_directory_iterator(m_temp / "restored")) {
        EXPECT_EQ(entry.path().filename().native().find(".tkw-restore-"), std::string::npos);
    }
}

TEST_F(ZipExRoundTrip, AppendingAfterReopenContinuesAfterTheLastItem) {
    {
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(m_archive), 1);
        ASSERT_EQ(zip.AddFile(Source("one byte"), "/first"), 1);
    }
    for (const char* name : {"/second", "/third"}) {
        CZipEx zip;
        ASSERT_EQ(zip.Open(m_archive), 1) << zip.GetLastError();
        ASSERT_EQ(zip.AddFile(Source("random.bin"), name), 1) << zip.GetLastError();
        EXPECT_EQ(zip.GetNrOfFiles() - 1, zip.FindZipItem(name));
    }
    CZipEx zip;
    ASSERT_EQ(zip.Open(m_archive), 1);
    EXPECT_FALSE(zip.GetRecoveryReport().recovered);
    ASSERT_EQ(zip.GetNrOfFiles(), 3);
    EXPECT_EQ(zip.GetItemFileName(0), "/first");
    EXPECT_EQ(zip.GetItemFileName(1), "/second");
    EXPECT_EQ(zip.GetItemFileName(2), "/third");
    EXPECT_TRUE(zip.Verify().empty());
    ASSERT_EQ(zip.GetItemFile(2, m_temp / "third"), 1);
    EXPECT_TRUE(ReadFileBytes(m_temp / "third") == ReadFileBytes(Source("random.bin")));
}

TEST_F(ZipExRoundTrip, AFlushedArchiveIsCompleteOnDiskAndStillTakesItems) {
    CZipEx zip;
    ASSERT_EQ(zip.CreateZip(m_archive), 1);
    ASSERT_EQ(zip.AddFile(Source("one byte"), "/first"), 1);
    ASSERT_EQ(zip.Flush(), 1);
    // What is on disk now opens through its index, as after a close.
    const fs::path copy = m_temp / "copy.tkw";
    fs::copy_file(m_archive, copy);
    {
        CZipEx reader;
        ASSERT_EQ(reader.Open(copy), 1);
        EXPECT_FALSE(reader.GetRecoveryReport().recovered);
        EXPECT_EQ(reader.GetNrOfFiles(), 1);
    }
    // Adding replaces that index; closing writes the new one.
    ASSERT_EQ(zip.AddFile(Source("random.bin"), "/second"), 1);
    ASSERT_EQ(zip.GetItemFile(1, m_temp / "second"), 1) << zip.GetLastError();
    ASSERT_EQ(zip.Close(), 1);
    ASSERT_EQ(zip.Open(m_archive), 1);
    EXPECT_FALSE(zip.GetRecoveryReport().recovered);
    ASSERT_EQ(zip.GetNrOfFiles(), 2);
    EXPECT_EQ(zip.GetItemFileName(1), "/second");
    EXPECT_TRUE(zip.Verify().empty());
}

TEST_F(ZipExRoundTrip, CreatingGivesOnlyTheOwnerAccessAndNeverReplacesAFile) {
    const mode_t mask = ::umask(0);  // even a permissive umask gives the owner alone access
    CZipEx zip;
    ASSERT_EQ(zip.CreateZip(m_archive), 1);
    ::umask(mask);
    EXPECT_EQ(zip.GetNrOfFiles(), 0);
    ASSERT_EQ(zip.AddFile(Source("one byte"), "/x"), 1);
    ASSERT_EQ(zip.Close(), 1);
    EXPECT_EQ(test::LinkStatus(m_archive).st_mode & 0777, 0600u);

    // Another run that decided to create the same backup file, having looked before this one
    // made it, is refused and the finished archive stays as it is.
    const std::string finished = ReadFileBytes(m_archive);
    CZipEx late;
    EXPECT_EQ(late.CreateZip(m_archive), 0);
    EXPECT_NE(late.GetLastError().find("already exists"), std::string::npos) << late.GetLastError();
    EXPECT_EQ(ReadFileBytes(m_archive), finished);
    WriteFileBytes(m_temp / "other", std::string(1000, 'x'));
    EXPECT_EQ(late.CreateZip(m_temp / "other"), 0);
    EXPECT_EQ(ReadFileBytes(m_temp / "other"), std::string(1000, 'x'));
    ASSERT_EQ(zip.Open(m_archive), 1);
    EXPECT_EQ(zip.GetNrOfFiles(), 1);
}

TEST_F(ZipExRoundTrip, WhatCannotBeStoredFailsCleanly) {
    CZipEx zip;
    EXPECT_EQ(zip.AddFile(Source("one byte"), "/x"), 0) << "nothing is open";
    ASSERT_EQ(zip.CreateZip(m_archive), 1);
    const auto sizeBefore = fs::file_size(m_archive);
    EXPECT_EQ(zip.AddFile(m_temp / "missing", "/missing"), 0);
    EXPECT_EQ(zip.AddFile(m_temp / "source", "/a folder"), 0);
    ASSERT_EQ(::mkfifo((m_temp / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(zip.AddFile(m_temp / "fifo", "/fifo"), 0);
    EXPECT_EQ(zip.AddFile(Source("one byte"), std::string_view("a\0b", 3)), 0);
    EXPECT_EQ(zip.AddFile(Source("one byte"), ""), 0);
    EXPECT_FALSE(zip.GetLastError().empty());
    EXPECT_EQ(zip.GetNrOfFiles(), 0);
    EXPECT_EQ(fs::file_size(m_archive), sizeBefore);
    EXPECT_EQ(zip.GetItemFile(0, m_temp / "out"), 0);
    EXPECT_EQ(zip.GetItemFileSize(5), 0u);
    EXPECT_EQ(zip.GetItemFileName(-1), "");

    CZipEx other;
    EXPECT_EQ(other.Open(Source("text/readme.md")), 0) << "not an archive";
    EXPECT_EQ(other.Open(m_temp / "missing.tkw"), 0);
}

}  // namespace
}  // namespace tkw
