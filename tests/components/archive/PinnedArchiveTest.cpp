// The archives in pinned/ were written once by the program (PinnedArchiveWriter.cpp tells how) and
// are never rewritten: users hold backups in this format, so every build must read these files
// exactly as below. A second reader, written from docs/FORMAT.md alone, walks the same bytes, so
// the document and the code cannot drift apart unnoticed.
#include <gtest/gtest.h>
#include <xxhash.h>
#include <zstd.h>

#include <cstring>
#include <optional>

#include "components/archive/Format.h"
#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"
#include "tests/components/archive/PinnedItems.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using archive::ItemKind;
using test::PinnedItem;
using IndexState = CZipEx::IndexState;
using NameSource = CZipEx::LostItem::NameSource;

const fs::path kPinned = TARNWICK_PINNED_DIR;

// Facts of the pinned files, as the writer printed them.
constexpr std::int64_t kCreated = 1796915002;
constexpr std::uint64_t kRecordOffsets[] = {40, 214, 325, 467, 871, 9232};
constexpr std::uint64_t kRecordLengths[] = {174, 111, 142, 404, 8361, 151};
constexpr std::uint64_t kIndexOffset = 9383;
constexpr std::uint64_t kItemsFileSize = 9673;
constexpr std::uint64_t kTornFileSize = 9303;

std::string Escaped(std::string_view name) {
    std::string text;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 0xF];
        } else {
            text += c;
        }
    }
    return text;
}

// Reads the archive's items as the program does and checks each against what was written: name,
// kind, size, metadata, and the bytes (or link target) a restore writes.
void ExpectItems(CZipEx& zip, const std::vector<int>& kept, const fs::path& out) {
    const std::vector<PinnedItem> items = test::PinnedItems();
    ASSERT_EQ(zip.GetNrOfFiles(), static_cast<int>(kept.size()));
    for (int index = 0; index < zip.GetNrOfFiles(); ++index) {
        const PinnedItem& expected = items[static_cast<std::size_t>(kept[index])];
        SCOPED_TRACE("item " + std::to_string(index) + ": " + Escaped(expected.name));
        EXPECT_EQ(zip.GetItemFileName(index), expected.name);
        EXPECT_EQ(zip.GetItemFileSize(index), expected.content.size());
        const archive::ItemInfo& info = *zip.GetItemInfo(index);
        EXPECT_EQ(info.kind, expected.kind);
        EXPECT_EQ(info.mode, expected.mode);
        EXPECT_EQ(info.mtimeSeconds, expected.mtimeSeconds);
        EXPECT_EQ(info.mtimeNanoseconds, expected.mtimeNanoseconds);
        EXPECT_EQ(info.uid, test::kPinnedUid);
        EXPECT_EQ(info.gid, test::kPinnedGid);
        EXPECT_EQ(info.recordOffset, kRecordOffsets[kept[index]]);
        EXPECT_EQ(info.recordLength, kRecordLengths[kept[index]]);

        const fs::path folder = out / std::to_string(index);
        ASSERT_EQ(zip.GetItemFileUnder(index, folder), 1) << zip.GetLastError();
        const fs::path restored = folder / fs::path(expected.name).relative_path();
        if (expected.kind == ItemKind::SymbolicLink) {
            EXPECT_EQ(fs::read_symlink(restored).native(), expected.content);
        } else {
            EXPECT_TRUE(test::ReadFileBytes(restored) == expected.content) << "content differs";
        }
    }
    EXPECT_TRUE(zip.Verify().empty());
}

struct ExpectedReport {
    bool recovered;
    IndexState index;
    bool tornTailDropped;
    std::uint64_t tornTailOffset;
    std::uint64_t tornTailBytes;
    std::vector<CZipEx::SkippedRegion> skippedRegions;
    std::vector<CZipEx::LostItem> lostItems;
    bool lostItemsExact;
    std::uint64_t bytesCutOnAppend;
};

