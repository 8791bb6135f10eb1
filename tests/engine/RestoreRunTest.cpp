#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <numeric>

#include "engine/StatusTexts.h"
#include "engine/TreeOrder.h"
#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "tests/support/EngineFixture.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Answer = IEngineHost::FileExistsAnswer;

using test::Q;

class RestoreRun : public test::EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        WriteProfileInt(profile::kRestorePromptDontShowAgain, 1);
    }

    // Backs up the given files (made below the source folder) and leaves the backup loaded.
    std::vector<fs::path> BackUp(const std::vector<std::pair<std::string, std::string>>& files) {
        std::vector<fs::path> paths;
        for (const auto& [name, bytes] : files) {
            paths.push_back(MakeFile(name, bytes));
        }
        EXPECT_EQ(Run(paths), 0);
        EXPECT_EQ(m_counters.added, files.size());
        return paths;
    }

    int Restore(const std::vector<int>& indexes) {
        m_log.clear();
        m_host.calls.clear();
        return m_engine.RestoreItems(indexes, m_restored);
    }

    void RestoreUnder(const fs::path& folder) {
        WriteProfileInt(profile::kRestorePathOfFiles, 1);
        WriteProfileString(profile::kRestorePath, folder.native());
    }

    RestoreCounters m_restored;
};

void ExpectCounters(const RestoreCounters& c, int overwritten, int skipped, int succeeded,
                    int failed) {
    EXPECT_EQ(c.overwritten, overwritten);
    EXPECT_EQ(c.skipped, skipped);
    EXPECT_EQ(c.succeeded, succeeded);
    EXPECT_EQ(c.failed, failed);
}

TEST_F(RestoreRun, ARoundTripGivesBackIdenticalBytesTimesAndPermissions) {
    WriteProfileInt(profile::kDeleteOriginalFilesAfterBackup, 1);
    const auto paths = BackUp({{"docs/a.txt", "alpha"}, {"docs/b.bin", std::string(100000, 'b')}});
    ASSERT_EQ(m_counters.deleted, 2u);
    // What the originals looked like is what the archive recorded.
    std::vector<archive::ItemInfo> recorded;
    for (int i = 0; i < 2; ++i) {
        recorded.push_back(*m_engine.LoadedArchive()->GetItemInfo(i));
        EXPECT_FALSE(fs::exists(paths[i]));
    }

    EXPECT_EQ(Restore({0, 1}), 0);
    ExpectCounters(m_restored, 0, 0, 2, 0);
    EXPECT_EQ(LogLines(), (Lines{" Restore started ...", " Succeeded--File " + Q(paths[0]),
                                 " Succeeded--File " + Q(paths[1]), " Restore finished!"}));
    EXPECT_EQ(test::ReadFileBytes(paths[0]), "alpha");
    EXPECT_EQ(test::ReadFileBytes(paths[1]), std::string(100000, 'b'));
    for (int i = 0; i < 2; ++i) {
        struct stat status {};
        ASSERT_EQ(::stat(paths[i].c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, recorded[i].mode);
        EXPECT_EQ(status.st_mtim.tv_sec, recorded[i].mtimeSeconds);
        EXPECT_EQ(static_cast<std::uint32_t>(status.st_mtim.tv_nsec), recorded[i].mtimeNanoseconds);
    }
    EXPECT_NE(std::find(m_host.calls.begin(), m_host.calls.end(),
                        "Line Writting file " + paths[1].native()),
              m_host.calls.end());
    EXPECT_EQ(m_host.calls.front(), "OpenProgress Running restore ... 1");
}

TEST_F(RestoreRun, UnderAFolderTheItemsFoldersAreRecreated) {
    const auto paths = BackUp({{"Users/a/doc.txt", "doc"}});
    const fs::path folder = m_temp / "Restore";
    fs::create_directories(folder);
    RestoreUnder(folder);
    EXPECT_EQ(Restore({0}), 0);
    // /…/source/Users/a/doc.txt goes to /…/Restore/…/source/Users/a/doc.txt.
    const fs::path target = folder / paths[0].relative_path();
    EXPECT_EQ(test::ReadFileBytes(target), "doc");
    EXPECT_EQ(LogLines()[1], " Succeeded--File " + Q(target));
}

TEST_F(RestoreRun, TwoItemsForOneTargetMeetTheExistingFilePolicy) {
    // Names that differ only in their separators land on the same place below a folder; the
    // second is a small file (written ahead too) or a large one (written in turn).
    const std::string large(2u << 20, 'L');
    for (const std::string& second : {std::string("second"), large}) {
        for (const std::string& name : {std::string("//data/x.txt"), std::string("/data//x.txt")}) {
            MakeFile("one", "first");
            MakeFile("two", second);
            const fs::path archive = m_temp / "dups.tkw";
            fs::remove(archive);
            {
                CZipEx zip;
                ASSERT_EQ(zip.CreateZip(archive), 1);
                ASSERT_EQ(zip.AddFile(m_source / "one", "/data/x.txt"), 1);
                ASSERT_EQ(zip.AddFile(m_source / "two", name), 1);
            }
            ASSERT_TRUE(m_engine.LoadBackupFile(archive));
            RestoreUnder(m_temp / "out");
            fs::remove_all(m_temp / "out");
            fs::create_directories(m_temp / "out");
            WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, 1);
            EXPECT_EQ(Restore({0, 1}), 0);
            ExpectCounters(m_restored, 0, 1, 1, 0);
            const std::string shown =
                (m_temp / "out").native() + "/" + name.substr(name.find_first_not_of('/'));
            ASSERT_EQ(LogLines().size(), 4u) << name;
            EXPECT_EQ(LogLines()[2],
                      " Skipped--File " + Q(shown) + "! The file already exists on the same path.");
            EXPECT_EQ(test::ReadFileBytes(m_temp / "out" / "data" / "x.txt"), "first")
                << second.size() << " " << name;
        }
    }
}

