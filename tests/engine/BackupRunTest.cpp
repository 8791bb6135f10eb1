#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "tests/support/EngineFixture.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

using test::Q;

class BackupRun : public test::EngineFixture {
protected:
    // The archive's item names in order.
    Lines ItemNames() {
        Lines names;
        CZipEx* archive = m_engine.LoadedArchive();
        for (int i = 0; archive != nullptr && i < archive->GetNrOfFiles(); ++i) {
            names.push_back(archive->GetItemFileName(i));
        }
        return names;
    }
};

// Sub-folders first, each depth first, in the order the file system lists them; then the folder's
// own files in that order. Written with the standard library's directory iterator, which lists
// entries in the file system's order too.
void ExpectedWalk(const fs::path& folder, Lines& order) {
    Lines files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_directory() && !entry.is_symlink()) {
            ExpectedWalk(entry.path(), order);
        } else {
            files.push_back(entry.path().native());
        }
    }
    order.insert(order.end(), files.begin(), files.end());
}

TEST_F(BackupRun, WalksSubFoldersDepthFirstBeforeAFoldersOwnFiles) {
    for (const char* name : {"x", "y", "a/a1", "a/deep/d1", "a/deep/d2", "b/b1", "b/b2", "z"}) {
        MakeFile(std::string("tree/") + name);
    }
    ASSERT_EQ(Run({m_source / "tree"}), 0);

    Lines expected;
    ExpectedWalk(m_source / "tree", expected);
    EXPECT_EQ(ItemNames(), expected);
    EXPECT_EQ(m_host.TreeNames(), expected);
    for (std::size_t i = 0; i < m_host.tree.size(); ++i) {
        EXPECT_EQ(m_host.tree[i].itemIndex, static_cast<int>(i));
    }
    EXPECT_EQ(m_counters.added, 8u);
    Lines log = LogLines();
    EXPECT_EQ(log.front(), " Backup started ...");
    EXPECT_EQ(log.back(), " Backup finished!");
    EXPECT_EQ(log[1], " Succeeded--File " + Q(expected[0]));
    EXPECT_EQ(m_host.calls.front(), "OpenProgress Running backup ... 21");
    EXPECT_EQ(m_host.progressOpen, 0) << "the progress dialog is closed at the end";
    EXPECT_TRUE(fs::exists(BackupFile()));
}

// More files than the run reads ahead, with files the filters refuse, a file too large to be read
// ahead and a FIFO among them: every line, node and item still comes in the order of the walk.
TEST_F(BackupRun, ManyFilesKeepTheWalksOrderInEveryLineNodeAndItem) {
    WriteProfileString(profile::kAllStringToFindInFileName, "refused");
    WriteProfileInt(profile::kIncludeOrExcludeFileNames, 1);  // exclude
    for (int i = 0; i < 1500; ++i) {
        const std::string name = "many/" + std::to_string(i % 3) + "/f" + std::to_string(i);
        MakeFile(i % 7 == 0 ? name + "-refused" : name, "bytes of " + name);
    }
    MakeFile("many/1/large", std::string(5u << 20, 'L'));
    ASSERT_EQ(::mkfifo((m_source / "many/2/fifo").c_str(), 0600), 0);
    ASSERT_EQ(Run({m_source / "many"}), 0);

    Lines walk;
    ExpectedWalk(m_source / "many", walk);
    Lines expectedLines{" Backup started ..."};
    Lines expectedItems;
    for (const std::string& path : walk) {
        if (path.ends_with("-refused")) {
            expectedLines.push_back(" Skipped--File " + Q(path) + " by filters!");
        } else if (path.ends_with("/fifo")) {
            expectedLines.push_back(" Skipped--File " + Q(path) +
                                    " because the file cannot be accessed!");
        } else {
            expectedLines.push_back(" Succeeded--File " + Q(path));
            expectedItems.push_back(path);
        }
    }
    expectedLines.push_back(" Backup finished!");
    EXPECT_EQ(LogLines(), expectedLines);
    EXPECT_EQ(ItemNames(), expectedItems);
    EXPECT_EQ(m_host.TreeNames(), expectedItems);
    for (std::size_t i = 0; i < m_host.tree.size(); ++i) {
        ASSERT_EQ(m_host.tree[i].itemIndex, static_cast<int>(i));
    }
    EXPECT_EQ(m_counters.added, expectedItems.size());
    EXPECT_EQ(m_counters.skipped, walk.size() - expectedItems.size());
    EXPECT_EQ(m_counters.leftOut, 1u);
    EXPECT_TRUE(m_engine.LoadedArchive()->Verify().empty());
}

