// Opening, listing, verifying and extracting never change the archive; the repair a damaged
// archive needs (cutting a torn tail, writing a new index) waits until an item is added to it.
#include <gtest/gtest.h>

#include "components/archive/Format.h"
#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"
#include "tests/components/archive/CraftedArchive.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

class ZipExReadOnly : public ::testing::Test {
protected:
    void SetUp() override {
        const auto records =
            test::WriteDataArchive(m_archive, m_temp.path(),
                                   {test::RandomBytes(30000, 0), test::RandomBytes(30000, 1),
                                    test::RandomBytes(30000, 2)});
        ASSERT_EQ(records.size(), 3u);
        m_dataEnd = records.back().recordOffset + records.back().recordLength;
        m_closed = ReadFileBytes(m_archive);
    }

    struct Case {
        const char* what;
        std::string bytes;
        int completeItems;
        bool repairs;  // something after the last complete item is cut off by the first append
    };
    std::vector<Case> Cases() const {
        const std::string nest = test::NestedSwallowingChunks(64 << 10);
        test::CraftedArchive nestFirst;
        nestFirst.Bytes() = nest;
        nestFirst.AppendEmptyItem("/after/the/nest");
        test::CraftedArchive nestLast;
        nestLast.AppendEmptyItem("/before/the/nest");
        nestLast.Bytes() += nest.substr(archive::kFileHeaderSize);
        std::string damagedIndex = m_closed;
        damagedIndex[m_dataEnd + 8] ^= 0x10;
        return {
            {"cut inside the last item", m_closed.substr(0, m_dataEnd - 5000), 2, true},
            {"cut inside the index", m_closed.substr(0, m_closed.size() - 7), 3, true},
            {"a damaged index", damagedIndex, 3, true},
            {"crafted records before an item", nestFirst.Bytes(), 1, false},
            {"crafted records after an item", nestLast.Bytes(), 1, true},
        };
    }

    test::TempDir m_temp;
    const fs::path m_archive = m_temp / "backup.tkw";
    std::string m_closed;
    std::uint64_t m_dataEnd = 0;
};

TEST_F(ZipExReadOnly, OpeningListingVerifyingAndExtractingLeaveTheFileByteForByte) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(m_archive, c.bytes);
        {
            CZipEx zip;
            ASSERT_EQ(zip.Open(m_archive), 1);
            ASSERT_EQ(zip.GetNrOfFiles(), c.completeItems);
            EXPECT_EQ(zip.GetRecoveryReport().RepairsOnAppend(), c.repairs);
            EXPECT_EQ(zip.IsRepairPending(), c.repairs);
            EXPECT_TRUE(zip.Verify().empty());
            EXPECT_EQ(zip.GetItemFile(0, m_temp / "out"), 1);
            EXPECT_EQ(zip.Flush(), 1);
            EXPECT_EQ(zip.Close(), 1);
        }  // and the destructor
        EXPECT_TRUE(ReadFileBytes(m_archive) == c.bytes);
    }
}

TEST_F(ZipExReadOnly, TheFirstItemAddedRepairsTheFileAndKeepsEveryCompleteItem) {
    const fs::path added = m_temp / "added";
    WriteFileBytes(added, "added after the repair");
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(m_archive, c.bytes);
        std::vector<std::string> names;
        {
            CZipEx zip;
            ASSERT_EQ(zip.Open(m_archive), 1);
            for (int i = 0; i < zip.GetNrOfFiles(); ++i) {
                names.push_back(zip.GetItemFileName(i));
            }
            ASSERT_EQ(zip.AddFile(added, "/added"), 1) << zip.GetLastError();
            EXPECT_FALSE(zip.IsRepairPending());
        }
        names.push_back("/added");
        CZipEx zip;
        ASSERT_EQ(zip.Open(m_archive), 1);
        EXPECT_FALSE(zip.GetRecoveryReport().recovered) << "closing wrote a fresh index";
        ASSERT_EQ(zip.GetNrOfFiles(), static_cast<int>(names.size()));
        for (int i = 0; i < zip.GetNrOfFiles(); ++i) {
            EXPECT_EQ(zip.GetItemFileName(i), names[static_cast<std::size_t>(i)]);
        }
        EXPECT_TRUE(zip.Verify().empty());
        ASSERT_EQ(zip.GetItemFile(zip.GetNrOfFiles() - 1, m_temp / "out"), 1);
        EXPECT_EQ(ReadFileBytes(m_temp / "out"), "added after the repair");
    }
}

TEST_F(ZipExReadOnly, AnIntactArchiveNeedsNoRepair) {
    CZipEx zip;
    ASSERT_EQ(zip.Open(m_archive), 1);
    EXPECT_FALSE(zip.GetRecoveryReport().RepairsOnAppend());
    EXPECT_FALSE(zip.IsRepairPending());
    EXPECT_FALSE(zip.GetRecoveryReport().FoundDamage());
}

}  // namespace
}  // namespace tkw