// Many small files, written ahead while the next ones are judged, among items judged in turn (one
// that exists, a large one) and one whose name appears after it was judged: the lines and the
// counters keep the order of the items, and the one that appeared is judged again at its turn.
TEST_F(RestoreRun, FilesWrittenAheadKeepTheOrderAndAFileThatAppearsIsJudgedAgain) {
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "d" + std::to_string(i / 7) + "/f" + std::to_string(100 + i);
        files.emplace_back(name, i == 20 ? std::string(2u << 20, 'L') : "file " + name);
    }
    const auto paths = BackUp(files);
    const fs::path out = m_temp / "out";
    RestoreUnder(out);
    WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, 1);
    const auto target = [&](int i) { return out / paths[i].relative_path(); };
    fs::create_directories(target(33).parent_path());
    test::WriteFileBytes(target(33), "mine, before");
    // Item 45 appears once it is judged new, before it is written.
    m_host.onCall = [&](const std::string& call) {
        if (call == "Line Writting file " + target(45).native()) {
            fs::create_directories(target(45).parent_path());
            test::WriteFileBytes(target(45), "mine, meanwhile");
        }
    };
    std::vector<int> all(files.size());
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(Restore(all), 0);
    m_host.onCall = nullptr;

    Lines expected = {" Restore started ..."};
    for (int i = 0; i < static_cast<int>(files.size()); ++i) {
        expected.push_back(i == 33 || i == 45 ? " Skipped--File " + Q(target(i)) +
                                                    "! The file already exists on the same path."
                                              : " Succeeded--File " + Q(target(i)));
    }
    expected.push_back(" Restore finished!");
    const Lines lines = LogLines();
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], expected[i]) << i;
    }
    ExpectCounters(m_restored, 0, 2, 58, 0);
    EXPECT_EQ(test::ReadFileBytes(target(33)), "mine, before");
    EXPECT_EQ(test::ReadFileBytes(target(45)), "mine, meanwhile");
    EXPECT_EQ(test::ReadFileBytes(target(59)), files[59].second);
    EXPECT_EQ(test::ReadFileBytes(target(20)), files[20].second);
}

TEST_F(RestoreRun, TheFreeSpaceTestKeeps150MebibytesAndLetsEqualityPass) {
    BackUp({{"ten", "0123456789"}});
    fs::remove(m_source / "ten");
    for (const auto& [freeBytes, written] :
         std::vector<std::pair<std::uint64_t, bool>>{{157'286'409, false}, {157'286'410, true}}) {
        fs::remove(m_source / "ten");
        m_engine.SetFreeSpaceQuery([&](const fs::path&) { return freeBytes; });
        EXPECT_EQ(Restore({0}), 0);
        EXPECT_EQ(m_restored.succeeded, written ? 1 : 0) << freeBytes;
        EXPECT_EQ(m_restored.skipped, written ? 0 : 1) << freeBytes;
        if (!written) {
            EXPECT_EQ(LogLines()[1], " Skipped--File " + Q(m_source / "ten") +
                                         " ! The file cannot be written because you have not "
                                         "enough free space!");
        }
    }
}

