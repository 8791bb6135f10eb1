// What an operation did not expect (no memory, a file system error) ends that operation alone:
// a line, a report, the progress dialog closed, the backup file closed with its index, a failed
// result. Nothing escapes to end the program.
#include <filesystem>
#include <new>
#include <stdexcept>

#include "engine/BackupLaunch.h"
#include "engine/OperationEdge.h"
#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "tests/support/EngineFixture.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using test::HasLine;

class OperationEdge : public test::EngineFixture {
protected:
    // The host throws `error` when it is first asked to do `call`.
    template <typename Error>
    void ThrowAt(const std::string& call, Error error) {
        m_host.onCall = [call, error, thrown = false](const std::string& made) mutable {
            if (!thrown && made == call) {
                thrown = true;
                throw error;
            }
        };
    }
};

TEST_F(OperationEdge, ABackupThatMeetsNoMemoryEndsFailedWithItsItemsIndexed) {
    const fs::path a = MakeFile("a", "first file");
    const fs::path b = MakeFile("b", "second file");
    ThrowAt("Line Adding file " + b.native(), std::bad_alloc());

    EXPECT_EQ(Run({a, b}), CBackupRestoreManager::kFailed);

    EXPECT_EQ(m_host.progressOpen, 0) << "the progress dialog is closed";
    EXPECT_TRUE(HasLine(LogLines(), " Backup failed: std::bad_alloc!"));
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_EQ(m_errors[0], "Backup failed: std::bad_alloc");
    EXPECT_EQ(m_engine.LastError(), "Backup failed: std::bad_alloc");
    // The file that was added is in the index, which was written when the run ended.
    m_engine.UnloadBackupFile();
    CZipEx archive;
    ASSERT_EQ(archive.Open(BackupFile()), 1);
    EXPECT_FALSE(archive.GetRecoveryReport().recovered);
    ASSERT_EQ(archive.GetNrOfFiles(), 1);
    EXPECT_EQ(archive.GetItemFileName(0), a.native());
    EXPECT_TRUE(archive.Verify().empty());
}

TEST_F(OperationEdge, ALoadThatMeetsAFileSystemErrorEndsWithNothingLoaded) {
    const fs::path a = MakeFile("a");
    ASSERT_EQ(Run({a}), 0);
    m_engine.UnloadBackupFile();
    ThrowAt("Title Searching in backup file ...",
            fs::filesystem_error("cannot list", std::make_error_code(std::errc::io_error)));

    EXPECT_FALSE(m_engine.LoadBackupFile(BackupFile()));

    EXPECT_FALSE(m_engine.IsBackupLoaded());
    EXPECT_EQ(m_host.progressOpen, 0);
    ASSERT_FALSE(m_errors.empty());
    EXPECT_EQ(m_errors.back().rfind("Loading the backup file failed: ", 0), 0u) << m_errors.back();
}

TEST_F(OperationEdge, ARestoreThatMeetsNoMemoryEndsFailedAfterTheFilesBefore) {
    const fs::path a = MakeFile("a", "one");
    const fs::path b = MakeFile("b", "two");
    ASSERT_EQ(Run({a, b}), 0);
    WriteProfileInt(profile::kRestorePromptDontShowAgain, 1);
    WriteProfileInt(profile::kRestorePathOfFiles, 1);
    WriteProfileString(profile::kRestorePath, (m_temp / "out").native());
    fs::create_directories(m_temp / "out");
    const fs::path restoredB = m_temp / "out" / b.relative_path();
    ThrowAt("Line Writting file " + restoredB.native(), std::bad_alloc());

    RestoreCounters counters;
    EXPECT_EQ(m_engine.RestoreItems({0, 1}, counters), CBackupRestoreManager::kFailed);

    EXPECT_EQ(m_host.progressOpen, 0);
    EXPECT_EQ(counters.succeeded, 1);
    EXPECT_EQ(test::ReadFileBytes(m_temp / "out" / a.relative_path()), "one");
    EXPECT_FALSE(fs::exists(restoredB));
    EXPECT_TRUE(HasLine(LogLines(), " Restore failed: std::bad_alloc!"));
}

TEST_F(OperationEdge, ALaunchWhoseSelectionThrowsIsNotCaughtByTheEngineButByItsCaller) {
    // The launch runs outside the engine's own operations: its caller (a worker of the window,
    // a command of the command-line tool) catches, with the one reporting routine.
    std::string reported;
    try {
        LaunchBackup(
            m_engine, []() -> std::vector<fs::path> { throw std::runtime_error("no selection"); },
            m_counters);
    } catch (...) {
        reported = ReportOperationFailure("The operation");
    }
    EXPECT_EQ(reported, "The operation failed: no selection");
    EXPECT_TRUE(HasLine(LogLines(), " The operation failed: no selection!"));
}

}  // namespace
}  // namespace tkw