void ExpectReport(const CZipEx::RecoveryReport& report, const ExpectedReport& expected) {
    EXPECT_EQ(report.recovered, expected.recovered);
    EXPECT_EQ(report.index, expected.index);
    EXPECT_FALSE(report.headerMissing);
    EXPECT_EQ(report.tornTailDropped, expected.tornTailDropped);
    EXPECT_EQ(report.tornTailOffset, expected.tornTailOffset);
    EXPECT_EQ(report.tornTailBytes, expected.tornTailBytes);
    ASSERT_EQ(report.skippedRegions.size(), expected.skippedRegions.size());
    std::uint64_t damaged = 0;
    for (std::size_t i = 0; i < expected.skippedRegions.size(); ++i) {
        EXPECT_EQ(report.skippedRegions[i].offset, expected.skippedRegions[i].offset);
        EXPECT_EQ(report.skippedRegions[i].length, expected.skippedRegions[i].length);
        damaged += expected.skippedRegions[i].length;
    }
    EXPECT_EQ(report.damagedBytes, damaged);
    ASSERT_EQ(report.lostItems.size(), expected.lostItems.size());
    for (std::size_t i = 0; i < expected.lostItems.size(); ++i) {
        EXPECT_EQ(report.lostItems[i].recordOffset, expected.lostItems[i].recordOffset);
        EXPECT_EQ(report.lostItems[i].name, expected.lostItems[i].name);
        EXPECT_EQ(report.lostItems[i].nameSource, expected.lostItems[i].nameSource);
    }
    EXPECT_EQ(report.lostItemsExact, expected.lostItemsExact);
    EXPECT_EQ(report.bytesCutOnAppend, expected.bytesCutOnAppend);
    EXPECT_EQ(report.FoundDamage(), expected.index == IndexState::kDamaged ||
                                        expected.tornTailDropped || !expected.lostItems.empty());
}

TEST(PinnedArchive, EveryBuildReadsThePinnedFilesExactly) {
    const std::string newest = "/home/pin/notes.txt";
    const struct {
        const char* file;
        std::uint64_t size;
        std::vector<int> kept;  // of PinnedItems(), in the order listed
        int newestNotes;        // what a lookup of `newest` finds
        ExpectedReport report;
    } cases[] = {
        {"items.tkw",
         kItemsFileSize,
         {0, 1, 2, 3, 4, 5},
         5,
         {false, IndexState::kIntact, false, 0, 0, {}, {}, false, 0}},
        // The writer was killed inside the last item's data: the newer copy of the notes is lost,
        // the older one is what a lookup finds.
        {"torn-tail.tkw",
         kTornFileSize,
         {0, 1, 2, 3, 4},
         0,
         {true,
          IndexState::kMissing,
          true,
          kRecordOffsets[5],
          kTornFileSize - kRecordOffsets[5],
          {},
          {{kRecordOffsets[5], newest, NameSource::kItemHeader}},
          false,
          kTornFileSize - kRecordOffsets[5]}},
        // The index fails its checks, and item 3 is no longer complete: the scan skips it, and the
        // index, which still decodes, names it.
        {"damaged-index.tkw",
         kItemsFileSize,
         {0, 1, 2, 4, 5},
         4,
         {true,
          IndexState::kDamaged,
          false,
          0,
          0,
          {{kRecordOffsets[3], kRecordLengths[3]}},
          {{kRecordOffsets[3], "/home/pin/caf\xE9 bytes.bin", NameSource::kIndex}},
          true,
          kItemsFileSize - kIndexOffset}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        // A copy: the checked-in file must never be opened for writing.
        test::TempDir temp;
        const fs::path copy = temp / c.file;
        fs::copy_file(kPinned / c.file, copy);
        const std::string before = test::ReadFileBytes(copy);
        ASSERT_EQ(before.size(), c.size);
        {
            CZipEx zip;
            ASSERT_EQ(zip.Open(copy), 1) << zip.GetLastError();
            EXPECT_EQ(zip.GetZipCreationTime(), kCreated);
            ExpectReport(zip.GetRecoveryReport(), c.report);
            ExpectItems(zip, c.kept, temp / "out");
            EXPECT_EQ(zip.FindZipItem(newest), c.newestNotes);
        }
        EXPECT_TRUE(test::ReadFileBytes(copy) == before) << "reading changed the file";
    }
}

// --- A reader written from docs/FORMAT.md alone ---

class LittleEndian {
public:
    LittleEndian(const std::string& bytes, std::uint64_t offset) : m_bytes(bytes), m_pos(offset) {}
    std::uint64_t Get(int size) {
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) {
            value |= std::uint64_t{static_cast<unsigned char>(m_bytes.at(m_pos + i))} << (8 * i);
        }
        m_pos += static_cast<std::uint64_t>(size);
        return value;
    }
    std::string Bytes(std::uint64_t size) {
        std::string bytes = m_bytes.substr(m_pos, size);
        m_pos += size;
        return bytes;
    }
    std::uint64_t Position() const { return m_pos; }

private:
    const std::string& m_bytes;
    std::uint64_t m_pos;
};