TEST_F(RestoreRun, StoredPoliciesSkipOrOverwrite) {
    const auto paths = BackUp({{"f", "from backup"}});
    const struct {
        std::int32_t policy;
        std::string line;
        std::string content;
        int overwritten, skipped;
    } cases[] = {
        {1, " Skipped--File " + Q(paths[0]) + "! The file already exists on the same path.",
         "changed", 0, 1},
        {0, " Overwritten succeeded--File " + Q(paths[0]), "from backup", 1, 0},
        {7, "", "changed", 0, 0},  // an unknown policy passes the item over silently
    };
    for (const auto& c : cases) {
        test::WriteFileBytes(paths[0], "changed");
        WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, c.policy);
        EXPECT_EQ(Restore({0}), 0);
        ExpectCounters(m_restored, c.overwritten, c.skipped, 0, 0);
        EXPECT_EQ(LogLines().size(), c.line.empty() ? 2u : 3u);
        if (!c.line.empty()) {
            EXPECT_EQ(LogLines()[1], c.line);
        }
        EXPECT_EQ(test::ReadFileBytes(paths[0]), c.content) << c.policy;
    }
}

TEST_F(RestoreRun, AskingTakesDontAskAgainIntoAccountWithinTheRun) {
    const auto paths = BackUp({{"a", "A"}, {"b", "B"}, {"c", "C"}});
    for (const auto& path : paths) {
        test::WriteFileBytes(path, "local");
    }
    WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, 2);
    // Overwrite without the box: the next file asks again. Skip with the box: the rest follow.
    m_host.fileExistsReplies = {{Answer::Overwrite, false}, {Answer::Skip, true}};
    EXPECT_EQ(Restore({0, 1, 2}), 0);
    ExpectCounters(m_restored, 1, 2, 0, 0);
    EXPECT_EQ(m_host.fileExistsTexts,
              (Lines{"The file " + paths[0].native() + " already exists!",
                     "The file " + paths[1].native() + " already exists!"}));
    EXPECT_EQ(
        LogLines(),
        (Lines{" Restore started ...", " Overwritten succeeded--File " + Q(paths[0]),
               " Skipped--File " + Q(paths[1]),
               " Skipped--File " + Q(paths[2]) + "! The file already exists on the same path.",
               " Restore finished!"}));
    EXPECT_EQ(GetProfileInt(profile::kActionToTakeWhenFileAlreadyExists), 1);
    EXPECT_EQ(std::count(m_host.calls.begin(), m_host.calls.end(), "Wait 4000"), 1)
        << "only the first prompt of a run waits";
}

TEST_F(RestoreRun, ClosingTheFileExistsPromptCancelsTheRunAndStoresNothing) {
    const auto paths = BackUp({{"a", "A"}, {"b", "B"}});
    test::WriteFileBytes(paths[0], "local");
    WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, 2);
    EXPECT_EQ(Restore({0, 1}), 1);
    EXPECT_EQ(LogLines(), (Lines{" Restore started ...", " User has cancelled."}));
    EXPECT_EQ(GetProfileInt(profile::kActionToTakeWhenFileAlreadyExists), 2);
    EXPECT_EQ(test::ReadFileBytes(paths[0]), "local");
    EXPECT_EQ(m_host.progressOpen, 0);
}

TEST_F(RestoreRun, AnExistingFileThatCannotBeReplacedIsKeptAndCountedFailed) {
    const auto paths = BackUp({{"stuck", "new"}});
    test::WriteFileBytes(paths[0], "old");
    const int fd = ::open(paths[0].c_str(), O_RDONLY);
    int flags = FS_IMMUTABLE_FL;
    if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) {
        ::close(fd);
        GTEST_SKIP() << "this file system or user cannot make a file immutable";
    }
    WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, 0);
    EXPECT_EQ(Restore({0}), 0);
    flags = 0;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    ExpectCounters(m_restored, 0, 0, 0, 1);
    EXPECT_EQ(LogLines()[1], " Overwritten failed--File " + Q(paths[0]) +
                                 " cannot be deleted. Might be used by other application!");
    EXPECT_EQ(test::ReadFileBytes(paths[0]), "old");
}

