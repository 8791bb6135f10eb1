// What a run leaves on the disk before it reports success, and what it may delete.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include <csignal>
#include <set>

#include "engine/BackupLaunch.h"
#include "engine/ExclusiveOpen.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "tests/support/EngineFixture.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using test::HasLine;
using test::Q;

class Durability : public test::EngineFixture {
protected:
    void TearDown() override {
        SetLogDataSync({});
        EngineFixture::TearDown();
    }
};

TEST_F(Durability, EveryRunSyncsTheLogFileWithAllItsLines) {
    // The size of the log file at each sync: the last sync of a run must hold the run's last line.
    std::vector<off_t> syncedSizes;
    SetLogDataSync([&](int fd) {
        struct stat status {};
        ::fstat(fd, &status);
        syncedSizes.push_back(status.st_size);
        return 0;
    });
    const auto logSize = [&] { return static_cast<off_t>(LogFileBytes().size()); };

    const fs::path a = MakeFile("a");
    ASSERT_EQ(Run({a}), 0);
    ASSERT_EQ(syncedSizes.size(), 1u) << "the backup";
    EXPECT_EQ(syncedSizes.back(), logSize());

    m_engine.UnloadBackupFile();
    ASSERT_TRUE(m_engine.LoadBackupFile(BackupFile()));
    ASSERT_EQ(syncedSizes.size(), 2u) << "the load";
    EXPECT_EQ(syncedSizes.back(), logSize());

    WriteProfileInt(profile::kRestorePromptDontShowAgain, 1);
    WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, 1);  // skip
    RestoreCounters counters;
    ASSERT_EQ(m_engine.RestoreItems({0}, counters), 0);
    ASSERT_EQ(syncedSizes.size(), 3u) << "the restore";
    EXPECT_EQ(syncedSizes.back(), logSize());
}

class RestoreDurability : public Durability {
protected:
    void SetUp() override {
        Durability::SetUp();
        WriteProfileInt(profile::kRestorePromptDontShowAgain, 1);
        WriteProfileInt(profile::kRestorePathOfFiles, 1);
        WriteProfileString(profile::kRestorePath, (m_temp / "out").native());
        fs::create_directories(m_temp / "out");
        m_engine.SetFolderSync([this](const fs::path& folder) {
            m_synced.insert(folder);
            return m_syncWorks;
        });
        m_engine.SetFileSystemSync([this](int fd, const fs::path& folder) {
            struct stat status {};
            ::fstat(fd, &status);
            m_syncedThrough.push_back(status.st_ino);
            m_fileSystemsSynced.push_back(folder);
            return m_fileSystemSyncWorks;
        });
    }

    std::set<fs::path> m_synced;
    bool m_syncWorks = true;
    std::vector<fs::path> m_fileSystemsSynced;
    std::vector<ino_t> m_syncedThrough;  // the folder each file system sync went through
    bool m_fileSystemSyncWorks = true;
};

TEST_F(RestoreDurability, NewFilesAndTheFoldersMadeForThemAreSyncedBeforeSuccess) {
    const fs::path a = MakeFile("deep/er/a", "one");
    const fs::path b = MakeFile("b", "two");
    ASSERT_EQ(Run({a, b}), 0);
    RestoreCounters counters;
    ASSERT_EQ(m_engine.RestoreItems({0, 1}, counters), 0);
    ASSERT_EQ(counters.succeeded, 2);

    // Each new file's folder holds its name; each folder made holds the next one's. The sync of
    // the file system the new files are on puts them all on the disk at once.
    const fs::path out = m_temp / "out";
    const std::vector<fs::path> folders = {out / a.parent_path().relative_path(),
                                           out / (m_source / "deep").relative_path(),
                                           out / m_source.relative_path(), out};
    ASSERT_EQ(m_fileSystemsSynced.size(), 1u);
    // Through the folder that was there before the run wrote anything: a sync through it tells
    // of every write-back failure since, also one the system met on its own during the run.
    ASSERT_EQ(m_syncedThrough.size(), 1u);
    struct stat there {};
    ASSERT_EQ(::stat(out.c_str(), &there), 0);
    EXPECT_EQ(m_syncedThrough[0], there.st_ino);
    for (const fs::path& folder : folders) {
        EXPECT_EQ(m_synced.count(folder), 0u) << folder;
    }

    // Without new small files, the file system is not synced: each folder is, on its own.
    std::string big(2u << 20, 'x');
    const fs::path large = MakeFile("deep/er/large", big);
    ASSERT_EQ(Run({large}), 0);
    fs::remove_all(out);
    fs::create_directories(out);
    m_fileSystemsSynced.clear();
    ASSERT_EQ(m_engine.RestoreItems({0}, counters), 0);
    EXPECT_TRUE(m_fileSystemsSynced.empty());
    for (const fs::path& folder : folders) {
        EXPECT_EQ(m_synced.count(folder), 1u) << folder;
    }
}