// Files judged and read ahead of a cancel are dropped unseen: what the log, the tree, the counters
// and the backup file say agrees, and stops at the file where Cancel was seen.
TEST_F(BackupRun, ACancelAmongManyFilesLeavesLinesItemsAndCountersInAgreement) {
    for (int i = 0; i < 1500; ++i) {
        MakeFile("many/f" + std::to_string(i));
    }
    m_host.cancelAt = [](int check) { return check >= 700; };
    EXPECT_EQ(Run({m_source / "many"}), 1);

    Lines walk;
    ExpectedWalk(m_source / "many", walk);
    const Lines first(walk.begin(), walk.begin() + 699);
    Lines expectedLines{" Backup started ..."};
    for (const std::string& path : first) {
        expectedLines.push_back(" Succeeded--File " + Q(path));
    }
    expectedLines.push_back(" Backup was cancelled!");
    EXPECT_EQ(LogLines(), expectedLines);
    EXPECT_EQ(ItemNames(), first);
    EXPECT_EQ(m_host.TreeNames(), first);
    EXPECT_EQ(m_counters.added, 699u);
    EXPECT_EQ(m_counters.skipped + m_counters.failed, 0u);
    // The index written at the end lists exactly those items.
    m_engine.UnloadBackupFile();
    CZipEx archive;
    ASSERT_EQ(archive.Open(BackupFile()), 1);
    EXPECT_FALSE(archive.GetRecoveryReport().recovered);
    EXPECT_EQ(archive.GetNrOfFiles(), 699);
}

// A file named again while its first copy still waits for its turn is judged at its own turn,
// after that copy was stored and, when asked for, its original deleted.
TEST_F(BackupRun, AFileNamedAgainIsJudgedAfterItsFirstCopyIsDone) {
    struct Case {
        int deleteOriginals;
        std::string secondLine;
        std::uint32_t deleted;
    };
    for (const Case& c : std::vector<Case>{
             {0, " because a file with the same name and path already exists in backup!", 0},
             {1, " because the file not exists!", 1}}) {
        SCOPED_TRACE(c.deleteOriginals);
        const fs::path x = MakeFile("docs/x.txt");
        WriteProfileInt(profile::kDeleteOriginalFilesAfterBackup, c.deleteOriginals);
        ASSERT_EQ(Run({m_source / "docs", x}), 0);
        const Lines log = LogLines();
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[1], " Succeeded--File " + Q(x));
        EXPECT_EQ(log.end()[-2], " Skipped--File " + Q(x) + c.secondLine);
        EXPECT_EQ(m_counters.added, 1u);
        EXPECT_EQ(m_counters.skipped, 1u);
        EXPECT_EQ(m_counters.leftOut, 0u);
        EXPECT_EQ(m_counters.deleted, c.deleted);
    }
}

TEST_F(BackupRun, AFileTickedAloneAndInsideATickedFolderIsAddedOnce) {
    const fs::path x = MakeFile("docs/x.txt");
    ASSERT_EQ(Run({m_source / "docs", x}), 0);
    EXPECT_EQ(ItemNames(), Lines{x.native()});
    EXPECT_EQ(m_counters.added, 1u);
    EXPECT_EQ(m_counters.skipped, 1u);
    EXPECT_EQ(LogLines(), (Lines{" Backup started ...", " Succeeded--File " + Q(x),
                                 " Skipped--File " + Q(x) +
                                     " because a file with the same name and path already "
                                     "exists in backup!",
                                 " Backup finished!"}));
}

TEST_F(BackupRun, AppendingToTheOpenBackupAddsOnlyNewFiles) {
    const fs::path a = MakeFile("a");
    ASSERT_EQ(Run({m_source}), 0);
    const fs::path b = MakeFile("b");
    ASSERT_EQ(Run({m_source}, /*append=*/true), 0);
    EXPECT_EQ(m_counters.added, 1u);
    EXPECT_EQ(m_counters.skipped, 1u);
    EXPECT_EQ(ItemNames(), (Lines{a.native(), b.native()}));
    EXPECT_EQ(m_host.TreeNames(), (Lines{a.native(), b.native()})) << "the tree keeps its nodes";

    // Not appending starts a new backup file in the same place.
    ASSERT_EQ(Run({b}), 0);
    EXPECT_EQ(ItemNames(), Lines{b.native()});
}

