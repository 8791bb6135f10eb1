// What Open tells about an archive it had to scan: the state of the index, every stretch it had
// to skip, and the items it can no longer find, with their names where anything still names them.
#include <gtest/gtest.h>

#include "components/archive/Format.h"
#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;
using IndexState = CZipEx::IndexState;
using NameSource = CZipEx::LostItem::NameSource;

class ZipExRecoveryReport : public ::testing::Test {
protected:
    void SetUp() override {
        m_records = test::WriteDataArchive(
            m_archive, m_temp.path(),
            {test::TextBytes(4000, 0), test::TextBytes(5000, 1), test::TextBytes(6000, 2)});
        ASSERT_EQ(m_records.size(), 3u);
        m_closed = ReadFileBytes(m_archive);
        m_dataEnd = m_records.back().recordOffset + m_records.back().recordLength;
    }

    static std::string Name(int i) { return "/data/file" + std::to_string(i); }
    std::string WithoutIndex() const { return m_closed.substr(0, m_dataEnd); }
    static std::string Flipped(std::string bytes, std::uint64_t offset) {
        bytes.at(offset) = static_cast<char>(bytes.at(offset) ^ 0x01);
        return bytes;
    }
    // Offsets inside the middle record.
    std::uint64_t Middle(std::uint64_t within) const { return m_records[1].recordOffset + within; }
    std::uint64_t MiddleTrailer() const {
        return m_records[1].recordOffset + m_records[1].recordLength - archive::kTrailerSize;
    }
    std::uint64_t MiddleChunkHeader() const {
        return Middle(archive::kRecordFixedSize + Name(1).size() + archive::kHeaderCheckSize);
    }

    test::TempDir m_temp;
    const fs::path m_archive = m_temp / "backup.tkw";
    std::vector<archive::ItemInfo> m_records;
    std::string m_closed;
    std::uint64_t m_dataEnd = 0;
};

TEST_F(ZipExRecoveryReport, ADamagedRecordIsASkippedRegionAndALostItemNamedAsWellAsPossible) {
    const std::uint64_t footer = m_closed.size() - archive::kFooterSize;
    const struct {
        const char* what;
        std::string bytes;
        IndexState index;
        std::string lostName;
        NameSource source;
    } cases[] = {
        // The modification time: the header still decodes, but its check fails.
        {"record header", Flipped(WithoutIndex(), Middle(16)), IndexState::kMissing, Name(1),
         NameSource::kDamagedHeader},
        {"record kind", Flipped(WithoutIndex(), Middle(4)), IndexState::kMissing, "",
         NameSource::kNone},
        {"chunk header", Flipped(WithoutIndex(), MiddleChunkHeader() + 2), IndexState::kMissing,
         Name(1), NameSource::kItemHeader},
        {"trailer", Flipped(WithoutIndex(), MiddleTrailer() + 12), IndexState::kMissing, Name(1),
         NameSource::kItemHeader},
        {"record and footer", Flipped(Flipped(m_closed, Middle(16)), footer + 36),
         IndexState::kDamaged, Name(1), NameSource::kIndex},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(m_archive, c.bytes);
        CZipEx zip;
        ASSERT_EQ(zip.Open(m_archive), 1);
        const auto& report = zip.GetRecoveryReport();
        EXPECT_TRUE(report.recovered);
        EXPECT_EQ(report.index, c.index);
        ASSERT_EQ(zip.GetNrOfFiles(), 2);
        EXPECT_EQ(zip.GetItemFileName(1), Name(2)) << "the item after the damage is found";
        ASSERT_EQ(report.skippedRegions.size(), 1u);
        EXPECT_EQ(report.skippedRegions[0].offset, m_records[1].recordOffset);
        EXPECT_EQ(report.skippedRegions[0].length, m_records[1].recordLength);
        EXPECT_EQ(report.damagedBytes, m_records[1].recordLength);
        EXPECT_FALSE(report.tornTailDropped);
        ASSERT_EQ(report.lostItems.size(), 1u);
        EXPECT_EQ(report.lostItems[0].recordOffset, m_records[1].recordOffset);
        EXPECT_EQ(report.lostItems[0].name, c.lostName);
        EXPECT_EQ(report.lostItems[0].nameSource, c.source);
        EXPECT_EQ(report.lostItemsExact, c.index == IndexState::kDamaged);
        EXPECT_TRUE(report.FoundDamage());
    }
}

TEST_F(ZipExRecoveryReport, ADamagedIndexNamesEveryItemTheScanCannotFind) {
    // Two records damaged, the footer's check broken: the index still names both.
    std::string bytes = Flipped(m_closed, m_records[0].recordOffset + 20);
    bytes = Flipped(bytes, MiddleTrailer() + 30);
    bytes = Flipped(bytes, bytes.size() - 2);
    WriteFileBytes(m_archive, bytes);
    CZipEx zip;
    ASSERT_EQ(zip.Open(m_archive), 1);
    const auto& report = zip.GetRecoveryReport();
    EXPECT_EQ(report.index, IndexState::kDamaged);
    ASSERT_EQ(zip.GetNrOfFiles(), 1);
    ASSERT_EQ(report.skippedRegions.size(), 1u) << "the two damaged records lie side by side";
    EXPECT_EQ(report.skippedRegions[0].offset, m_records[0].recordOffset);
    ASSERT_EQ(report.lostItems.size(), 2u);
    EXPECT_EQ(report.lostItems[0].name, Name(0));
    EXPECT_EQ(report.lostItems[1].name, Name(1));
    EXPECT_EQ(report.lostItems[1].nameSource, NameSource::kIndex);
    EXPECT_TRUE(report.lostItemsExact);
}

TEST_F(ZipExRecoveryReport, AnIndexDamagedInItsFrameOrFooterIsNotAnUncleanClose) {
    const std::uint64_t indexStart = m_dataEnd;
    for (const std::uint64_t offset : {indexStart, indexStart + 6, m_closed.size() - 10,
                                       m_closed.size() - 6, m_closed.size() - 1}) {
        SCOPED_TRACE(offset);
        WriteFileBytes(m_archive, Flipped(m_closed, offset));
        CZipEx zip;
        ASSERT_EQ(zip.Open(m_archive), 1);
        const auto& report = zip.GetRecoveryReport();
        EXPECT_TRUE(report.recovered);
        EXPECT_EQ(report.index, IndexState::kDamaged);
        EXPECT_EQ(zip.GetNrOfFiles(), 3);
        EXPECT_FALSE(report.tornTailDropped);
        EXPECT_TRUE(report.lostItems.empty());
        EXPECT_EQ(report.bytesCutOnAppend, m_closed.size() - m_dataEnd);
        EXPECT_TRUE(report.FoundDamage());
    }
}

TEST_F(ZipExRecoveryReport, AWriterKilledBetweenItemsLeavesOnlyAMissingIndex) {
    WriteFileBytes(m_archive, WithoutIndex());
    CZipEx zip;
    ASSERT_EQ(zip.Open(m_archive), 1);
    const auto& report = zip.GetRecoveryReport();
    EXPECT_TRUE(report.recovered);
    EXPECT_EQ(report.index, IndexState::kMissing);
    EXPECT_EQ(zip.GetNrOfFiles(), 3);
    EXPECT_TRUE(report.skippedRegions.empty());
    EXPECT_TRUE(report.lostItems.empty());
    EXPECT_FALSE(report.FoundDamage());
    EXPECT_FALSE(report.RepairsOnAppend());
}

}  // namespace
}  // namespace tkw
