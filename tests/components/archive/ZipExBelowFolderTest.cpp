// Restoring below a chosen folder: nothing is created or written outside it, whatever links earlier
// items (of the same backup or of another one) left inside it.
#include <gtest/gtest.h>

#include <optional>

#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

struct Item {
    std::string name;
    std::optional<std::string> linkTarget;  // a symbolic link when set, else a file
};

// What a restored file item holds: its own name, so a misplaced file tells where it came from.
std::string ContentsOf(const std::string& name) {
    return "contents of " + name;
}

// Every entry below `folder`, links not followed.
std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> entries;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        entries.push_back(it->path().lexically_relative(folder).native());
    }
    return entries;
}

class ZipExBelowFolder : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_elsewhere);
        fs::create_directories(m_sources);
    }

    void MakeArchive(const fs::path& archive, const std::vector<Item>& items) {
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(archive), 1) << zip.GetLastError();
        for (const Item& item : items) {
            const fs::path source = m_sources / std::to_string(m_nextSource++);
            if (item.linkTarget) {
                fs::create_symlink(*item.linkTarget, source);
            } else {
                WriteFileBytes(source, ContentsOf(item.name));
            }
            ASSERT_EQ(zip.AddFile(source, item.name), 1) << zip.GetLastError();
        }
        ASSERT_EQ(zip.Close(), 1);
    }

    // Restores every item of the archive below `folder` in order; whether each succeeded.
    std::vector<bool> RestoreAll(const fs::path& archive, const fs::path& folder) {
        CZipEx zip;
        EXPECT_EQ(zip.Open(archive), 1) << zip.GetLastError();
        std::vector<bool> results;
        for (int i = 0; i < zip.GetNrOfFiles(); ++i) {
            results.push_back(zip.GetItemFileUnder(i, folder) == 1);
            EXPECT_EQ(results.back(), zip.GetLastError().empty()) << zip.GetLastError();
        }
        return results;
    }

    test::TempDir m_temp;
    const fs::path m_elsewhere = m_temp / "elsewhere";
    const fs::path m_sources = m_temp / "sources";
    int m_nextSource = 0;
};

