// Backups that meet races, odd files and folders the walk cannot take the ordinary way: each is
// stored whole, or reported and counted, never stored torn or passed over in silence.
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "tests/support/EngineFixture.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

using test::HasLine;
using test::Q;

// Runs `body` in a child process and gives its exit code; the child's own failures are its exit
// codes (gtest assertions do not cross the fork).
int InChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Takes away root's right to read and search any folder, as a plain user lacks it.
bool DropFolderOverrides() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    return ::syscall(SYS_capset, &header, data) == 0;
}

class BackupTrust : public test::EngineFixture {
protected:
    std::string ItemName(int index) { return m_engine.LoadedArchive()->GetItemFileName(index); }
};

TEST_F(BackupTrust, ANewBackupNeverReplacesAFileThatAppearedAfterTheLaunchLooked) {
    MakeFile("a", "first run's data");
    ASSERT_EQ(Run({m_source}), 0);
    m_engine.UnloadBackupFile();
    const std::string finished = test::ReadFileBytes(BackupFile());

    // A second run that found no file when it looked, and creates after the first one finished.
    m_log.clear();
    EXPECT_EQ(m_engine.RunBackup(BasePath(), 0, {m_source}, m_counters, false), 2);
    EXPECT_EQ(LogLines().back(), " Failed to create backup file " + BackupFile().native() + " !");
    EXPECT_NE(m_engine.LastError().find("already exists"), std::string::npos)
        << m_engine.LastError();
    EXPECT_EQ(test::ReadFileBytes(BackupFile()), finished);
    EXPECT_FALSE(m_engine.IsBackupLoaded());
}

TEST_F(BackupTrust, ASourceOnAReadOnlyVolumeIsBackedUp) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a volume";
    }
    const fs::path volume = m_source / "snapshot";
    fs::create_directories(volume);
    // In a mount namespace of its own, so that nothing stays mounted whatever happens.
    const int code = InChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=1m") != 0) {
            return 77;
        }
        test::WriteFileBytes(volume / "kept.txt", "on a snapshot");
        if (::mount(nullptr, volume.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            return 77;
        }
        if (Run({volume}) != 0 || m_counters.added != 1 || m_counters.skipped != 0) {
            return 1;
        }
        return HasLine(LogLines(), " Succeeded--File " + Q(volume / "kept.txt")) ? 0 : 2;
    });
    if (code == 77) {
        GTEST_SKIP() << "mounting is not allowed here";
    }
    EXPECT_EQ(code, 0);
}

TEST_F(BackupTrust, AFileThatShrinksWhileItIsReadIsStoredAsReadAndReported) {
    WriteProfileInt(profile::kDeleteOriginalFilesAfterBackup, 1);
    // Sparse: data at the start, then a long hole, as a disk image or a database file.
    const fs::path file = MakeFile("image.bin", std::string(4096, 'd'));
    fs::resize_file(file, 200u << 20);
    // The second look at Cancel comes after the first pieces of the file were read: the file is
    // cut short then.
    m_host.cancelAt = [&](int check) {
        if (check == 2) {
            fs::resize_file(file, 10u << 20);
        }
        return false;
    };
    ASSERT_EQ(Run({file}), 0);
    const Lines lines = LogLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1], " Succeeded--File " + Q(file));
    EXPECT_EQ(lines[2],
              " Warning--File " + Q(file) +
                  " changed while it was read; the backup holds the bytes that were read!");
    EXPECT_EQ(lines[3], " Cannot delete file-- " + file.native() +
                            " ! The file might be used in other application !")
        << "a copy of a changing file does not replace it";
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(m_counters.changed, 1u);
    // What was stored ends where the file ended: never the old length padded with zeros.
    CZipEx* archive = m_engine.LoadedArchive();
    EXPECT_LT(archive->GetItemFileSize(0), 200u << 20);
    ASSERT_EQ(archive->GetItemFile(0, m_temp / "restored"), 1);
    EXPECT_EQ(test::ReadFileBytes(m_temp / "restored").substr(0, 4096), std::string(4096, 'd'));
}

TEST_F(BackupTrust, AFileSwappedForAFifoBeforeItIsOpenedFailsInsteadOfHanging) {
    // Too large to be read ahead: it is opened at its turn, after "Adding file" is shown.
    const fs::path file = MakeFile("swapped", std::string(5u << 20, 's'));
    const fs::path after = MakeFile("after");
    m_host.onCall = [&](const std::string& call) {
        if (call == "Line Adding file " + file.native()) {
            fs::remove(file);
            ::mkfifo(file.c_str(), 0600);
        }
    };
    const int result = Run({file, after});
    m_host.onCall = nullptr;
    ASSERT_EQ(result, 0);
    const Lines lines = LogLines();
    EXPECT_TRUE(HasLine(lines, " Failed--File " + Q(file))) << lines.size();
    EXPECT_TRUE(HasLine(lines, " Succeeded--File " + Q(after)));
    EXPECT_EQ(m_counters.failed, 1u);
}

