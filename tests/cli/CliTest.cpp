// The real tarnwick-cli, started as scripts start it.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <csignal>

#include "components/archive/ZipEx.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::ReadFileBytes;
using test::WriteFileBytes;

class CliCommand : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_root / "src" / "sub");
        m_environment = test::IsolatedEnvironment(m_root.path());
    }

    struct Result {
        int code;
        std::string output;  // standard output and error together
    };

    Result Cli(std::vector<std::string> arguments) const {
        ChildProcess::Options options;
        options.arguments = {TARNWICK_CLI};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = m_environment;
        options.stdoutToo = true;
        ChildProcess child(options);
        const int code = child.Wait();
        return {code, child.StandardError()};
    }

    fs::path Source(const std::string& name, const std::string& bytes) {
        const fs::path path = m_root / "src" / name;
        WriteFileBytes(path, bytes);
        return path;
    }

    std::string Archive() const { return (m_root / "out" / "set.tkw").native(); }

    test::TempDir m_root;
    std::map<std::string, std::string> m_environment;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(CliCommand, BackupDeleteAndRestoreGiveBackTheSameFiles) {
    const fs::path a = Source("a.txt", "alpha");
    const fs::path b = Source("sub/b.bin", std::string(70000, '\x01'));
    ::chmod(b.c_str(), 0751);
    const timespec times[2] = {{0, UTIME_OMIT}, {1234567890, 987654321}};
    ::utimensat(AT_FDCWD, b.c_str(), times, 0);
    fs::create_directories(m_root / "out");

    ASSERT_EQ(
        Cli({"settings", "set", "BackupOptions_A", "DeleteOriginalFilesAfterBackup", "1"}).code, 0);
    const auto backup = Cli({"backup", "--to", (m_root / "out").native(), "--name", "set",
                             (m_root / "src").native() + "/", a.native()});
    ASSERT_EQ(backup.code, 0) << backup.output;
    EXPECT_TRUE(Contains(backup.output, " Backup started ...\n")) << backup.output;
    // a.txt, named again after its folder, is gone by then.
    EXPECT_TRUE(Contains(backup.output,
                         " Skipped--File \"" + a.native() + "\" because the file not exists!\n"));
    EXPECT_TRUE(
        Contains(backup.output,
                 "Backup succeeded!\n2 items were added to the backup\n2 deleted\n1 skipped \n"))
        << backup.output;
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(b));

    const auto list = Cli({"list", Archive()});
    ASSERT_EQ(list.code, 0);
    EXPECT_EQ(list.output, "0\t70000\t" + b.native() + "\n1\t5\t" + a.native() + "\n")
        << "the load's own lines go to the log file only";

    const auto restore = Cli({"restore", Archive(), "--all"});
    ASSERT_EQ(restore.code, 0) << restore.output;
    EXPECT_TRUE(Contains(restore.output,
                         "Restore succeeded!\n0 overwritten files\n0 skipped files\n2 succeeded "
                         "files\n0 failed files\n"));
    EXPECT_EQ(ReadFileBytes(a), "alpha");
    EXPECT_EQ(ReadFileBytes(b), std::string(70000, '\x01'));
    struct stat status {};
    ASSERT_EQ(::stat(b.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0751u);
    EXPECT_EQ(status.st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(status.st_mtim.tv_nsec, 987654321);
}

TEST_F(CliCommand, RestoreUnderAFolderAndTheExistingFilePolicy) {
    const fs::path a = Source("a.txt", "alpha");
    ASSERT_EQ(Cli({"backup", "--to", (m_root / "out").native(), "--name", "set", a.native()}).code,
              0);
    const fs::path under = m_root / "restored";
    const fs::path target = under / a.relative_path();

    ASSERT_EQ(Cli({"restore", Archive(), "--under", under.native(), "0"}).code, 0);
    EXPECT_EQ(ReadFileBytes(target), "alpha");
    WriteFileBytes(target, "edited");
    const auto skipped = Cli({"restore", Archive(), "--under", under.native(), "0"});
    EXPECT_TRUE(Contains(skipped.output, "! The file already exists on the same path."))
        << skipped.output;
    EXPECT_EQ(ReadFileBytes(target), "edited");
    const auto overwritten =
        Cli({"restore", Archive(), "--under", under.native(), "--on-exists", "overwrite", "0"});
    EXPECT_TRUE(
        Contains(overwritten.output, " Overwritten succeeded--File \"" + target.native() + "\""))
        << overwritten.output;
    EXPECT_EQ(ReadFileBytes(target), "alpha");
}

TEST_F(CliCommand, AHostileNameCannotLeaveTheRestoreFolder) {
    const fs::path payload = Source("payload", "bad");
    fs::create_directories(m_root / "out");
    {
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(Archive()), 1);
        ASSERT_EQ(zip.AddFile(payload, "/../../../escaped"), 1);
    }
    const auto result = Cli({"restore", Archive(), "--under", (m_root / "jail").native(), "--all"});
    EXPECT_EQ(result.code, 4) << "an item asked for was left out";
    EXPECT_TRUE(Contains(result.output, "1 failed files")) << result.output;
    EXPECT_FALSE(fs::exists(m_root / "escaped"));
    EXPECT_FALSE(fs::exists(m_root.path().parent_path() / "escaped"));
}