TEST_F(ZipExBelowFolder, ALinkToAFolderOutsideCarriesNoLaterItemOutside) {
    const struct {
        const char* description;
        std::string linkTarget;  // as seen from the link, restore/<case>/d
        bool twoBackups;         // the link and the file come from two backups restored in turn
    } cases[] = {
        {"absolute target, one backup", m_elsewhere.native(), false},
        {"relative target, one backup", "../../elsewhere", false},
        {"absolute target, two backups", m_elsewhere.native(), true},
        {"relative target, two backups", "../../elsewhere", true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        const fs::path restore = m_temp / "restore" / std::to_string(n);
        const fs::path first = m_temp / ("first" + std::to_string(n) + ".tkw");
        const fs::path second = m_temp / ("second" + std::to_string(n) + ".tkw");
        ++n;
        const std::vector<Item> items = {
            {"/d", c.linkTarget}, {"/d/sub/f", {}}, {"/d/g", {}}, {"/ok/h", {}}};
        std::vector<bool> results;
        if (c.twoBackups) {
            MakeArchive(first, {items[0]});
            MakeArchive(second, {items[1], items[2], items[3]});
            results = RestoreAll(first, restore);
            for (const bool result : RestoreAll(second, restore)) {
                results.push_back(result);
            }
        } else {
            MakeArchive(first, items);
            results = RestoreAll(first, restore);
        }

        EXPECT_EQ(results, (std::vector<bool>{true, false, false, true}));
        EXPECT_EQ(Listing(m_elsewhere), std::vector<std::string>{}) << "written outside";
        EXPECT_EQ(fs::read_symlink(restore / "d"), c.linkTarget);
        EXPECT_EQ(ReadFileBytes(restore / "ok/h"), ContentsOf("/ok/h"));
    }
}

// The folder of the last item, and the folders on the way to it, are kept open for the next; a
// folder moved away, or swapped for a link to a folder outside, between two items is opened afresh
// and refused, never written through: whether the next item goes into that folder or below it.
TEST_F(ZipExBelowFolder, AKeptFolderIsNotUsedOnceItsPathLeadsElsewhere) {
    const fs::path archive = m_temp / "kept.tkw";
    MakeArchive(archive, {{"/d/a", {}}, {"/d/b", {}}, {"/d/x/b", {}}});
    const struct {
        const char* description;
        bool moveAway;  // else: the folder is swapped for a link to one outside
        int next;       // the item written after the folder changed
    } cases[] = {{"moved away", true, 1},
                 {"swapped for a link", false, 1},
                 {"moved away, next below it", true, 2},
                 {"swapped for a link, next below it", false, 2}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        const fs::path restore = m_temp / ("kept-restore" + std::to_string(n));
        const fs::path moved = m_elsewhere / ("moved" + std::to_string(n++));
        const std::string below = c.next == 1 ? "b" : "x/b";
        CZipEx zip;
        ASSERT_EQ(zip.Open(archive), 1);
        ASSERT_EQ(zip.GetItemFileUnder(0, restore), 1);
        fs::rename(restore / "d", moved);
        if (!c.moveAway) {
            fs::create_symlink(m_elsewhere, restore / "d");
        }
        const bool written = zip.GetItemFileUnder(c.next, restore) == 1;
        EXPECT_FALSE(fs::exists(moved / below)) << "written into the folder moved away";
        EXPECT_FALSE(fs::exists(m_elsewhere / below)) << "written through the link";
        if (c.moveAway) {
            // Made anew where the name says.
            EXPECT_TRUE(written);
            EXPECT_EQ(ReadFileBytes(restore / "d" / below), ContentsOf("/d/" + below));
        } else {
            EXPECT_FALSE(written);
        }
    }
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// The folders on the way to the last item are kept open, but only so many: a deep tree is still
// restored, each of its items where its name says, without holding a descriptor per level.
TEST_F(ZipExBelowFolder, ADeepTreeIsRestoredWithFewFoldersKeptOpen) {
    std::string deep;
    for (int level = 0; level < 60; ++level) {
        deep += "/l" + std::to_string(level);
    }
    const std::vector<Item> items = {
        {deep + "/a", {}}, {deep + "/b", {}}, {"/l0/l1/c", {}}, {deep + "/d", {}}};
    const fs::path archive = m_temp / "deep.tkw";
    MakeArchive(archive, items);
    const fs::path restore = m_temp / "deep-restore";
    CZipEx zip;
    ASSERT_EQ(zip.Open(archive), 1);
    const std::size_t before = OpenDescriptors();
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        ASSERT_EQ(zip.GetItemFileUnder(i, restore), 1) << zip.GetLastError();
        EXPECT_LE(OpenDescriptors(), before + 20) << items[static_cast<std::size_t>(i)].name;
    }
    for (const Item& item : items) {
        EXPECT_EQ(ReadFileBytes(restore / item.name.substr(1)), ContentsOf(item.name));
    }
}

TEST_F(ZipExBelowFolder, EachFolderOfANameMustBeARealFolderInsideTheRestoreFolder) {
    const fs::path restore = m_temp / "restore";
    WriteFileBytes(m_elsewhere / "secret", "secret");
    const struct {
        std::string name;
        std::function<void()> setUp;
        bool restored;
    } cases[] = {
        {"/a/b/c", [] {}, true},
        {"//double//slashes//file", [] {}, true},
        {"/x/y/z", [&] { fs::create_directories(restore / "x/y"); }, true},
        {"/relative-link/f",
         [&] {
             fs::create_directories(restore / "real");
             fs::create_symlink("real", restore / "relative-link");
         },
         false},
        {"/absolute-link/deeper/f",
         [&] {
             fs::create_directories(restore / "real");
             fs::create_symlink(restore / "real", restore / "absolute-link");
         },
         false},
        {"/x/dangling/f", [&] { fs::create_symlink(m_elsewhere / "new", restore / "x/dangling"); },
         false},
        {"/plain-file/f", [&] { WriteFileBytes(restore / "plain-file", "a file"); }, false},
        // The item's own name being a link: the link is replaced, never written through.
        {"/x/link-to-secret",
         [&] { fs::create_symlink(m_elsewhere / "secret", restore / "x/link-to-secret"); }, true},
    };
    std::vector<Item> items;
    for (const auto& c : cases) {
        items.push_back({c.name, {}});
    }
    MakeArchive(m_temp / "backup.tkw", items);
    fs::create_directories(restore);
    CZipEx zip;
    ASSERT_EQ(zip.Open(m_temp / "backup.tkw"), 1);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        c.setUp();
        EXPECT_EQ(zip.GetItemFileUnder(static_cast<int>(i), restore), c.restored ? 1 : 0)
            << zip.GetLastError();
        const fs::path placed = restore / fs::path(c.name).relative_path();
        if (c.restored) {
            EXPECT_FALSE(fs::is_symlink(placed));
            EXPECT_EQ(ReadFileBytes(placed), ContentsOf(c.name));
        }
    }
    EXPECT_EQ(Listing(restore / "real"), std::vector<std::string>{}) << "written through a link";
    EXPECT_EQ(ReadFileBytes(restore / "plain-file"), "a file");
    EXPECT_EQ(Listing(m_elsewhere), std::vector<std::string>{"secret"});
    EXPECT_EQ(ReadFileBytes(m_elsewhere / "secret"), "secret");
}

TEST_F(ZipExBelowFolder, AtTheOriginalPathLinksInTheFoldersAreFollowedButTheItemsOwnNameIsNot) {
    fs::create_directories(m_temp / "real");
    fs::create_symlink(m_temp / "real", m_temp / "home");  // a system whose /home is a link
    WriteFileBytes(m_elsewhere / "secret", "secret");
    MakeArchive(m_temp / "backup.tkw", {{"/f", {}}, {"/g", {}}});
    CZipEx zip;
    ASSERT_EQ(zip.Open(m_temp / "backup.tkw"), 1);

    ASSERT_EQ(zip.GetItemFile(0, m_temp / "home/user/f"), 1) << zip.GetLastError();
    EXPECT_EQ(ReadFileBytes(m_temp / "real/user/f"), ContentsOf("/f"));

    fs::create_symlink(m_elsewhere / "secret", m_temp / "real/user/g");
    ASSERT_EQ(zip.GetItemFile(1, m_temp / "home/user/g"), 1) << zip.GetLastError();
    EXPECT_FALSE(fs::is_symlink(m_temp / "real/user/g"));
    EXPECT_EQ(ReadFileBytes(m_temp / "real/user/g"), ContentsOf("/g"));
    EXPECT_EQ(ReadFileBytes(m_elsewhere / "secret"), "secret");
}

}  // namespace
}  // namespace tkw