TEST_F(BackupTrust, CancelStopsInsideALargeFile) {
    const fs::path big = MakeFile("big", "x");
    fs::resize_file(big, 1ull << 30);  // a hole: cheap to make, read as a gibibyte of zeros
    int checks = 0;
    m_host.cancelAt = [&](int check) {
        checks = check;
        return check >= 2;  // the first look is before the file; the second inside it
    };
    EXPECT_EQ(Run({big}), 1);
    EXPECT_EQ(LogLines(), (Lines{" Backup started ...", " Backup was cancelled!"}));
    EXPECT_EQ(checks, 2);
    EXPECT_EQ(m_engine.LoadedArchive()->GetNrOfFiles(), 0);
}

TEST_F(BackupTrust, AFolderThatCannotBeListedIsReportedAndCountedAsLeftOut) {
    MakeFile("open/a");
    const fs::path closed = m_source / "closed";
    MakeFile("closed/hidden");
    fs::permissions(closed, fs::perms::none);
    const int code = InChild([&] {
        if (::geteuid() == 0 && !DropFolderOverrides()) {
            return 77;
        }
        if (Run({m_source}) != 0) {
            return 1;
        }
        const Lines lines = LogLines();
        if (!HasLine(lines,
                     " Skipped--File " + Q(closed) + " because the file cannot be accessed!")) {
            return 2;
        }
        return m_counters.added == 1 && m_counters.skipped == 1 && m_counters.leftOut == 1 ? 0 : 3;
    });
    fs::permissions(closed, fs::perms::owner_all);
    if (code == 77) {
        GTEST_SKIP() << "cannot drop root's folder rights here";
    }
    EXPECT_EQ(code, 0);
}

// Removes a folder tree whose paths are too long for the path calls, with a tool that walks it
// relative to each folder, whatever way the test ends.
struct DeepTreeRemover {
    fs::path top;
    ~DeepTreeRemover() { std::system(("rm -rf '" + top.native() + "'").c_str()); }
};

// Makes folders below `root` one at a time (no single path call could take the whole path) and a
// file at the bottom; the file's full path.
fs::path MakeDeepFile(const fs::path& root, std::size_t pathLength, const std::string& bytes) {
    const std::string component(200, 'd');
    fs::path path = root;
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    while (path.native().size() < pathLength) {
        ::mkdirat(fd, component.c_str(), 0700);
        const int next = ::openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        path /= component;
    }
    const int file = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::write(file, bytes.data(), bytes.size());
    ::close(file);
    ::close(fd);
    return path / "deep.txt";
}

TEST_F(BackupTrust, PathsLongerThanTheSystemTakesAreBackedUpWhole) {
    const fs::path deep = MakeDeepFile(m_source, 4300, "far down");
    const DeepTreeRemover remover{m_source / std::string(200, 'd')};
    ASSERT_GT(deep.native().size(), static_cast<std::size_t>(PATH_MAX));
    WriteProfileInt(profile::kDeleteOriginalFilesAfterBackup, 1);
    ASSERT_EQ(Run({m_source}), 0);
    EXPECT_TRUE(HasLine(LogLines(), " Succeeded--File " + Q(deep)));
    EXPECT_TRUE(HasLine(LogLines(), " Deleted file-- " + deep.native() + " ."));
    EXPECT_EQ(m_counters.added, 1u);
    ASSERT_EQ(m_engine.LoadedArchive()->GetNrOfFiles(), 1);
    EXPECT_EQ(ItemName(0), deep.native());
    EXPECT_EQ(m_engine.LoadedArchive()->VerifyItem(0), 1);
}

TEST_F(BackupTrust, WhatWasNotStoredIsCountedApartFromWhatTheUserFilteredOut) {
    const fs::path kept = MakeFile("kept.txt");
    const fs::path filtered = MakeFile("filtered.doc");
    WriteProfileString(profile::kAllStringToFindInFileName, ".doc");
    WriteProfileInt(profile::kIncludeOrExcludeFileNames, profile::kExclude);
    ASSERT_EQ(Run({kept, filtered, m_source / "missing"}), 0);
    EXPECT_EQ(m_counters.added, 1u);
    EXPECT_EQ(m_counters.skipped, 2u);
    EXPECT_EQ(m_counters.leftOut, 1u)
        << "only the missing file was left out against the user's wish";
}

