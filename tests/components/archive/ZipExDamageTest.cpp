// Damaged archives: what is intact is found, what is damaged is reported, and nothing crashes.
#include <gtest/gtest.h>

#include "components/archive/Format.h"
#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

class ZipExDamage : public ::testing::Test {
protected:
    void SetUp() override {
        m_contents = {test::TextBytes(5000, 1), test::RandomBytes(70000, 2),
                      test::TextBytes(300, 3)};
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(m_archive), 1);
        for (std::size_t i = 0; i < m_contents.size(); ++i) {
            const fs::path source = m_temp / ("file" + std::to_string(i));
            WriteFileBytes(source, m_contents[i]);
            ASSERT_EQ(zip.AddFile(source, "/data/file" + std::to_string(i)), 1);
            m_records.push_back(*zip.GetItemInfo(static_cast<int>(i)));
        }
        ASSERT_EQ(zip.Close(), 1);
    }

    // Cuts the index and footer off, as if the writer had been killed after its last item.
    void DropIndex() {
        fs::resize_file(m_archive, m_records.back().recordOffset + m_records.back().recordLength);
    }

    test::TempDir m_temp;
    const fs::path m_archive = m_temp / "backup.tkw";
    std::vector<std::string> m_contents;
    std::vector<archive::ItemInfo> m_records;
};

TEST_F(ZipExDamage, AFlippedByteInDataIsDetectedAndExtractionLeavesTheOldFile) {
    const auto& item = m_records[1];
    test::FlipByte(m_archive, item.recordOffset + item.recordLength / 2);

    CZipEx zip;
    ASSERT_EQ(zip.Open(m_archive), 1);
    const auto failures = zip.Verify();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].index, 1);

    const fs::path target = m_temp / "restored" / "file1";
    fs::create_directories(target.parent_path());
    WriteFileBytes(target, "the old contents");
    EXPECT_EQ(zip.GetItemFile(1, target), 0);
    EXPECT_FALSE(zip.GetLastError().empty());
    EXPECT_EQ(ReadFileBytes(target), "the old contents");
    EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), fs::directory_iterator()),
              1)
        << "no temporary file is left behind";

    // The neighbours are untouched.
    ASSERT_EQ(zip.GetItemFile(2, m_temp / "file2.out"), 1);
    EXPECT_EQ(ReadFileBytes(m_temp / "file2.out"), m_contents[2]);
}

TEST_F(ZipExDamage, AFlippedByteInAnItemHeaderIsDetected) {
    const auto& item = m_records[1];
    for (const std::uint64_t offset : {item.recordOffset + 5, item.recordOffset + 40,  // kind, name
                                       item.recordOffset + item.recordLength - 20}) {  // trailer
        SCOPED_TRACE(offset);
        const std::string original = ReadFileBytes(m_archive);
        test::FlipByte(m_archive, offset);
        CZipEx zip;
        ASSERT_EQ(zip.Open(m_archive), 1);
        const auto failures = zip.Verify();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].index, 1);
        EXPECT_EQ(zip.GetItemFile(1, m_temp / "out"), 0);
        EXPECT_FALSE(fs::exists(m_temp / "out"));
        zip.Close();
        WriteFileBytes(m_archive, original);
    }
}

TEST_F(ZipExDamage, ADamagedIndexIsReportedAndRebuiltOnceAnItemIsAdded) {
    test::FlipByte(m_archive, fs::file_size(m_archive) - archive::kFooterSize - 10);
    const std::string damaged = ReadFileBytes(m_archive);
    CZipEx zip;
    ASSERT_EQ(zip.Open(m_archive), 1);
    const auto& report = zip.GetRecoveryReport();
    EXPECT_TRUE(report.recovered);
    EXPECT_EQ(report.index, CZipEx::IndexState::kDamaged);
    EXPECT_EQ(report.completeItems, 3u);
    EXPECT_FALSE(report.tornTailDropped) << "an old index is not an item cut short";
    EXPECT_TRUE(report.lostItems.empty());
    EXPECT_TRUE(report.RepairsOnAppend());
    EXPECT_EQ(zip.GetNrOfFiles(), 3);
    EXPECT_TRUE(zip.Verify().empty());
    ASSERT_EQ(zip.Close(), 1);
    EXPECT_EQ(ReadFileBytes(m_archive), damaged) << "reading leaves the file as it is";

    ASSERT_EQ(zip.Open(m_archive), 1);
    EXPECT_TRUE(zip.IsRepairPending());
    ASSERT_EQ(zip.AddFile(m_temp / "file2", "/data/added"), 1);
    EXPECT_FALSE(zip.IsRepairPending());
    ASSERT_EQ(zip.Close(), 1);  // writes a fresh index

    ASSERT_EQ(zip.Open(m_archive), 1);
    EXPECT_FALSE(zip.GetRecoveryReport().recovered);
    ASSERT_EQ(zip.GetNrOfFiles(), 4);
    EXPECT_EQ(zip.GetItemFileName(3), "/data/added");
    EXPECT_TRUE(zip.Verify().empty());
}