TEST_F(BackupRun, StorageTypesOtherThanZeroAreRefused) {
    MakeFile("a");
    ASSERT_EQ(Run({m_source}), 0);
    for (const auto& [type, file] :
         std::vector<std::pair<int, std::string>>{{1, BasePath() + ".iso"}, {7, BasePath()}}) {
        EXPECT_EQ(Run({m_source}, false, type), 2);
        EXPECT_EQ(LogLines(),
                  (Lines{" Backup started ...", " Failed to create backup file " + file + " !"}));
        EXPECT_EQ(m_counters.added + m_counters.skipped + m_counters.failed, 0u);
        EXPECT_TRUE(m_engine.IsBackupLoaded()) << "nothing is unloaded";
        EXPECT_EQ(m_host.progressOpen, 0);
    }
}

TEST_F(BackupRun, ABackupFileThatCannotBeCreatedFailsTheRun) {
    MakeFile("a");
    // A missing folder is made; one below a file cannot be.
    test::WriteFileBytes(m_temp / "a-file", "in the way");
    EXPECT_EQ(m_engine.RunBackup((m_temp / "a-file/folder/Backup").native(), 0, {m_source},
                                 m_counters, false),
              2);
    EXPECT_EQ(LogLines().back(), " Failed to create backup file " +
                                     (m_temp / "a-file/folder/Backup.tkw").native() + " !");
    EXPECT_FALSE(m_engine.IsBackupLoaded());
}

TEST_F(BackupRun, TheFreeSpaceTestKeeps150MebibytesAndLetsEqualityPass) {
    const fs::path file = MakeFile("ten", "0123456789");
    const struct {
        std::uint64_t freeBytes;
        bool added;
    } cases[] = {{157'286'409, false}, {157'286'410, true}, {0, false}, {1ull << 40, true}};
    for (const auto& c : cases) {
        m_engine.SetFreeSpaceQuery([&](const fs::path& where) {
            EXPECT_EQ(where, BackupFile());
            return c.freeBytes;
        });
        ASSERT_EQ(Run({file}), 0);
        EXPECT_EQ(m_counters.added, c.added ? 1u : 0u) << c.freeBytes;
        if (!c.added) {
            EXPECT_EQ(LogLines()[1], " Skipped--File " + Q(file) +
                                         "! The file cannot be written because you have not "
                                         "enough free space!");
        }
    }
}

TEST_F(BackupRun, CancelAtThePromptEndsTheRunBeforeAnythingIsCreated) {
    MakeFile("a");
    WriteProfileInt(profile::kBackupPromptDontShowAgain, 0);
    m_host.backupPromptAnswer = false;
    EXPECT_EQ(Run({m_source}), 1);
    EXPECT_EQ(LogLines(), (Lines{" Backup started ...", " Backup was cancelled!"}));
    EXPECT_EQ(m_host.calls, Lines{"BackupPrompt"}) << "no progress dialog was opened";
    EXPECT_FALSE(fs::exists(BackupFile()));
}

TEST_F(BackupRun, CancelInTheProgressDialogStopsAtTheNextFileButNotAfterTheLast) {
    const fs::path a = MakeFile("a");
    const fs::path b = MakeFile("b");
    const fs::path c = MakeFile("c");
    // Cancel pressed while the first file is added: it is still added; the next one stops.
    m_host.cancelAt = [](int check) { return check >= 2; };
    EXPECT_EQ(Run({a, b, c}), 1);
    EXPECT_EQ(LogLines(),
              (Lines{" Backup started ...", " Succeeded--File " + Q(a), " Backup was cancelled!"}));
    EXPECT_EQ(m_counters.added, 1u);
    EXPECT_EQ(ItemNames(), Lines{a.native()}) << "the items added before the cancel stay";
    EXPECT_EQ(m_host.progressOpen, 0);

    // Pressed while the last file is added: the run ends normally.
    m_host.cancelChecks = 0;
    m_host.cancelAt = [](int check) { return check >= 4; };
    EXPECT_EQ(Run({a, b, c}), 0);
    EXPECT_EQ(LogLines().back(), " Backup finished!");
    EXPECT_EQ(m_counters.added, 3u);
}