struct DocumentedItem {
    std::uint64_t offset, length, size;
    std::uint16_t kind;
    std::uint32_t mode;
    std::int64_t mtimeSeconds;
    std::uint32_t mtimeNanoseconds, uid, gid;
    std::string name;
    std::string data;  // decoded; empty when read from the index
};

std::uint32_t Xxh32(const std::string& bytes, std::uint64_t from, std::uint64_t size,
                    std::uint32_t seed) {
    return XXH32(bytes.data() + from, size, seed);
}

// The window a zstd frame asks its decoder for (RFC 8878, 3.1.1.1): the window descriptor's, or the
// content size in a single-segment frame.
std::uint64_t FrameWindowSize(const std::string& frame) {
    const auto descriptor = static_cast<unsigned char>(frame.at(4));
    const int contentSizeFlag = descriptor >> 6;
    const bool singleSegment = (descriptor & 0x20) != 0;
    const int dictionaryIdBytes[] = {0, 1, 2, 4};
    if (!singleSegment) {
        const auto window = static_cast<unsigned char>(frame.at(5));
        const std::uint64_t base = std::uint64_t{1} << (10 + (window >> 3));
        return base + base / 8 * (window & 7);
    }
    const int contentSizeBytes[] = {1, 2, 4, 8};
    LittleEndian r(frame, 5 + static_cast<std::uint64_t>(dictionaryIdBytes[descriptor & 3]));
    const std::uint64_t size = r.Get(contentSizeBytes[contentSizeFlag]);
    return contentSizeFlag == 1 ? size + 256 : size;
}

// One record at `at`, every field and check as the document gives it.
DocumentedItem ReadDocumentedRecord(const std::string& file, std::uint64_t at, std::uint32_t seed) {
    DocumentedItem item{};
    item.offset = at;
    LittleEndian r(file, at);
    EXPECT_EQ(r.Bytes(4), "TKWI");
    item.kind = static_cast<std::uint16_t>(r.Get(2));
    EXPECT_EQ(r.Get(2), 0u) << "reserved";
    const std::uint64_t nameLength = r.Get(4);
    item.mode = static_cast<std::uint32_t>(r.Get(4));
    item.mtimeSeconds = static_cast<std::int64_t>(r.Get(8));
    item.mtimeNanoseconds = static_cast<std::uint32_t>(r.Get(4));
    item.uid = static_cast<std::uint32_t>(r.Get(4));
    item.gid = static_cast<std::uint32_t>(r.Get(4));
    item.name = r.Bytes(nameLength);
    const auto headerCheck = static_cast<std::uint32_t>(r.Get(4));
    EXPECT_EQ(headerCheck, Xxh32(file, at, 36 + nameLength, seed)) << "header check";

    std::uint64_t chunks = 0;
    while (true) {
        const std::uint64_t stored = r.Get(4);
        const std::uint64_t original = r.Get(4);
        if (stored == 0 && original == 0) {
            break;
        }
        ++chunks;
        EXPECT_LE(original, 32u << 20);
        EXPECT_LE(stored, ZSTD_compressBound(original));
        const std::string frame = r.Bytes(stored);
        EXPECT_LE(FrameWindowSize(frame), 1u << 25) << "the window a reader must allow";
        std::string data(original, '\0');
        EXPECT_EQ(ZSTD_decompress(data.data(), data.size(), frame.data(), frame.size()), original)
            << "one frame, exactly U bytes";
        item.data += data;
    }
    const std::uint64_t trailer = r.Position();
    EXPECT_EQ(r.Bytes(4), "TKWE");
    EXPECT_EQ(r.Get(4), chunks);
    item.size = r.Get(8);
    EXPECT_EQ(item.size, item.data.size());
    EXPECT_EQ(r.Get(8), trailer - at) << "record length up to the trailer";
    const XXH128_hash_t hash = XXH3_128bits(item.data.data(), item.data.size());
    EXPECT_EQ(r.Get(8), hash.low64);
    EXPECT_EQ(r.Get(8), hash.high64);
    EXPECT_EQ(r.Get(4), 0u) << "reserved";
    EXPECT_EQ(r.Get(4), Xxh32(file, trailer, 44, headerCheck)) << "trailer check";
    item.length = r.Position() - at;
    return item;
}