TEST_F(CliCommand, VerifyReportsDamagedItemsWithExitCode3) {
    Source("a.txt", std::string(5000, 'a'));
    Source("b.txt", std::string(5000, 'b'));
    ASSERT_EQ(Cli({"backup", "--to", (m_root / "out").native(), "--name", "set",
                   (m_root / "src").native()})
                  .code,
              0);
    const auto intact = Cli({"verify", Archive()});
    EXPECT_EQ(intact.code, 0);
    EXPECT_EQ(intact.output, "2 items checked, 0 damaged\n");

    CZipEx zip;
    ASSERT_EQ(zip.Open(Archive()), 1);
    const auto* second = zip.GetItemInfo(1);
    const std::uint64_t middle = second->recordOffset + second->recordLength / 2;
    const std::string name = zip.GetItemFileName(1);
    zip.Close();
    std::string bytes = ReadFileBytes(Archive());
    bytes[middle] = static_cast<char>(bytes[middle] ^ 0x40);
    WriteFileBytes(Archive(), bytes);
    const auto damaged = Cli({"verify", Archive()});
    EXPECT_EQ(damaged.code, 3);
    EXPECT_TRUE(Contains(damaged.output, "damaged\t1\t" + name + "\t")) << damaged.output;
    EXPECT_TRUE(Contains(damaged.output, "2 items checked, 1 damaged\n"));
}

// An archive of four items written directly, with the offsets a test needs to damage it.
class CliVerifyDamage : public CliCommand {
protected:
    void SetUp() override {
        CliCommand::SetUp();
        fs::create_directories(m_root / "out");
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(Archive()), 1);
        for (int i = 0; i < 4; ++i) {
            const fs::path source = Source("f" + std::to_string(i), std::string(3000 + i, 'a' + i));
            ASSERT_EQ(zip.AddFile(source, Name(i)), 1);
            m_items.push_back(*zip.GetItemInfo(i));
        }
        ASSERT_EQ(zip.Close(), 1);
        m_closed = ReadFileBytes(Archive());
        m_dataEnd = m_items.back().recordOffset + m_items.back().recordLength;
    }

    static std::string Name(int i) { return "/data/item" + std::to_string(i); }
    std::string WithoutIndex() const { return m_closed.substr(0, m_dataEnd); }
    static std::string Flipped(std::string bytes, std::uint64_t offset) {
        bytes.at(offset) = static_cast<char>(bytes.at(offset) ^ 0x01);
        return bytes;
    }
    std::uint64_t Start(int i) const { return m_items[static_cast<std::size_t>(i)].recordOffset; }
    std::uint64_t Length(int i) const { return m_items[static_cast<std::size_t>(i)].recordLength; }
    std::string Skipped(int i) const {
        return "skipped\t" + std::to_string(Start(i)) + "\t" + std::to_string(Length(i)) + "\t";
    }
    std::string Lost(int i, const std::string& how) const {
        return "lost\t" + std::to_string(Start(i)) + "\t" + Name(i) + "\t" + how + "\n";
    }

    std::vector<archive::ItemInfo> m_items;
    std::string m_closed;
    std::uint64_t m_dataEnd = 0;
};

