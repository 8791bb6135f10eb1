// Without a usable index the archive is scanned; the scan's work stays proportional to the file
// however the file is laid out, so a hostile or unlucky file cannot make opening hang.
#include <gtest/gtest.h>

#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"
#include "tests/components/archive/CraftedArchive.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

// Each byte read by the search, and each byte handed to a record check, counts once; a linear scan
// stays within a few times the file size.
constexpr std::uint64_t kExaminedPerFileByte = 6;

TEST(ZipExScanCost, CraftedLayoutsAreScannedInWorkProportionalToTheFile) {
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"nested headers whose chunks swallow the next header",
         test::NestedSwallowingChunks(1 << 20)},
        {"a flood of valid headers with the longest names", test::HeaderFlood(4 << 20)},
        {"complete records with wrong header checks inside each other's names",
         test::WrongChecksInLongNames(4 << 20)},
    };
    test::TempDir temp;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // An intact item after the crafted stretch must still be found.
        test::CraftedArchive file;
        file.Bytes() = c.bytes;
        file.AppendEmptyItem("/after/the/flood");
        const fs::path path = temp / "crafted.tkw";
        test::WriteFileBytes(path, file.Bytes());

        CZipEx zip;
        ASSERT_EQ(zip.Open(path), 1) << zip.GetLastError();
        ASSERT_EQ(zip.GetNrOfFiles(), 1);
        EXPECT_EQ(zip.GetItemFileName(0), "/after/the/flood");
        EXPECT_TRUE(zip.Verify().empty());
        const auto& report = zip.GetRecoveryReport();
        EXPECT_LE(report.bytesExamined, kExaminedPerFileByte * file.Size());
    }
}

TEST(ZipExScanCost, AnArchiveWithoutIndexIsListedWithoutReadingItsData) {
    test::TempDir temp;
    const fs::path archive = temp / "backup.tkw";
    std::uint64_t dataEnd = 0;
    {
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(archive), 1);
        for (int i = 0; i < 4; ++i) {
            const fs::path source = temp / ("file" + std::to_string(i));
            test::WriteFileBytes(source, test::RandomBytes(1 << 20, i));
            ASSERT_EQ(zip.AddFile(source, "/data/file" + std::to_string(i)), 1);
        }
        const auto* last = zip.GetItemInfo(3);
        dataEnd = last->recordOffset + last->recordLength;
    }
    fs::resize_file(archive, dataEnd);  // the index is gone, as after a crash

    CZipEx zip;
    ASSERT_EQ(zip.Open(archive), 1);
    EXPECT_EQ(zip.GetNrOfFiles(), 4);
    EXPECT_LT(zip.GetRecoveryReport().bytesExamined, 4096u)
        << "headers, chunk headers and trailers only";
}

}  // namespace
}  // namespace tkw