TEST_F(BackupRun, FilesThatCannotBeTakenAreSkippedWithTheirReason) {
    const fs::path missing = m_source / "missing";
    const fs::path fifo = m_source / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path locked = MakeFile("locked");
    const int holder = ::open(locked.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    EXPECT_EQ(Run({missing, fifo, locked}), 0);
    ::close(holder);
    EXPECT_EQ(LogLines(),
              (Lines{" Backup started ...",
                     " Skipped--File " + Q(missing) + " because the file not exists!",
                     " Skipped--File " + Q(fifo) + " because the file cannot be accessed!",
                     " Cannot get file size of file " + locked.native() +
                         ".The file might be used by other application ! The file will be "
                         "skipped ! Error code " +
                         std::to_string(EWOULDBLOCK),
                     " Skipped--File " + Q(locked) + " by filters!", " Backup finished!"}));
    EXPECT_EQ(m_counters.skipped, 3u);
    EXPECT_EQ(m_counters.added, 0u);
    EXPECT_EQ(std::count(m_host.calls.begin(), m_host.calls.end(),
                         "Line Skipping file " + fifo.native() + " ..."),
              1);
}

TEST_F(BackupRun, LinksAreStoredAsLinksAndFolderLoopsAreNotFollowed) {
    const fs::path file = MakeFile("tree/file");
    fs::create_directory_symlink("..", m_source / "tree" / "loop");
    fs::create_symlink("file", m_source / "tree" / "link");
    fs::create_symlink("/no/such/target", m_source / "tree" / "dangling");

    EXPECT_EQ(Run({m_source / "tree"}), 0);
    EXPECT_EQ(m_counters.added, 4u);
    CZipEx* archive = m_engine.LoadedArchive();
    const int loop = archive->FindZipItem((m_source / "tree" / "loop").native());
    ASSERT_NE(loop, -1);
    EXPECT_EQ(archive->GetItemInfo(loop)->kind, archive::ItemKind::SymbolicLink);
    EXPECT_EQ(archive->FindZipItem((m_source / "tree" / "loop" / "tree" / "file").native()), -1);
    EXPECT_NE(archive->FindZipItem((m_source / "tree" / "dangling").native()), -1);
}

TEST_F(BackupRun, AnEmptyFolderAddsAndLogsNothing) {
    fs::create_directories(m_source / "empty");
    EXPECT_EQ(Run({m_source / "empty"}), 0);
    EXPECT_EQ(LogLines(), (Lines{" Backup started ...", " Backup finished!"}));
}

TEST_F(BackupRun, KernelFileSystemsAreNotEnteredAndANamedOneIsReportedLeftOut) {
    MakeFile("a");
    // /proc is a mount of its own; /proc/self and /proc/self/fd are folders inside it, known by
    // the type of their file system; /proc/self/pagemap would read without end. Nothing of them
    // may become an item, and each one named is reported.
    const std::vector<fs::path> pseudo = {"/proc", "/proc/self", "/proc/self/fd",
                                          "/proc/self/pagemap", "/sys/kernel"};
    std::vector<fs::path> selection = {m_source};
    selection.insert(selection.end(), pseudo.begin(), pseudo.end());
    EXPECT_EQ(Run(selection), 0);
    EXPECT_EQ(m_counters.added, 1u);
    EXPECT_EQ(m_counters.skipped, pseudo.size());
    EXPECT_EQ(m_counters.leftOut, pseudo.size());
    for (const fs::path& path : pseudo) {
        const Lines lines = LogLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            " Skipped--File " + Q(path) + " because the file cannot be accessed!"),
                  lines.end())
            << path;
    }
}

TEST_F(BackupRun, OriginalsAreDeletedOnlyOnceTheirCopyIsSafe) {
    WriteProfileInt(profile::kDeleteOriginalFilesAfterBackup, 1);
    const fs::path a = MakeFile("a", "precious");
    ASSERT_EQ(Run({a}), 0);
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(m_counters.deleted, 1u);
    EXPECT_EQ(LogLines()[2], " Deleted file-- " + a.native() + " .");

    // The copy restores the original.
    ASSERT_EQ(m_engine.LoadedArchive()->GetItemFile(0, a), 1);
    EXPECT_EQ(test::ReadFileBytes(a), "precious");
}

TEST_F(BackupRun, AnOriginalThatCannotBeDeletedIsReportedAndCounted) {
    WriteProfileInt(profile::kDeleteOriginalFilesAfterBackup, 1);
    const fs::path stuck = MakeFile("stuck");
    // An immutable file cannot be deleted, even by root.
    const int fd = ::open(stuck.c_str(), O_RDONLY);
    int flags = FS_IMMUTABLE_FL;
    if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) {
        ::close(fd);
        GTEST_SKIP() << "this file system or user cannot make a file immutable";
    }
    ASSERT_EQ(Run({stuck}), 0);
    flags = 0;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    EXPECT_EQ(m_counters.added, 1u);
    EXPECT_EQ(m_counters.deleted, 0u);
    EXPECT_EQ(LogLines()[2], " Cannot delete file-- " + stuck.native() +
                                 " ! The file might be used in other application !");
    EXPECT_TRUE(fs::exists(stuck));
}

}  // namespace
}  // namespace tkw
