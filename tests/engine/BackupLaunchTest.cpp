#include "engine/BackupLaunch.h"

#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "tests/support/EngineFixture.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using BackupFileAnswer = IEngineHost::BackupFileAnswer;

class BackupLaunchTest : public test::EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        WriteProfileString(profile::kBrowseForFolderPath, (m_temp / "target").native());
        WriteProfileString(profile::kBackupFilename, "Backup");
    }

    std::optional<int> Launch(std::vector<fs::path> selection) {
        m_log.clear();
        return LaunchBackup(
            m_engine,
            [this, selection] {
                ++m_selectionReads;
                return selection;
            },
            m_counters);
    }

    int m_selectionReads = 0;
};

TEST_F(BackupLaunchTest, NothingTickedShowsTheMessageAndNothingElse) {
    EXPECT_FALSE(Launch({}).has_value());
    EXPECT_EQ(m_host.messages,
              Lines{"Before running backup you must select the files and folders"});
    EXPECT_TRUE(m_log.empty());
    EXPECT_TRUE(m_host.statuses.empty());
}

TEST_F(BackupLaunchTest, ANewTargetRunsAtOnceAndShowsTheStatus) {
    const fs::path file = MakeFile("a");
    EXPECT_EQ(Launch({file}), 0);
    EXPECT_TRUE(fs::exists(BackupFile()));
    EXPECT_EQ(std::count_if(
                  m_host.calls.begin(), m_host.calls.end(),
                  [](const std::string& call) { return call.rfind("BackupFileExists", 0) == 0; }),
              0);
    ASSERT_EQ(m_host.statuses.size(), 1u);
    EXPECT_EQ(m_host.statuses[0].first, "Backup succeeded!");
    EXPECT_EQ(m_host.statuses[0].second, "1 items were added to the backup\n0 deleted\n0 skipped ");
}

TEST_F(BackupLaunchTest, OverwriteDeletesTheFileAndStartsOver) {
    const fs::path file = MakeFile("a");
    ASSERT_EQ(Launch({file}), 0);
    m_engine.UnloadBackupFile();
    m_host.backupFileAnswers = {BackupFileAnswer::Overwrite};
    m_selectionReads = 0;
    EXPECT_EQ(Launch({file}), 0);
    EXPECT_EQ(m_selectionReads, 2) << "the selection is read again after the prompt";
    EXPECT_EQ(LogLines()[0],
              " Succeeded--Backup file " + BackupFile().native() + " was overwritten!");
    EXPECT_EQ(m_counters.added, 1u) << "a fresh backup: nothing is a duplicate";
}

TEST_F(BackupLaunchTest, ABackupFileInUseIsNotOverwrittenAndThePromptComesBack) {
    const fs::path file = MakeFile("a");
    ASSERT_EQ(Launch({file}), 0);
    m_engine.UnloadBackupFile();
    CZipEx holder;  // another Tarnwick has the file open
    ASSERT_EQ(holder.Open(BackupFile()), 1);
    m_host.backupFileAnswers = {BackupFileAnswer::Overwrite, BackupFileAnswer::Cancelled};
    EXPECT_FALSE(Launch({file}).has_value());
    EXPECT_EQ(LogLines(),
              Lines{" Failed--Backup file " + BackupFile().native() +
                    " cannot be overwritten! The file might be used in other application !"});
    EXPECT_TRUE(fs::exists(BackupFile()));
}

TEST_F(BackupLaunchTest, AppendLoadsTheExistingBackupFirstWhenNothingIsLoaded) {
    const fs::path a = MakeFile("a");
    ASSERT_EQ(Launch({a}), 0);
    m_engine.UnloadBackupFile();
    const fs::path b = MakeFile("b");
    m_host.backupFileAnswers = {BackupFileAnswer::Append};
    EXPECT_EQ(Launch({a, b}), 0);
    EXPECT_EQ(m_counters.added, 1u);
    EXPECT_EQ(m_counters.skipped, 1u);
    EXPECT_EQ(m_host.TreeNames(), (Lines{a.native(), b.native()}));
    EXPECT_EQ(m_engine.LoadedArchive()->GetZipFileName(), BackupFile());
}

TEST_F(BackupLaunchTest, ANewLocationIsStoredAndUsed) {
    const fs::path a = MakeFile("a");
    ASSERT_EQ(Launch({a}), 0);
    fs::create_directories(m_temp / "elsewhere");
    m_host.backupFileAnswers = {BackupFileAnswer::NewLocation};
    m_host.newLocations = {(m_temp / "elsewhere" / "Other.typed").native()};
    EXPECT_EQ(Launch({a}), 0);
    EXPECT_EQ(GetProfileString(profile::kBrowseForFolderPath), (m_temp / "elsewhere").native());
    EXPECT_EQ(GetProfileString(profile::kBackupFilename), "Other");
    EXPECT_TRUE(fs::exists(m_temp / "elsewhere" / "Other.tkw"));
    EXPECT_NE(std::find(m_host.calls.begin(), m_host.calls.end(), "NewLocation Backup .tkw"),
              m_host.calls.end());

    // Cancelling the save dialog abandons the launch.
    m_host.backupFileAnswers = {BackupFileAnswer::NewLocation};
    EXPECT_FALSE(Launch({a}).has_value());
}

TEST_F(BackupLaunchTest, AnIsoTargetIsNeverAppendedTo) {
    WriteProfileInt(profile::kBackupStorageType, 1);
    test::WriteFileBytes(BasePath() + ".iso", "an old image");
    m_host.backupFileAnswers = {BackupFileAnswer::Append};
    EXPECT_FALSE(Launch({MakeFile("a")}).has_value());
    EXPECT_EQ(m_host.calls.front(), "BackupFileExists " + BasePath() + ".iso 1");
    EXPECT_FALSE(m_engine.IsBackupLoaded());
}

}  // namespace
}  // namespace tkw