TEST_F(CliVerifyDamage, EveryLossIsNamedAndExitsWith3) {
    const std::uint64_t chunkHeader = Start(1) + 36 + Name(1).size() + 4;
    const std::uint64_t trailer = Start(2) + Length(2) - 48;
    const std::uint64_t footerCheck = m_closed.size() - 1;
    const struct {
        const char* what;
        std::string bytes;
        std::vector<std::string> says;
    } cases[] = {
        {"a record header",
         Flipped(WithoutIndex(), Start(1) + 16),
         {"note: the index is missing", Skipped(1),
          Lost(1, "name read from its damaged header, a best guess"),
          "at least 1 item can no longer be found\n", "3 items checked, 0 damaged\n"}},
        {"a chunk header",
         Flipped(WithoutIndex(), chunkHeader + 2),
         {Skipped(1), Lost(1, "named by its own header"), "3 items checked, 0 damaged\n"}},
        {"a trailer",
         Flipped(WithoutIndex(), trailer + 12),
         {Skipped(2), Lost(2, "named by its own header"), "3 items checked, 0 damaged\n"}},
        {"the end cut off",
         m_closed.substr(0, Start(3) + 100),
         {"cut\t" + std::to_string(Start(3)) + "\t100\tan item cut short at the end\n",
          Lost(3, "named by its own header"), "3 items checked, 0 damaged\n"}},
        {"a record and the footer",
         Flipped(Flipped(m_closed, Start(0) + 16), footerCheck),
         {"index damaged: 3 complete items", Skipped(0), Lost(0, "named by the damaged index"),
          "\n1 item can no longer be found\n", "3 items checked, 0 damaged\n"}},
        {"the index frame",
         Flipped(m_closed, m_dataEnd + 10),
         {"index damaged: 4 complete items", "4 items checked, 0 damaged\n"}},
        {"the header cut short",
         m_closed.substr(0, 17),
         {"the backup file holds no complete header and no items\n",
          "0 items checked, 0 damaged\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(Archive(), c.bytes);
        const auto result = Cli({"verify", Archive()});
        EXPECT_EQ(result.code, 3) << result.output;
        for (const std::string& line : c.says) {
            EXPECT_TRUE(Contains(result.output, line)) << line << "\n---\n" << result.output;
        }
        EXPECT_TRUE(ReadFileBytes(Archive()) == c.bytes) << "verify changed the file";
    }
}

TEST_F(CliVerifyDamage, AnIntactArchiveOrOneOnlyMissingItsIndexExitsWith0) {
    const auto intact = Cli({"verify", Archive()});
    EXPECT_EQ(intact.code, 0) << intact.output;
    EXPECT_EQ(intact.output, "4 items checked, 0 damaged\n");

    WriteFileBytes(Archive(), WithoutIndex());
    const auto unclosed = Cli({"verify", Archive()});
    EXPECT_EQ(unclosed.code, 0) << unclosed.output;
    EXPECT_EQ(unclosed.output,
              "note: the index is missing (the backup file was not closed properly); 4 complete "
              "items were found\n4 items checked, 0 damaged\n");
}

TEST_F(CliVerifyDamage, ListAndVerifyLeaveADamagedArchiveByteForByte) {
    const std::string cut = m_closed.substr(0, Start(3) + 100);
    const std::string flipped = Flipped(WithoutIndex(), Start(1) + 16);
    for (const std::string& bytes : {cut, flipped}) {
        WriteFileBytes(Archive(), bytes);
        const auto list = Cli({"list", Archive()});
        EXPECT_EQ(list.code, 0) << list.output;
        EXPECT_TRUE(Contains(list.output, "\t" + Name(2) + "\n")) << list.output;
        Cli({"verify", Archive()});
        EXPECT_TRUE(ReadFileBytes(Archive()) == bytes);
    }
}

TEST_F(CliCommand, UsageErrorsAndRefusals) {
    const fs::path a = Source("a.txt", "alpha");
    const struct {
        std::vector<std::string> arguments;
        int code;
        std::string says;
    } cases[] = {
        {{}, 64, "usage: tarnwick-cli backup"},
        {{"frobnicate"}, 64, "unknown command frobnicate"},
        {{"backup"}, 64, "no PATH to back up"},
        {{"backup", "--append", "--overwrite", "x"}, 64, "exclude each other"},
        {{"restore", "x.tkw"}, 64, "give either --all or item INDEXes"},
        {{"restore", "x.tkw", "--all", "3"}, 64, "give either --all or item INDEXes"},
        {{"restore", "x.tkw", "-1x"}, 64, "not an item index: -1x"},
        {{"restore", "x.tkw", "--on-exists", "ask", "0"},
         64,
         "--on-exists takes overwrite or skip"},
        {{"list"}, 64, "give exactly one FILE"},
        {{"list", "/no/such.tkw"}, 2, "cannot load /no/such.tkw"},
        {{"verify", "/no/such.tkw"}, 2, "cannot open /no/such.tkw"},
        {{"settings", "get", "Preferences", "Nope"},
         2,
         "no setting \"Nope\" in section \"Preferences\""},
        {{"settings", "set", "Preferences", "CreateLogFile", "yes"}, 2, "takes a whole number"},
        {{"list", "--help"}, 0, "usage: tarnwick-cli list [-0] FILE"},
    };
    for (const auto& c : cases) {
        const auto result = Cli(c.arguments);
        EXPECT_EQ(result.code, c.code) << result.output;
        EXPECT_TRUE(Contains(result.output, c.says)) << result.output;
    }

    ASSERT_EQ(Cli({"backup", "--to", (m_root / "out").native(), "--name", "set", a.native()}).code,
              0);
    const auto again =
        Cli({"backup", "--to", (m_root / "out").native(), "--name", "set", a.native()});
    EXPECT_EQ(again.code, 2);
    EXPECT_TRUE(Contains(again.output, "give --append to add to it or --overwrite to replace it"));
    const auto appended =
        Cli({"backup", "--to", (m_root / "out").native(), "--name", "set", "--append", a.native()});
    EXPECT_EQ(appended.code, 0);
    EXPECT_TRUE(
        Contains(appended.output, "0 items were added to the backup\n0 deleted\n1 skipped "))
        << appended.output;
}

TEST_F(CliCommand, RunsThatLeftFilesOutOrCouldNotStartSayWhyAndDoNotExitZero) {
    const fs::path a = Source("a.txt", "alpha");
    fs::create_directories(m_root / "out");
    const std::string out = (m_root / "out").native();
    const auto partial = Cli({"backup", "--to", out, "--name", "set", a.native(),
                              (m_root / "src" / "missing").native()});
    EXPECT_EQ(partial.code, 4) << partial.output;
    EXPECT_TRUE(Contains(partial.output,
                         "Backup succeeded!\n1 items were added to the backup\n0 deleted\n1 "
                         "skipped \n0 failed\n"))
        << partial.output;

    WriteFileBytes(m_root / "garbage.tkw", std::string(100, 'g'));
    WriteFileBytes(m_root / "file", "not a folder");
    CZipEx holder;  // another run, still writing its backup file
    ASSERT_EQ(holder.CreateZip(m_root / "busy.tkw"), 1);
    const struct {
        std::vector<std::string> arguments;
        int code;
        std::string says;
    } cases[] = {
        {{"list", (m_root / "src").native()}, 2, "Is a directory"},
        {{"list", (m_root / "garbage.tkw").native()}, 2, "is not a Tarnwick backup file"},
        {{"list", (m_root / "nothing.tkw").native()}, 2, "does not exist"},
        {{"list", (m_root / "busy.tkw").native()}, 2, "in use by another program"},
        {{"restore", (m_root / "busy.tkw").native(), "--all"}, 2, "in use by another program"},
        {{"restore", Archive(), "--under", (m_root / "file").native(), "--all"},
         64,
         "is not a folder"},
        {{"backup", "--to", m_root.path().native(), "--name", "busy", "--append", a.native()},
         2,
         "in use by another program"},
        {{"backup", "--to", (m_root / "new").native(), "--name", "x", "/no/such/file"},
         4,
         "\"/no/such/file\" because the file not exists!"},
    };
    for (const auto& c : cases) {
        const auto result = Cli(c.arguments);
        EXPECT_EQ(result.code, c.code) << c.arguments.front() << ": " << result.output;
        EXPECT_TRUE(Contains(result.output, c.says)) << result.output;
    }
}

TEST_F(CliCommand, TheBackupTargetFollowsTheSameRulesAsTheWindow) {
    const fs::path a = Source("a.txt", "alpha");
    // A missing folder is made for the owner alone, and said.
    const fs::path folder = m_root / "made" / "here";
    const auto made = Cli({"backup", "--to", folder.native(), "--name", "set", a.native()});
    ASSERT_EQ(made.code, 0) << made.output;
    EXPECT_TRUE(fs::exists(folder / "set.tkw"));
    for (const fs::path& path : {m_root / "made", folder}) {
        struct stat status {};
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0700u) << path;
        EXPECT_TRUE(
            Contains(made.output, " Created folder " + path.native() + " for the backup file!"))
            << made.output;
    }

    // A stored storage type other than 0 writes no backup, as in the window.
    ASSERT_EQ(Cli({"settings", "set", "BackupOptions_A", "BackupStorageType", "1"}).code, 0);
    const auto refused = Cli({"backup", "--to", folder.native(), "--name", "image", a.native()});
    EXPECT_EQ(refused.code, 2) << refused.output;
    EXPECT_TRUE(Contains(refused.output,
                         " Failed to create backup file " + (folder / "image.iso").native() + " !"))
        << refused.output;
    EXPECT_FALSE(fs::exists(folder / "image.tkw"));
    EXPECT_FALSE(fs::exists(folder / "image.iso"));
}

TEST_F(CliCommand, ListEscapesControlCharactersOrGivesNulSeparatedNames) {
    const fs::path a = Source("a", "x");
    fs::create_directories(m_root / "out");
    {
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(Archive()), 1);
        ASSERT_EQ(zip.AddFile(a, "/tab\there"), 1);
        ASSERT_EQ(zip.AddFile(a, "/new\nline\\\x1b"), 1);
    }
    EXPECT_EQ(Cli({"list", Archive()}).output, "0\t1\t/tab\\there\n1\t1\t/new\\nline\\\\\\x1B\n");
    EXPECT_EQ(Cli({"list", "-0", Archive()}).output,
              std::string("/tab\there\0/new\nline\\\x1b\0", 22));
}