TEST_F(RestoreRun, CancelPathsEndTheRunWithTheCountersSoFar) {
    const auto paths = BackUp({{"a", "A"}, {"b", "B"}, {"c", "C"}});
    for (const auto& path : paths) {
        fs::remove(path);
    }
    // The prompt before the run.
    WriteProfileInt(profile::kRestorePromptDontShowAgain, 0);
    m_host.restorePromptAnswer = false;
    EXPECT_EQ(Restore({0, 1, 2}), 1);
    EXPECT_EQ(LogLines(), (Lines{" Restore started ...", " User has cancelled."}));
    EXPECT_EQ(m_host.calls, Lines{"RestorePrompt"});

    // The progress dialog's Cancel after two items.
    WriteProfileInt(profile::kRestorePromptDontShowAgain, 1);
    m_host.cancelChecks = 0;
    m_host.cancelAt = [](int check) { return check == 3; };
    EXPECT_EQ(Restore({0, 1, 2}), 1);
    ExpectCounters(m_restored, 0, 0, 2, 0);
    EXPECT_EQ(LogLines().back(), " User has cancelled.");
    EXPECT_TRUE(fs::exists(paths[1]));
    EXPECT_FALSE(fs::exists(paths[2]));
    EXPECT_EQ(RestoreStatusCaption(1), "Restore was canceled!");
    EXPECT_EQ(RestoreStatusText(m_restored),
              "0 overwritten files\n0 skipped files\n2 succeeded files\n0 failed files");
}

TEST_F(RestoreRun, AMissingRestoreFolderIsAskedForOrPassedOver) {
    BackUp({{"a", "A"}, {"b", "B"}});
    WriteProfileInt(profile::kRestorePathOfFiles, 1);
    // No folder stored: each item asks for one; the first answer is used for that item only.
    const fs::path picked = m_temp / "picked";
    fs::create_directories(picked);
    m_host.browsedFolders = {picked.native(), picked.native()};
    EXPECT_EQ(Restore({0, 1}), 0);
    EXPECT_EQ(m_restored.succeeded, 2);
    EXPECT_EQ(
        std::count(m_host.calls.begin(), m_host.calls.end(), "Browse Select the restore folder!"),
        2);
    EXPECT_EQ(std::count(m_host.calls.begin(), m_host.calls.end(), "Wait 5000"), 2);
    EXPECT_EQ(m_host.messages, (Lines{"You must select the restore folder!",
                                      "You must select the restore folder!"}));

    // A stored folder that does not exist: Ignore passes the item over, Abort cancels.
    WriteProfileString(profile::kRestorePath, (m_temp / "gone").native());
    m_host.messages.clear();
    m_host.messageAnswers = {IEngineHost::Answer::Retry, IEngineHost::Answer::Ignore,
                             IEngineHost::Answer::Abort};
    EXPECT_EQ(Restore({0, 1}), 1);
    ExpectCounters(m_restored, 0, 0, 0, 0);
    EXPECT_EQ(m_host.messages.size(), 3u);
    EXPECT_EQ(m_host.messages[0],
              "The folder " + (m_temp / "gone").native() + "/ does not exists!");
    EXPECT_EQ(LogLines(), (Lines{" Restore started ...", " User has cancelled."}));
}

TEST_F(RestoreRun, NamesThatWouldLeaveTheFolderAreNeverWrittenOutsideIt) {
    MakeFile("evil", "payload");
    const fs::path archive = m_temp / "hostile.tkw";
    {
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(archive), 1);
        ASSERT_EQ(zip.AddFile(m_source / "evil", "/../../escaped.txt"), 1);
        ASSERT_EQ(zip.AddFile(m_source / "evil", (m_temp / "out" / ".." / "escaped2.txt").native()),
                  1);
    }
    ASSERT_TRUE(m_engine.LoadBackupFile(archive));
    const fs::path folder = m_temp / "out";
    fs::create_directories(folder);
    RestoreUnder(folder);
    EXPECT_EQ(Restore({0}), 0);
    WriteProfileInt(profile::kRestorePathOfFiles, 0);
    EXPECT_EQ(Restore({1}), 0);
    EXPECT_EQ(m_restored.failed, 1);
    EXPECT_FALSE(fs::exists(m_temp / "escaped.txt"));
    EXPECT_FALSE(fs::exists(m_temp / "escaped2.txt"));
    EXPECT_FALSE(fs::exists(m_temp.path().parent_path() / "escaped.txt"));
}

TEST_F(RestoreRun, NothingLoadedFailsTheRun) {
    EXPECT_EQ(Restore({0}), 2);
    EXPECT_EQ(LogLines(), Lines{" Restore failed!"});
    EXPECT_TRUE(m_host.calls.empty());
    EXPECT_EQ(RestoreStatusCaption(2), "Restore failed!");
}