TEST_F(BackupTrust, LoadingACutShortBackupLeavesItAloneAndAppendingRepairsItWithALine) {
    const fs::path a = MakeFile("a", std::string(5000, 'a'));
    const fs::path b = MakeFile("b", std::string(5000, 'b'));
    ASSERT_EQ(Run({a, b}), 0);
    const archive::ItemInfo last = *m_engine.LoadedArchive()->GetItemInfo(1);
    m_engine.UnloadBackupFile();
    // Killed while writing: the index and the end of the last item are gone.
    fs::resize_file(BackupFile(), last.recordOffset + last.recordLength / 2);
    const std::string cut = test::ReadFileBytes(BackupFile());

    ASSERT_TRUE(m_engine.LoadBackupFile(BackupFile()));
    EXPECT_EQ(m_engine.LoadedArchive()->GetNrOfFiles(), 1);
    m_engine.UnloadBackupFile();
    EXPECT_EQ(test::ReadFileBytes(BackupFile()), cut) << "loading must not change the file";

    ASSERT_TRUE(m_engine.LoadBackupFile(BackupFile()));
    ASSERT_EQ(Run({b}, /*append=*/true), 0);
    const Lines lines = LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1].rfind(" Warning--The backup file " + BackupFile().native() +
                                 " was not closed properly; its damaged end of ",
                             0),
              0u)
        << lines[1];
    EXPECT_EQ(lines[2], " Succeeded--File " + Q(b));
    m_engine.UnloadBackupFile();
    CZipEx reopened;
    ASSERT_EQ(reopened.Open(BackupFile()), 1);
    EXPECT_EQ(reopened.GetNrOfFiles(), 2);
    EXPECT_TRUE(reopened.Verify().empty());
}

TEST_F(BackupTrust, AppendingToABackupKilledInItsFirstMomentsStartsItAfresh) {
    const fs::path a = MakeFile("a");
    for (const std::string& start : {std::string(), std::string("\x89TKW\r\n", 6)}) {
        test::WriteFileBytes(BackupFile(), start);
        ASSERT_TRUE(m_engine.LoadBackupFile(BackupFile()));
        EXPECT_FALSE(m_engine.IsBackupLoaded()) << "a file without items is not kept loaded";
        ASSERT_EQ(Run({a}, /*append=*/true), 0) << m_engine.LastError();
        EXPECT_EQ(LogLines()[1],
                  " Warning--The backup file " + BackupFile().native() +
                      " held no complete header and no files; it is written afresh!");
        EXPECT_EQ(m_counters.added, 1u);
        m_engine.UnloadBackupFile();
        CZipEx reopened;
        ASSERT_EQ(reopened.Open(BackupFile()), 1);
        EXPECT_EQ(reopened.GetNrOfFiles(), 1);
    }
}

TEST_F(BackupTrust, AppendingToABackupThatCanOnlyBeReadFailsTheRun) {
    const fs::path a = MakeFile("a");
    ASSERT_EQ(Run({a}), 0);
    m_engine.UnloadBackupFile();
    const int code = InChild([&] {
        // Without root's rights the backup file (the owner's alone, and made read-only) opens
        // for reading only.
        if (::geteuid() == 0 && !DropFolderOverrides()) {
            return 77;
        }
        ::chmod(BackupFile().c_str(), 0400);
        if (!m_engine.LoadBackupFile(BackupFile()) || !m_engine.IsBackupLoaded()) {
            return 1;
        }
        if (Run({MakeFile("b")}, /*append=*/true) != 2) {
            return 2;
        }
        return LogLines().back() == " Failed to create backup file " + BackupFile().native() + " !"
                   ? 0
                   : 3;
    });
    if (code == 77) {
        GTEST_SKIP() << "cannot drop root's file rights here";
    }
    EXPECT_EQ(code, 0);
}

TEST_F(BackupTrust, AFileGoneSinceAnEarlierBackupIsLeftOutEvenThoughTheBackupHoldsIt) {
    const fs::path a = MakeFile("a");
    ASSERT_EQ(Run({a}), 0);
    fs::remove(a);
    ASSERT_EQ(Run({a}, /*append=*/true), 0);
    EXPECT_EQ(m_counters.leftOut, 1u) << "asked for, and not stored by this run";
}

TEST_F(BackupTrust, ABackupFileReachedThroughALinkIsLoadedAndAppendedTo) {
    ASSERT_EQ(Run({MakeFile("a")}), 0);
    m_engine.UnloadBackupFile();
    const fs::path link = m_temp / "latest.tkw";
    fs::create_symlink(BackupFile(), link);
    ASSERT_TRUE(m_engine.LoadBackupFile(link)) << m_engine.LastError();
    ASSERT_EQ(Run({MakeFile("b")}, /*append=*/true), 0);
    m_engine.UnloadBackupFile();
    CZipEx reopened;
    ASSERT_EQ(reopened.Open(BackupFile()), 1);
    EXPECT_EQ(reopened.GetNrOfFiles(), 2);
}

}  // namespace
}  // namespace tkw