TEST_F(CliCommand, SettingsAreReadAndWrittenByTheirKind) {
    EXPECT_EQ(
        Cli({"settings", "set", "BackupOptions_B_C ", "AllStringToFindInFileName", "tmp cache"})
            .code,
        0);
    EXPECT_EQ(Cli({"settings", "get", "BackupOptions_B_C ", "AllStringToFindInFileName"}).output,
              "tmp cache\n");
    EXPECT_EQ(Cli({"settings", "set", "BackupOptions_B_B", "SizeUnit", "-3"}).code, 0);
    EXPECT_EQ(Cli({"settings", "get", "BackupOptions_B_B", "SizeUnit"}).output, "-3\n");
    EXPECT_EQ(Cli({"settings", "set-file-types", ".avi", ".MP3"}).code, 0);
    EXPECT_TRUE(Contains(Cli({"settings", "list"}).output, "FileTypes\textensions\t.avi .MP3\n"));
    EXPECT_EQ(Cli({"settings", "set-file-types"}).code, 0);
    EXPECT_TRUE(Contains(Cli({"settings", "list"}).output, "FileTypes\textensions\t\n"));
}

TEST_F(CliCommand, SigtermCancelsAtTheNextFile) {
    // A large first file keeps the run busy long enough for the signal to arrive while it is added.
    const std::string big(64 << 20, '\0');
    Source("1-big", big + "first");
    Source("2-small", "second");
    Source("3-small", "third");
    fs::create_directories(m_root / "out");
    ChildProcess::Options options;
    options.arguments = {TARNWICK_CLI,
                         "backup",
                         "--to",
                         (m_root / "out").native(),
                         "--name",
                         "set",
                         (m_root / "src" / "1-big").native(),
                         (m_root / "src" / "2-small").native(),
                         (m_root / "src" / "3-small").native()};
    options.environment = m_environment;
    options.stdoutToo = true;
    ChildProcess child(options);
    ASSERT_TRUE(child.WaitForOutput(" Backup started ...")) << child.StandardError();
    child.Signal(SIGTERM);
    EXPECT_EQ(child.Wait(), 1) << child.StandardError();
    EXPECT_TRUE(Contains(child.StandardError(), " Backup was cancelled!"));
    EXPECT_TRUE(Contains(child.StandardError(), "Backup was cancelled!\n")) << "the status caption";
    CZipEx zip;
    ASSERT_EQ(zip.Open(Archive()), 1);
    EXPECT_LE(zip.GetNrOfFiles(), 1) << "no file after the signal was added";
}

}  // namespace
}  // namespace tkw