// New files are named before their data is on the disk: the file system that holds them is synced
// once, and a restore whose sync fails does not report success.
TEST_F(RestoreDurability, TheFileSystemOfNewFilesIsSyncedOnceAndAFailedSyncFailsTheRun) {
    const fs::path a = MakeFile("one/a", "one");
    const fs::path b = MakeFile("two/b", "two");
    ASSERT_EQ(Run({a, b}), 0);
    RestoreCounters counters;
    ASSERT_EQ(m_engine.RestoreItems({0, 1}, counters), 0);
    EXPECT_EQ(m_fileSystemsSynced.size(), 1u) << "one file system, synced once";

    m_fileSystemSyncWorks = false;
    fs::remove_all(m_temp / "out");
    fs::create_directories(m_temp / "out");
    EXPECT_EQ(m_engine.RestoreItems({0, 1}, counters), CBackupRestoreManager::kFailed);
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), " Restore finished!"), 1) << "the first run's";
    EXPECT_EQ(lines.back(), " Restore failed: " + m_engine.LastError() + "!");
    EXPECT_EQ(m_host.progressOpen, 0);
    EXPECT_NE(m_engine.LastError().find("cannot flush the files written below"), std::string::npos)
        << m_engine.LastError();
}

// A large new file is synced on its own while the run goes on: it is whole when the run reports
// success, and it needs no sync of its file system.
TEST_F(RestoreDurability, ALargeNewFileIsWholeWhenTheRunSucceedsWithoutAFileSystemSync) {
    std::string bytes(3u << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    const fs::path big = MakeFile("big", bytes);
    ASSERT_EQ(Run({big}), 0);
    RestoreCounters counters;
    ASSERT_EQ(m_engine.RestoreItems({0}, counters), 0);
    EXPECT_EQ(counters.succeeded, 1);
    EXPECT_EQ(test::ReadFileBytes(m_temp / "out" / big.relative_path()), bytes);
    EXPECT_TRUE(m_fileSystemsSynced.empty());
}

TEST_F(RestoreDurability, ARestoreWhoseFilesCannotBeSyncedDoesNotReportSuccess) {
    const fs::path a = MakeFile("a", std::string(2u << 20, 'x'));  // synced with its folder
    ASSERT_EQ(Run({a}), 0);
    m_syncWorks = false;
    RestoreCounters counters;
    EXPECT_EQ(m_engine.RestoreItems({0}, counters), CBackupRestoreManager::kFailed);
    EXPECT_FALSE(HasLine(LogLines(), " Restore finished!"));
    EXPECT_EQ(m_host.progressOpen, 0);
    EXPECT_NE(m_engine.LastError().find("cannot flush the folder"), std::string::npos);
}

// A file another program holds open with a lease cannot even be opened by us without waiting:
// that failed open means "in use", never "free to delete".
class InUse : public Durability {
protected:
    void SetUp() override {
        Durability::SetUp();
        m_previousSigio = std::signal(SIGIO, SIG_IGN);  // the lease's break notice is ours
    }
    void TearDown() override {
        if (m_holder >= 0) {
            ::close(m_holder);
        }
        std::signal(SIGIO, m_previousSigio);
        Durability::TearDown();
    }

    // Holds a write lease on `path`: an open of it by anyone else is refused while it lasts.
    bool HoldLease(const fs::path& path) {
        m_holder = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        return m_holder >= 0 && ::fcntl(m_holder, F_SETLEASE, F_WRLCK) == 0;
    }

    int m_holder = -1;
    void (*m_previousSigio)(int) = SIG_DFL;
};

TEST_F(InUse, TheOneCheckAnswersForEveryKindOfFile) {
    const fs::path free = MakeFile("free");
    const fs::path held = MakeFile("held");
    const fs::path link = m_source / "link";
    fs::create_symlink(free, link);
    const fs::path fifo = m_source / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    if (!HoldLease(held)) {
        GTEST_SKIP() << "leases are not available here";
    }
    const struct {
        fs::path path;
        FileUse use;
    } cases[] = {
        {free, FileUse::Free},  {link, FileUse::Free},      {held, FileUse::InUse},
        {fifo, FileUse::InUse}, {m_source, FileUse::InUse}, {m_source / "gone", FileUse::Gone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClaimFile(c.path).use, c.use) << c.path;
    }
}

TEST_F(InUse, AnOriginalThatCannotBeOpenedIsNotDeleted) {
    WriteProfileInt(profile::kDeleteOriginalFilesAfterBackup, 1);
    const fs::path original = MakeFile("held", "precious");
    // Another program takes the file once its copy is in the backup (its tree node is added
    // right after), before the deletion.
    bool leased = false;
    m_host.onItemAdded = [&](const std::string&) { leased = HoldLease(original); };
    ASSERT_EQ(Run({original}), 0);
    if (!leased) {
        GTEST_SKIP() << "leases are not available here";
    }
    EXPECT_EQ(m_counters.added, 1u);
    EXPECT_EQ(m_counters.deleted, 0u);
    EXPECT_TRUE(fs::exists(original));
    EXPECT_TRUE(HasLine(LogLines(), " Cannot delete file-- " + original.native() +
                                        " ! The file might be used in other application !"));
}

class BackupFolder : public test::EngineFixture {};

TEST_F(BackupFolder, AMissingFolderIsMadeForTheOwnerAloneAndLogged) {
    const fs::path folder = m_temp / "new" / "Documents";
    WriteProfileString(profile::kBrowseForFolderPath, folder.native());
    WriteProfileString(profile::kBackupFilename, "Backup");
    const fs::path a = MakeFile("a");
    m_log.clear();
    EXPECT_EQ(LaunchBackup(
                  m_engine, [&] { return std::vector<fs::path>{a}; }, m_counters),
              0);

    EXPECT_TRUE(fs::exists(folder / "Backup.tkw"));
    for (const fs::path& made : {m_temp / "new", folder}) {
        struct stat status {};
        ASSERT_EQ(::stat(made.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0700u) << made;
        EXPECT_TRUE(
            HasLine(LogLines(), " Created folder " + made.native() + " for the backup file!"))
            << made;
    }
    EXPECT_EQ(m_counters.added, 1u);
}

TEST_F(BackupFolder, AFolderThatCannotBeMadeFailsTheRunAndSaysWhy) {
    test::WriteFileBytes(m_temp / "plain", "a file where a folder should be");
    WriteProfileString(profile::kBrowseForFolderPath, (m_temp / "plain" / "sub").native());
    WriteProfileString(profile::kBackupFilename, "Backup");
    const fs::path a = MakeFile("a");
    EXPECT_EQ(LaunchBackup(
                  m_engine, [&] { return std::vector<fs::path>{a}; }, m_counters),
              CBackupRestoreManager::kFailed);
    EXPECT_NE(m_engine.LastError().find("cannot make the folder"), std::string::npos)
        << m_engine.LastError();
}

}  // namespace
}  // namespace tkw
