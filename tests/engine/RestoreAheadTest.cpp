// Which small new files may be written ahead together: none whose path is another's or lies below
// another's, whatever order the workers write them in.
#include <gtest/gtest.h>

#include "components/archive/ZipEx.h"
#include "engine/RestoreAhead.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

TEST(RestoreAhead, AQueuedPathIsNeverAnothersNorAboveOrBelowIt) {
    // Fewer items than a hand-over: nothing is written, so an archive is not needed.
    const CZipEx archive;
    const struct {
        std::vector<fs::path> queued;
        fs::path candidate;
        bool fits;
    } cases[] = {
        {{"/o/a/x", "/o/a/y"}, "/o/a/z", true},
        {{"/o/a/x", "/o/a/y"}, "/o/a/x", false},    // the same name
        {{"/o/a/x", "/o/a/y"}, "/o/a//x", false},   // the same path, written otherwise
        {{"/o/a/x", "/o/a/y"}, "/o/b/x", true},     // another folder
        {{"/o/a/x", "/o/a/y"}, "/o/a/x/z", false},  // below a queued file
        {{"/o/a/x", "/o/a/y"}, "/o/a", false},      // a queued file lies below it
        {{"/o/a/x", "/o/a/y"}, "/o", false},
        {{"/o/a/x", "/o/b"}, "/o/a", false},  // in the folder last queued to, above a queued file
        {{"/o/a/x", "/o/b"}, "/o/c", true},
        {{"/o/a/x", "/o/b/y"}, "/o/b/a", true},
        {{"/o/b/y", "/o/a/x"}, "/o/b/y/z", false},  // below an older queued file
        {{"/o/ab/x"}, "/o/a", true},                // a name that only begins like a folder's
        {{"/o/a/x", "/o/b/y", "/o/a/z"}, "/o/a/x", false},  // queued before the queue moved on
    };
    for (const auto& c : cases) {
        CRestoreAhead ahead(archive, 1);
        for (const fs::path& target : c.queued) {
            ASSERT_TRUE(ahead.Fits(target)) << target;
            ahead.Queue({0, target, "", 1});
        }
        EXPECT_EQ(ahead.Fits(c.candidate), c.fits) << c.candidate;
    }
}

// The folder of a target, as its text: the same as its path's parent, without taking it apart.
TEST(RestoreAhead, TheFolderOfATargetIsItsParentPath) {
    for (const char* target : {"/o/a/x", "/x", "/o/a//x", "//o//x", "/o/a/", "x", "a/b"}) {
        const fs::path parent = fs::path(target).parent_path();
        EXPECT_EQ(fs::path(FolderOf(target)), parent) << target;
        EXPECT_EQ(FolderOf(target).ends_with('/'), parent == "/") << target;
    }
}

}  // namespace
}  // namespace tkw
