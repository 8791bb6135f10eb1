// Starts the real program and checks what decides whether it may run, and what it leaves behind.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QSettings>

#include <csignal>
#include <regex>

#include "components/archive/ZipEx.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

// Each test gets its own copy of the program, so its log folder ("logs" beside the program), its
// settings, home and session folders are its own.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_root / "bin");
        fs::create_directories(m_root / "runtime");
        fs::create_directories(m_root / "home");
        fs::copy_file(TARNWICK_EXECUTABLE, m_program);
        // Another user must be able to reach and run the copy.
        fs::permissions(m_root.path(), fs::perms::owner_all | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read |
                                           fs::perms::others_exec);
        m_environment = test::IsolatedEnvironment(m_root.path());
    }

    ChildProcess::Options Start(bool ready = true) const {
        ChildProcess::Options options;
        options.arguments = {m_program.native()};
        options.environment = m_environment;
        options.withReadyPipe = ready;
        return options;
    }

    std::string Log() const {
        std::string all;
        if (fs::exists(m_root / "bin" / "logs")) {
            for (const auto& entry : fs::directory_iterator(m_root / "bin" / "logs")) {
                all += test::ReadFileBytes(entry.path());
            }
        }
        return all;
    }

    QString SettingsFile() const {
        return QString::fromStdString(
            (m_root / "config" / "Quorvane Software" / "Tarnwick.conf").native());
    }

    test::TempDir m_root;
    fs::path m_program = m_root / "bin" / "tarnwick";
    std::map<std::string, std::string> m_environment;
};

TEST_F(StartupTest, ARunLogsItsStartAndEndAndFillsTheTwoDefaults) {
    ChildProcess app(Start());
    ASSERT_EQ(app.WaitForReadyLine(), "ready") << app.StandardError();
    app.Signal(SIGTERM);  // closes the main window the normal way
    EXPECT_EQ(app.Wait(), 0) << app.StandardError();

    const std::string log = Log();
    const std::string time = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})";
    EXPECT_TRUE(std::regex_match(log, std::regex(time + " Application started\r\n" + time +
                                                 " Application ended\r\n-{342}\r\n")))
        << log;

    QSettings settings(SettingsFile(), QSettings::IniFormat);
    EXPECT_EQ(settings.value(QStringLiteral("BackupOptions_A/BackupFilename")).toString(),
              QStringLiteral("Backup"));
    EXPECT_EQ(settings.value(QStringLiteral("BackupOptions_A/BrowseForFolderPath")).toString(),
              QString::fromStdString((m_root / "home" / "Documents").native()));
}

TEST_F(StartupTest, StoredValuesAreKeptAndTheFirstArgumentIsTakenAsABackupFile) {
    {
        fs::create_directories(m_root / "config" / "Quorvane Software");
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("BackupOptions_A/BackupFilename"), QStringLiteral("Mine"));
        settings.setValue(QStringLiteral("BackupOptions_A/BrowseForFolderPath"),
                          QStringLiteral("/srv/backups"));
    }
    auto options = Start();
    options.arguments.push_back("/nowhere/first.tkw");
    options.arguments.push_back("/nowhere/second.tkw");
    ChildProcess app(options);
    ASSERT_EQ(app.WaitForReadyLine(), "ready") << app.StandardError();
    app.Signal(SIGTERM);
    EXPECT_EQ(app.Wait(), 0) << app.StandardError();

    QSettings settings(SettingsFile(), QSettings::IniFormat);
    EXPECT_EQ(settings.value(QStringLiteral("BackupOptions_A/BackupFilename")).toString(),
              QStringLiteral("Mine"));
    EXPECT_EQ(settings.value(QStringLiteral("BackupOptions_A/BrowseForFolderPath")).toString(),
              QStringLiteral("/srv/backups"));
}

TEST_F(StartupTest, ABackupFileNamedWithBytesThatAreNotUtf8IsLoadedFromTheCommandLine) {
    const fs::path backup = m_root / "caf\xE9.tkw";
    {
        test::WriteFileBytes(m_root / "item", "data");
        CZipEx archive;
        ASSERT_EQ(archive.CreateZip(backup), 1);
        ASSERT_EQ(archive.AddFile(m_root / "item", (m_root / "item").native()), 1);
    }
    auto options = Start();
    options.arguments.push_back(backup.native());
    ChildProcess app(options);
    ASSERT_EQ(app.WaitForReadyLine(), "ready") << app.StandardError();
    app.Signal(SIGTERM);
    EXPECT_EQ(app.Wait(), 0) << app.StandardError();

    const std::string log = Log();
    EXPECT_NE(log.find("Number of files in backup : 1\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Failed--"), std::string::npos) << log;
}

TEST_F(StartupTest, ANonRootUserIsRefusedWithCode425BeforeAnythingIsLogged) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "starting the program as another user needs root";
    }
    auto options = Start(false);
    options.runAsUser = kNobody;
    options.runAsGroup = kNoGroup;
    // Sanitizer leak checks need ptrace rights an unprivileged child may not have.
    options.environment["ASAN_OPTIONS"] = "detect_leaks=0";
    ChildProcess app(options);
    // The program exits with 425; a POSIX exit status keeps only its low 8 bits.
    EXPECT_EQ(app.Wait(), 425 & 0xFF) << app.StandardError();
    EXPECT_NE(
        app.StandardError().find("You must be logged as adminstrator when run this program !"),
        std::string::npos)
        << app.StandardError();
    EXPECT_FALSE(fs::exists(m_root / "bin" / "logs"));
    EXPECT_FALSE(fs::exists(m_root / "config"));
}

TEST_F(StartupTest, ASecondInstanceIsRefusedWithCode43AndTheFirstRunsOn) {
    ChildProcess first(Start());
    ASSERT_EQ(first.WaitForReadyLine(), "ready") << first.StandardError();

    ChildProcess second(Start(false));
    EXPECT_EQ(second.Wait(), 43);
    EXPECT_NE(second.StandardError().find("Another instance of Tarnwick is already running ! "),
              std::string::npos)
        << second.StandardError();

    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 0) << first.StandardError();
    const std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << "only the first instance logged\n"
                                                           << log;
}

TEST_F(StartupTest, AStartAfterAKilledInstanceProceeds) {
    {
        ChildProcess killed(Start());
        ASSERT_EQ(killed.WaitForReadyLine(), "ready") << killed.StandardError();
        killed.Signal(SIGKILL);
        EXPECT_EQ(killed.Wait(), 128 + SIGKILL);
    }
    ChildProcess next(Start());
    ASSERT_EQ(next.WaitForReadyLine(), "ready") << next.StandardError();
    next.Signal(SIGTERM);
    EXPECT_EQ(next.Wait(), 0) << next.StandardError();
}

TEST_F(StartupTest, ALockThatCannotBeCreatedEndsWithCode42) {
    auto options = Start(false);
    options.environment["XDG_RUNTIME_DIR"] = (m_root / "no" / "such" / "folder").native();
    ChildProcess app(options);
    EXPECT_EQ(app.Wait(), 42);
    const std::string& errors = app.StandardError();
    const auto created = errors.find("failed to lauch another instance of Tarnwick");
    const auto waited = errors.find("Failed ");
    EXPECT_NE(created, std::string::npos) << errors;
    EXPECT_NE(waited, std::string::npos) << errors;
    EXPECT_LT(created, waited) << errors;
    EXPECT_EQ(Log(), "");
}

}  // namespace
}  // namespace tkw
