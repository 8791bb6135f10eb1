// A backup killed in its first moments leaves an empty file or part of a header: it opens with no
// items, stays as it is, and takes items as a new archive would.
#include <gtest/gtest.h>

#include <ctime>

#include "components/archive/Format.h"
#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

std::string HeaderPrefix(std::size_t size) {
    archive::FileHeader header;
    header.creationTime = 1700000000;
    header.archiveId = 0x1122334455667788ull;
    return archive::EncodeFileHeader(header).substr(0, size);
}

TEST(ZipExEmptyFile, AnEmptyFileOrAHeaderCutShortOpensEmptyAndTakesItems) {
    test::TempDir temp;
    const fs::path archive = temp / "backup.tkw";
    WriteFileBytes(temp / "a", "the first item");
    for (const std::size_t size : {std::size_t{0}, std::size_t{17}, archive::kFileHeaderSize - 1}) {
        SCOPED_TRACE(size);
        const std::string bytes = HeaderPrefix(size);
        WriteFileBytes(archive, bytes);
        {
            CZipEx zip;
            ASSERT_EQ(zip.Open(archive), 1) << zip.GetLastError();
            EXPECT_EQ(zip.GetNrOfFiles(), 0);
            const auto& report = zip.GetRecoveryReport();
            EXPECT_TRUE(report.headerMissing);
            EXPECT_TRUE(report.FoundDamage());
            EXPECT_TRUE(zip.IsRepairPending());
            EXPECT_TRUE(zip.Verify().empty());
        }
        EXPECT_EQ(ReadFileBytes(archive), bytes) << "opening leaves it as it is";

        const std::time_t before = std::time(nullptr);
        {
            CZipEx zip;
            ASSERT_EQ(zip.Open(archive), 1);
            ASSERT_EQ(zip.AddFile(temp / "a", "/a"), 1) << zip.GetLastError();
            EXPECT_FALSE(zip.IsRepairPending());
        }
        CZipEx zip;
        ASSERT_EQ(zip.Open(archive), 1) << zip.GetLastError();
        EXPECT_FALSE(zip.GetRecoveryReport().recovered);
        ASSERT_EQ(zip.GetNrOfFiles(), 1);
        EXPECT_EQ(zip.GetItemFileName(0), "/a");
        EXPECT_GE(zip.GetZipCreationTime(), before) << "a new header, made when it was written";
        ASSERT_EQ(zip.GetItemFile(0, temp / "out"), 1);
        EXPECT_EQ(ReadFileBytes(temp / "out"), "the first item");
    }
}

TEST(ZipExEmptyFile, FilesThatAreNoHeaderOrItsBeginningAreRefused) {
    test::TempDir temp;
    const fs::path archive = temp / "backup.tkw";
    std::string wrongVersion = HeaderPrefix(17);
    wrongVersion[8] = 2;
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"17 other bytes", std::string("this is no backup")},
        {"another major version", wrongVersion},
        {"a whole header with a wrong check", HeaderPrefix(36) + std::string(4, '\0')},
        {"a header prefix followed by other bytes", HeaderPrefix(20) + std::string(30, 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(archive, c.bytes);
        CZipEx zip;
        EXPECT_EQ(zip.Open(archive), 0);
        EXPECT_NE(zip.GetLastError().find("is not a Tarnwick backup file"), std::string::npos)
            << zip.GetLastError();
        EXPECT_EQ(ReadFileBytes(archive), c.bytes);
    }
}

}  // namespace
}  // namespace tkw