TEST(PinnedArchive, TheLayoutInTheFormatDocumentReadsTheSameItems) {
    const std::string file = test::ReadFileBytes(kPinned / "items.tkw");
    ASSERT_EQ(file.size(), kItemsFileSize);

    LittleEndian header(file, 0);
    EXPECT_EQ(header.Bytes(8), std::string("\x89TKW\r\n\x1A\n", 8));
    EXPECT_EQ(header.Get(2), 1u) << "major version";
    EXPECT_EQ(header.Get(2), 0u) << "minor version";
    EXPECT_EQ(header.Get(4), 0u) << "flags";
    EXPECT_EQ(static_cast<std::int64_t>(header.Get(8)), kCreated);
    const std::uint64_t id = header.Get(8);
    EXPECT_EQ(header.Get(4), 0u) << "reserved";
    EXPECT_EQ(header.Get(4), Xxh32(file, 0, 36, 0)) << "file header check";
    const auto seed = static_cast<std::uint32_t>(id) ^ static_cast<std::uint32_t>(id >> 32);

    LittleEndian footer(file, file.size() - 40);
    const std::uint64_t indexOffset = footer.Get(8);
    const std::uint64_t stored = footer.Get(8);
    const std::uint64_t original = footer.Get(8);
    const std::uint64_t indexHash = footer.Get(8);
    EXPECT_EQ(footer.Bytes(4), "TKWF");
    EXPECT_EQ(footer.Get(4), Xxh32(file, file.size() - 40, 36, 0)) << "footer check";
    ASSERT_EQ(indexOffset, kIndexOffset);
    ASSERT_EQ(indexOffset + stored + 40, file.size());

    std::vector<DocumentedItem> records;
    for (std::uint64_t at = 40; at < indexOffset;) {
        records.push_back(ReadDocumentedRecord(file, at, seed));
        at += records.back().length;
        ASSERT_LE(at, indexOffset);
    }

    std::string body(original, '\0');
    ASSERT_EQ(ZSTD_decompress(body.data(), body.size(), file.data() + indexOffset, stored),
              original);
    EXPECT_EQ(XXH3_64bits(body.data(), body.size()), indexHash);
    LittleEndian index(body, 0);
    EXPECT_EQ(index.Bytes(4), "TKWX");
    EXPECT_EQ(index.Get(4), 0u) << "reserved";
    ASSERT_EQ(index.Get(8), records.size());
    EXPECT_EQ(index.Get(8), indexOffset) << "data end";
    for (const DocumentedItem& record : records) {
        SCOPED_TRACE(Escaped(record.name));
        EXPECT_EQ(index.Get(8), record.offset);
        EXPECT_EQ(index.Get(8), record.length);
        EXPECT_EQ(index.Get(8), record.size);
        EXPECT_EQ(index.Get(2), record.kind);
        EXPECT_EQ(index.Get(2), 0u) << "reserved";
        EXPECT_EQ(index.Get(4), record.mode);
        EXPECT_EQ(static_cast<std::int64_t>(index.Get(8)), record.mtimeSeconds);
        EXPECT_EQ(index.Get(4), record.mtimeNanoseconds);
        EXPECT_EQ(index.Get(4), record.uid);
        EXPECT_EQ(index.Get(4), record.gid);
        const std::uint64_t nameLength = index.Get(4);
        EXPECT_EQ(index.Bytes(nameLength), record.name);
    }
    EXPECT_EQ(index.Position(), body.size());

    const std::vector<PinnedItem> items = test::PinnedItems();
    ASSERT_EQ(records.size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(Escaped(items[i].name));
        EXPECT_EQ(records[i].offset, kRecordOffsets[i]);
        EXPECT_EQ(records[i].name, items[i].name);
        EXPECT_EQ(records[i].kind, static_cast<std::uint16_t>(items[i].kind));
        EXPECT_EQ(records[i].mode, items[i].mode);
        EXPECT_EQ(records[i].mtimeSeconds, items[i].mtimeSeconds);
        EXPECT_EQ(records[i].mtimeNanoseconds, items[i].mtimeNanoseconds);
        EXPECT_EQ(records[i].uid, test::kPinnedUid);
        EXPECT_EQ(records[i].gid, test::kPinnedGid);
        EXPECT_TRUE(records[i].data == items[i].content) << "content differs";
    }
}

}  // namespace
}  // namespace tkw