TEST_F(RestoreRun, ATargetThatCannotBeWrittenIsSkippedWithItsDrive) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a restore as another user";
    }
    BackUp({{"a", "A"}});
    // A folder only root may write to, and a restore run by another user.
    const fs::path folder = m_temp / "root-only";
    fs::create_directories(folder);
    fs::permissions(m_temp.path(),
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(folder, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::create_directories(m_temp / "logs");
    fs::permissions(m_temp / "logs", fs::perms::all);
    RestoreUnder(folder);
    const CFixedRestoreOptions options(1, folder.native(), 1);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(10);
        }
        m_log.clear();
        const int result = m_engine.RestoreItems({0}, m_restored, options);
        const Lines log = LogLines();
        const bool ok = result == 0 && m_restored.skipped == 1 && m_restored.leftOut == 1 &&
                        log.size() == 3 &&
                        log[1].find(" ! The file cannot be written on ") != std::string::npos &&
                        log[1].find(" drive !") != std::string::npos;
        ::_exit(ok ? 0 : 11);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << WEXITSTATUS(status);
    EXPECT_FALSE(fs::exists(folder / m_source.relative_path() / "a"));
}

TEST(StatusTexts, CaptionsAndCountsAsTheDialogsShowThem) {
    EXPECT_EQ(BackupStatusCaption(0), "Backup succeeded!");
    EXPECT_EQ(BackupStatusCaption(1), "Backup was cancelled!");
    EXPECT_EQ(BackupStatusCaption(2), "Backup Status");
    EXPECT_EQ(BackupStatusText({3, 1, 0, 0}),
              "3 items were added to the backup\n0 deleted\n1 skipped ");
    EXPECT_EQ(RestoreStatusCaption(0), "Restore succeeded!");
    EXPECT_EQ(RestoreStatusCaption(5), "Restore Status");
    EXPECT_EQ(RestoreStatusText({-1, 2, 3, 4}),
              "-1 overwritten files\n2 skipped files\n3 succeeded files\n4 failed files");
    EXPECT_EQ(CheckRestoreCanStart(false, true)->message,
              "Before restore files you must load a backup file!");
    EXPECT_EQ(CheckRestoreCanStart(true, false)->message,
              "You must select the files and folders before running restore");
    EXPECT_FALSE(CheckRestoreCanStart(true, true).has_value());
}

}  // namespace
}  // namespace tkw

namespace tkw {
namespace {

TEST_F(RestoreRun, EveryItemAskedForGetsALineAndACountAndTheNewestCopyOfANameWins) {
    const fs::path f = MakeFile("f", "a file");
    const fs::path old = MakeFile("old", "old copy");
    const fs::path fresh = MakeFile("new", "new copy");
    const std::string base = (m_temp / "items").native();
    {
        // Items no backup run makes, but an archive may hold: a name that is also a folder of
        // another item (a file that became a folder between two appends), and a name twice.
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(m_temp / "odd.tkw"), 1);
        ASSERT_EQ(zip.AddFile(f, base + "/f"), 1);
        ASSERT_EQ(zip.AddFile(old, base + "/dup"), 1);
        ASSERT_EQ(zip.AddFile(f, base + "/f/inner"), 1);
        ASSERT_EQ(zip.AddFile(fresh, base + "/dup"), 1);
    }
    ASSERT_TRUE(m_engine.LoadBackupFile(m_temp / "odd.tkw"));
    std::vector<std::string> names;
    for (int i = 0; i < 4; ++i) {
        names.push_back(m_engine.LoadedArchive()->GetItemFileName(i));
    }
    EXPECT_EQ(m_engine.LoadedArchive()->FindZipItem(base + "/dup"), 3) << "the newest copy";
    const std::vector<int> all = ItemsInTreeOrder(names);
    ASSERT_EQ(all, (std::vector<int>{1, 3, 0, 2}));
    const fs::path folder = m_temp / "restored";
    fs::create_directories(folder);
    const CFixedRestoreOptions options(IRestoreOptions::kUnderFolder, folder.native(),
                                       IRestoreOptions::kSkip);
    m_log.clear();
    ASSERT_EQ(m_engine.RestoreItems(all, m_restored, options), 0);
    const fs::path under = folder / fs::path(base).relative_path();
    EXPECT_EQ(LogLines(),
              (Lines{" Restore started ...",
                     " Skipped--File " + Q(base + "/dup") +
                         " because a newer copy with the same name and path is restored!",
                     " Succeeded--File " + Q(under / "dup"), " Succeeded--File " + Q(under / "f"),
                     " Failed--File " + Q(under / "f/inner"), " Restore finished!"}));
    ExpectCounters(m_restored, 0, 1, 2, 1);
    EXPECT_EQ(m_restored.leftOut, 0);
    EXPECT_EQ(test::ReadFileBytes(under / "dup"), "new copy");
    EXPECT_EQ(test::ReadFileBytes(under / "f"), "a file");
}

}  // namespace
}  // namespace tkw