TEST_F(ZipExDamage, WithoutIndexADamagedItemDoesNotHideTheOnesAfterIt) {
    DropIndex();
    test::FlipByte(m_archive, m_records[1].recordOffset + 40);
    CZipEx zip;
    ASSERT_EQ(zip.Open(m_archive), 1);
    ASSERT_EQ(zip.GetNrOfFiles(), 2);
    EXPECT_EQ(zip.GetItemFileName(0), "/data/file0");
    EXPECT_EQ(zip.GetItemFileName(1), "/data/file2");
    EXPECT_EQ(zip.GetRecoveryReport().damagedBytes, m_records[1].recordLength);
    EXPECT_TRUE(zip.Verify().empty());
}

TEST_F(ZipExDamage, TruncatedAnywhereTheArchiveOpensWithEveryItemBeforeTheCutAndNamesTheCutOne) {
    const std::string whole = ReadFileBytes(m_archive);
    const fs::path cut = m_temp / "cut.tkw";
    for (std::size_t size = 0; size < whole.size(); size += (size < 200 ? 1 : 97)) {
        WriteFileBytes(cut, whole.substr(0, size));
        CZipEx zip;
        ASSERT_EQ(zip.Open(cut), 1) << size;
        const auto& report = zip.GetRecoveryReport();
        if (size < archive::kFileHeaderSize) {
            EXPECT_TRUE(report.headerMissing) << size;
            EXPECT_EQ(zip.GetNrOfFiles(), 0) << size;
            continue;
        }
        std::size_t complete = 0;
        while (complete < m_records.size() &&
               m_records[complete].recordOffset + m_records[complete].recordLength <= size) {
            ++complete;
        }
        EXPECT_EQ(zip.GetNrOfFiles(), static_cast<int>(complete)) << size;
        EXPECT_TRUE(zip.Verify().empty()) << size;

        const std::uint64_t dataEnd = complete == 0 ? archive::kFileHeaderSize
                                                    : m_records[complete - 1].recordOffset +
                                                          m_records[complete - 1].recordLength;
        const bool insideAnItem = complete < m_records.size() && size > dataEnd;
        EXPECT_EQ(report.tornTailDropped, insideAnItem) << size;
        EXPECT_EQ(report.index, complete == m_records.size() && size > dataEnd
                                    ? CZipEx::IndexState::kDamaged
                                    : CZipEx::IndexState::kMissing)
            << size;
        EXPECT_EQ(report.FoundDamage(), size > dataEnd) << size;
        ASSERT_EQ(report.lostItems.size(), insideAnItem ? 1u : 0u) << size;
        if (insideAnItem) {
            // The cut item's name, once its header is in the file.
            const std::string name = "/data/file" + std::to_string(complete);
            const bool nameThere = size >= dataEnd + archive::kRecordFixedSize + name.size();
            EXPECT_EQ(report.lostItems[0].name, nameThere ? name : "") << size;
            EXPECT_EQ(report.lostItems[0].recordOffset, dataEnd) << size;
        }
    }
}

TEST_F(ZipExDamage, HostileLengthsAreRefusedWithoutAllocatingOrReadingPastTheEnd) {
    DropIndex();
    const std::string whole = ReadFileBytes(m_archive);
    const std::uint64_t second = m_records[1].recordOffset;
    const struct {
        const char* what;
        std::uint64_t offset;
        std::string bytes;
    } cases[] = {
        {"name length", second + 8, std::string("\xFF\xFF\xFF\xFF", 4)},
        {"chunk stored length", second + 36 + 11 + 4, std::string("\xFF\xFF\xFF\x7F", 4)},
        {"chunk original length", second + 36 + 11 + 8, std::string("\xFF\xFF\xFF\xFF", 4)},
    };
    for (const auto& c : cases) {
        std::string damaged = whole;
        damaged.replace(c.offset, c.bytes.size(), c.bytes);
        WriteFileBytes(m_archive, damaged);
        CZipEx zip;
        ASSERT_EQ(zip.Open(m_archive), 1) << c.what;
        EXPECT_EQ(zip.GetNrOfFiles(), 2) << c.what;  // the damaged item alone is lost
        EXPECT_TRUE(zip.Verify().empty()) << c.what;
    }
}

}  // namespace
}  // namespace tkw
