#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "tests/support/EngineFixture.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string kSeparator(342, '-');

class BackupLoad : public test::EngineFixture {
protected:
    // A backup file holding the given source files, closed.
    fs::path MakeBackup(const std::vector<std::string>& files, const std::string& name = "b.tkw") {
        const fs::path archive = m_temp / name;
        CZipEx zip;
        EXPECT_EQ(zip.CreateZip(archive), 1);
        for (const std::string& file : files) {
            EXPECT_EQ(zip.AddFile(MakeFile(file), (m_source / file).native()), 1);
        }
        return archive;
    }

    bool Load(const fs::path& path) {
        m_log.clear();
        m_host.calls.clear();
        return m_engine.LoadBackupFile(path);
    }
};

TEST_F(BackupLoad, ASuccessfulLoadFillsTheTreeAndLogsTheInformationBlock) {
    const fs::path archive = MakeBackup({"a.txt", "dir/b.txt", "dir/c.txt"});
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    ASSERT_TRUE(Load(archive));
    ASSERT_TRUE(m_engine.IsBackupLoaded());

    CZipEx* zip = m_engine.LoadedArchive();
    char created[64];
    const std::time_t time = zip->GetZipCreationTime();
    std::strftime(created, sizeof created, "%m/%d/%y %H:%M:%S", std::gmtime(&time));
    EXPECT_EQ(LogLines(),
              (Lines{" Loading backup file " + archive.native() + " ...", " Succeeded", kSeparator,
                     "Loaded backup file information", "Backup filename : " + archive.native(),
                     "Backup file size : " + std::to_string(fs::file_size(archive)) + " bytes",
                     std::string("Creation time : ") + created, "Number of files in backup : 3",
                     kSeparator}));
    EXPECT_TRUE(std::regex_search(LogFileBytes(),
                                  std::regex("\r\n-{342}\r\nLoaded backup file information\r\n")))
        << "the block's lines carry no time";

    ASSERT_EQ(m_host.tree.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m_host.tree[i].name, zip->GetItemFileName(i));
        EXPECT_EQ(m_host.tree[i].itemIndex, i);
        EXPECT_EQ(m_host.tree[i].image, i + 1) << "the folder image is at 0";
    }
    EXPECT_EQ(m_host.calls[2], "OpenProgress Loading backup ... 1");
    EXPECT_NE(std::find(m_host.calls.begin(), m_host.calls.end(), "Progress 2/3"),
              m_host.calls.end());
    EXPECT_NE(std::find(m_host.calls.begin(), m_host.calls.end(),
                        "Line Found " + zip->GetItemFileName(2)),
              m_host.calls.end());
    EXPECT_EQ(m_host.progressOpen, 0);
    ::unsetenv("TZ");
    ::tzset();
}

TEST_F(BackupLoad, EachFailureLogsItsLineAndLeavesNothingLoaded) {
    const fs::path notArchive = MakeFile("plain.tkw", "just text");
    const fs::path empty = MakeBackup({}, "empty.tkw");
    const fs::path good = MakeBackup({"a"}, "good.tkw");
    const struct {
        const char* what;
        fs::path path;
        std::function<bool(int)> cancelAt;
        bool result;
        std::string lastLine;
        std::string message;
    } cases[] = {
        {"not found", m_temp / "missing.tkw", nullptr, false, " Failed--Backup file not exists!",
         ""},
        {"cannot open", notArchive, nullptr, false, " Failed--Cannot open file!", ""},
        {"empty", empty, nullptr, true, " Loading backup file " + empty.native() + " ...",
         "The existing backup file does not contain anything!"},
        {"cancelled", good, [](int) { return true; }, false, " User has cancelled.", ""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(good)) << "something is loaded before each case";
        m_host.messages.clear();
        m_host.cancelAt = c.cancelAt ? c.cancelAt : [](int) { return false; };
        EXPECT_EQ(Load(c.path), c.result) << c.what;
        EXPECT_FALSE(m_engine.IsBackupLoaded()) << c.what;
        EXPECT_TRUE(m_host.tree.empty()) << c.what;
        EXPECT_EQ(LogLines().back(), c.lastLine) << c.what;
        EXPECT_EQ(LogLines().front(), " Loading backup file " + c.path.native() + " ...") << c.what;
        EXPECT_EQ(m_host.messages, c.message.empty() ? Lines{} : Lines{c.message}) << c.what;
        EXPECT_EQ(m_host.progressOpen, 0) << c.what;
        m_host.cancelAt = [](int) { return false; };
    }
}

TEST_F(BackupLoad, NewBackupUnloadsAndSaysWhichFile) {
    const fs::path archive = MakeBackup({"a"});
    m_engine.NewBackup();
    EXPECT_TRUE(LogLines().empty()) << "nothing was loaded, nothing is said";

    ASSERT_TRUE(Load(archive));
    m_log.clear();
    m_engine.NewBackup();
    EXPECT_EQ(LogLines(), Lines{" Succeeded--Unload backup file " + archive.native()});
    EXPECT_FALSE(m_engine.IsBackupLoaded());
    EXPECT_TRUE(m_host.tree.empty());
}

TEST_F(BackupLoad, ABackupCutShortByACrashLoadsWithAWarning) {
    const fs::path archive = m_temp / "crashed.tkw";
    const fs::path source = MakeFile("big", std::string(3 << 20, 'x'));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CZipEx zip;
        zip.CreateZip(archive);
        zip.AddFile(source, "/first");
        zip.AddFile(source, "/second");
        ::_exit(0);  // no index written: as if the program had been killed
    }
    ::waitpid(child, nullptr, 0);
    // Cut into the second item.
    fs::resize_file(archive, fs::file_size(archive) - 100);

    ASSERT_TRUE(Load(archive));
    EXPECT_EQ(m_engine.LoadedArchive()->GetNrOfFiles(), 1);
    EXPECT_EQ(LogLines()[1],
              " Warning--The backup file was not closed properly; 1 complete files were found and "
              "the damaged rest was left out!");
    EXPECT_EQ(LogLines()[2], " Succeeded");
}

}  // namespace
}  // namespace tkw
