// How the pinned archives in tests/components/archive/pinned/ were made, kept so a maintainer can
// see it (and make a new set for a new format version). Never run by `make test`: the checked-in
// files must stay as they are. To run it, as root (it gives the sources an owner):
//
//   TARNWICK_PINNED_OUT=/some/folder build/tests/archive_tests --gtest_also_run_disabled_tests
//       --gtest_filter='PinnedArchiveWriter.*'
//
// (one command line).
//
// It writes, from the items of PinnedItems.h:
//   items.tkw          the archive as the writer closed it, with its index;
//   torn-tail.tkw      the same file as it was before the index was written, cut 4 bytes into the
//                      frame of its last item, as a writer killed there leaves it;
//   damaged-index.tkw  items.tkw with one byte changed in the index footer's hash, so the index
//   fails
//                      its checks but still decodes, and one in the trailer's hash of item 3, so
//                      that item is no longer complete and only the index names it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "components/archive/Format.h"
#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"
#include "tests/components/archive/PinnedItems.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::PinnedItem;

void MakeSource(const fs::path& source, const PinnedItem& item) {
    if (item.kind == archive::ItemKind::SymbolicLink) {
        fs::create_symlink(item.content, source);
    } else {
        test::WriteFileBytes(source, item.content);
        fs::permissions(source, static_cast<fs::perms>(item.mode));
    }
    ASSERT_EQ(::lchown(source.c_str(), test::kPinnedUid, test::kPinnedGid), 0) << source;
    const timespec times[2] = {{item.mtimeSeconds, static_cast<long>(item.mtimeNanoseconds)},
                               {item.mtimeSeconds, static_cast<long>(item.mtimeNanoseconds)}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << source;
}

std::string Flipped(std::string bytes, std::uint64_t offset) {
    bytes.at(offset) = static_cast<char>(bytes.at(offset) ^ 0x01);
    return bytes;
}

TEST(PinnedArchiveWriter, DISABLED_WritesThePinnedArchives) {
    const char* out = std::getenv("TARNWICK_PINNED_OUT");
    if (out == nullptr || ::geteuid() != 0) {
        GTEST_SKIP() << "run as root, with TARNWICK_PINNED_OUT naming the folder to write to";
    }
    const fs::path folder(out);
    fs::create_directories(folder);
    test::TempDir temp;
    const fs::path written = temp / "items.tkw";

    CZipEx zip;
    ASSERT_EQ(zip.CreateZip(written), 1) << zip.GetLastError();
    const std::vector<PinnedItem> items = test::PinnedItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const fs::path source = temp / ("source" + std::to_string(i));
        MakeSource(source, items[i]);
        ASSERT_EQ(zip.AddFile(source, items[i].name), 1) << zip.GetLastError();
    }
    const std::string beforeIndex = test::ReadFileBytes(written);
    const archive::ItemInfo last = *zip.GetItemInfo(static_cast<int>(items.size() - 1));
    const archive::ItemInfo third = *zip.GetItemInfo(3);
    std::cout << "created " << zip.GetZipCreationTime() << "\n";
    for (int i = 0; i < zip.GetNrOfFiles(); ++i) {
        const archive::ItemInfo& item = *zip.GetItemInfo(i);
        std::cout << "item " << i << " at " << item.recordOffset << ", " << item.recordLength
                  << " bytes, owner " << item.uid << ":" << item.gid << "\n";
    }
    ASSERT_EQ(zip.Close(), 1) << zip.GetLastError();
    const std::string closed = test::ReadFileBytes(written);

    const std::uint64_t cut = last.recordOffset + archive::kRecordFixedSize + last.name.size() +
                              archive::kHeaderCheckSize + archive::kChunkHeaderSize + 4;
    const std::uint64_t footerHash = closed.size() - archive::kFooterSize + 24;
    const std::uint64_t trailerHash =
        third.recordOffset + third.recordLength - archive::kTrailerSize + 24;

    test::WriteFileBytes(folder / "items.tkw", closed);
    test::WriteFileBytes(folder / "torn-tail.tkw", beforeIndex.substr(0, cut));
    test::WriteFileBytes(folder / "damaged-index.tkw",
                         Flipped(Flipped(closed, footerHash), trailerHash));
    std::cout << "index at " << beforeIndex.size() << ", file size " << closed.size()
              << ", torn at " << cut << ", footer hash at " << footerHash
              << ", trailer hash of item 3 at " << trailerHash << "\n";
}

}  // namespace
}  // namespace tkw
