#include "shell/logger/Logger.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "components/utils/ReportError.h"
#include "shell/profile/ProfileKeys.h"
#include "tests/support/TestProfile.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

struct Report {
    std::string message;
    int code;
};

// A logger writing into a temporary folder at a day the test sets, with the pane and the error
// reports captured.
class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLogEnvironment({m_logs, [this] {
                               std::lock_guard lock(m_mutex);
                               return m_now;
                           }});
        SetLogSink([this](const std::string& entry) {
            std::lock_guard lock(m_mutex);
            m_pane.push_back(entry);
        });
        SetErrorReporter([this](const std::string& message, int code) {
            std::lock_guard lock(m_mutex);
            m_reports.push_back({message, code});
        });
    }
    void TearDown() override {
        SetLogEnvironment({});
        SetLogSink({});
        SetErrorReporter({});
    }

    void SetDay(LocalDateTime now) {
        std::lock_guard lock(m_mutex);
        m_now = now;
    }
    fs::path DayFile(const char* name) const { return m_logs / name; }

    test::TestProfile m_profile;
    test::TempDir m_temp;
    const fs::path m_logs = m_temp / "logs";
    std::mutex m_mutex;
    LocalDateTime m_now{2011, 3, 7, 10, 0, 0};
    std::vector<std::string> m_pane;
    std::vector<Report> m_reports;
    const CLogger m_logger;
};

TEST_F(LoggerTest, AppendsWindows1252LinesWithCrLfAndNoByteOrderMark) {
    m_logger.Write("2011-03-07 10:00:00 Application started\r\n");
    m_logger.Write(
        "2011-03-07 10:00:01 Added \"/home/a/caf\xC3\xA9 \xE2\x82\xAC \xE2\x98\x83.txt\"\r\n");

    EXPECT_EQ(test::ReadFileBytes(DayFile("03-07-11 Tarnwick Log.txt")),
              "2011-03-07 10:00:00 Application started\r\n"
              "2011-03-07 10:00:01 Added \"/home/a/caf\xE9 \x80 ?.txt\"\r\n");
    ASSERT_EQ(m_pane.size(), 2u);
    EXPECT_EQ(m_pane[1],
              "2011-03-07 10:00:01 Added \"/home/a/caf\xC3\xA9 \xE2\x82\xAC \xE2\x98\x83.txt\"")
        << "the pane shows the text unchanged, without its line break";
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(LoggerTest, LineBreaksInsideAMessageSplitTheFileLineButNotThePaneEntry) {
    m_logger.Write("first\r\nsecond\r\n");
    EXPECT_EQ(m_pane, std::vector<std::string>{"firstsecond"});
    EXPECT_EQ(test::ReadFileBytes(DayFile("03-07-11 Tarnwick Log.txt")), "first\r\nsecond\r\n");
}

TEST_F(LoggerTest, WithTheLogFileSwitchedOffOnlyThePaneGetsTheMessage) {
    WriteProfileInt(profile::kCreateLogFile, 0);
    m_logger.Write("x\r\n");
    EXPECT_EQ(m_pane, std::vector<std::string>{"x"});
    EXPECT_FALSE(fs::exists(m_logs)) << "no folder or file is touched";

    // The setting is read again for every message.
    WriteProfileInt(profile::kCreateLogFile, 1);
    m_logger.Write("y\r\n");
    EXPECT_EQ(test::ReadFileBytes(DayFile("03-07-11 Tarnwick Log.txt")), "y\r\n");
}

TEST_F(LoggerTest, AMessageAfterMidnightGoesToTheNextDaysFile) {
    SetDay({2011, 12, 31, 23, 59, 59});
    m_logger.Write("old year\r\n");
    SetDay({2012, 1, 1, 0, 0, 0});
    m_logger.Write("new year\r\n");
    EXPECT_EQ(test::ReadFileBytes(DayFile("12-31-11 Tarnwick Log.txt")), "old year\r\n");
    EXPECT_EQ(test::ReadFileBytes(DayFile("01-01-12 Tarnwick Log.txt")), "new year\r\n");
}

TEST_F(LoggerTest, AStateFolderThatDoesNotExistYetIsMadeWithItsParents) {
    const fs::path logs = m_temp / "home/.local/state/Tarnwick/logs";
    SetLogEnvironment({logs, {}});
    m_logger.Write("first\r\n");
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
    EXPECT_EQ(test::ReadFileBytes(logs / LogFileName(NowLocal())), "first\r\n");
    EXPECT_EQ(fs::status(m_temp / "home/.local").permissions(), fs::perms::owner_all);
}

TEST_F(LoggerTest, WithoutASinkTheMessageGoesToTheFileOnly) {
    SetLogSink({});
    m_logger.Write("quiet\r\n");
    EXPECT_TRUE(m_pane.empty());
    EXPECT_EQ(test::ReadFileBytes(DayFile("03-07-11 Tarnwick Log.txt")), "quiet\r\n");
}

TEST_F(LoggerTest, AFileAnotherProgramHoldsLockedIsReportedAndThePaneStillGetsTheLine) {
    fs::create_directory(m_logs);
    const fs::path file = DayFile("03-07-11 Tarnwick Log.txt");
    const int holder = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    m_logger.Write("blocked\r\n");
    ::close(holder);

    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_EQ(m_reports[0].message, "Cannot open log file!");
    EXPECT_EQ(m_reports[0].code, EWOULDBLOCK);
    EXPECT_EQ(m_pane, std::vector<std::string>{"blocked"});
    EXPECT_EQ(test::ReadFileBytes(file), "");
}

TEST_F(LoggerTest, AFolderThatCannotBeCreatedIsReportedAsCannotOpen) {
    test::WriteFileBytes(m_logs, "a file where the folder should be");
    m_logger.Write("lost\r\n");
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_EQ(m_reports[0].message, "Cannot open log file!");
    EXPECT_EQ(m_reports[0].code, ENOTDIR);
}

TEST_F(LoggerTest, AWriteThatFailsIsReportedAndTheCallReturns) {
    // A file-size limit makes the write fail with EFBIG; done in a child so the limit stays there.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8, 8};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        m_logger.Write("a message longer than eight bytes\r\n");
        const bool reported = m_reports.size() == 1 &&
                              m_reports[0].message == "Cannot write log file" &&
                              m_reports[0].code == EFBIG;
        ::_exit(reported ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Messages logged together are each what a call of their own would log: an entry in the pane, the
// setting and the day read for each, each day's messages in that day's file.
TEST_F(LoggerTest, MessagesLoggedTogetherAreEachLoggedAsOnTheirOwn) {
    int days = 0;  // the day is asked once for each message that goes to the file
    SetLogEnvironment({m_logs, [&] {
                           ++days;
                           if (days == 2) {
                               WriteProfileInt(profile::kCreateLogFile, 0);  // read for the next
                           }
                           return days <= 2 ? LocalDateTime{2011, 12, 31, 23, 59, 59}
                                            : LocalDateTime{2012, 1, 1, 0, 0, 0};
                       }});
    const std::vector<std::string> messages = {"old\r\n", "year\r\n", "not in a file\r\n"};
    m_logger.Write(messages);
    WriteProfileInt(profile::kCreateLogFile, 1);
    m_logger.Write(std::vector<std::string>{"new\r\nyear\r\n", "caf\xC3\xA9\r\n"});

    EXPECT_EQ(m_pane,
              (std::vector<std::string>{"old", "year", "not in a file", "newyear", "caf\xC3\xA9"}));
    EXPECT_EQ(test::ReadFileBytes(DayFile("12-31-11 Tarnwick Log.txt")), "old\r\nyear\r\n");
    EXPECT_EQ(test::ReadFileBytes(DayFile("01-01-12 Tarnwick Log.txt")),
              "new\r\nyear\r\ncaf\xE9\r\n");
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
}

// The folder of the last line is kept for the next; a folder that was removed meanwhile is made
// again, and another folder given takes the next line.
TEST_F(LoggerTest, TheNextLineGoesToTheLogFolderAsItIsThen) {
    m_logger.Write("one\r\n");
    fs::remove_all(m_logs);
    m_logger.Write("two\r\n");
    EXPECT_EQ(test::ReadFileBytes(DayFile("03-07-11 Tarnwick Log.txt")), "two\r\n");

    const fs::path other = m_temp / "other logs";
    fs::create_directories(other);
    SetLogEnvironment({other, [this] { return m_now; }});
    m_logger.Write("three\r\n");
    EXPECT_EQ(test::ReadFileBytes(other / "03-07-11 Tarnwick Log.txt"), "three\r\n");
    EXPECT_EQ(test::ReadFileBytes(DayFile("03-07-11 Tarnwick Log.txt")), "two\r\n");
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
}

TEST_F(LoggerTest, EachMessageLoggedTogetherIntoALockedFileIsReported) {
    fs::create_directory(m_logs);
    const fs::path file = DayFile("03-07-11 Tarnwick Log.txt");
    const int holder = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    m_logger.Write(std::vector<std::string>{"one\r\n", "two\r\n"});
    ::close(holder);

    ASSERT_EQ(m_reports.size(), 2u);
    EXPECT_EQ(m_reports[1].message, "Cannot open log file!");
    EXPECT_EQ(m_pane, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(test::ReadFileBytes(file), "");
}

// Lines added together are timed as they are added and written, in order, when the batch is
// written or ends; under a capture they are kept like any other line.
TEST_F(LoggerTest, TimedLinesAreWrittenTogetherInOrderOrCaptured) {
    {
        CTimedLines lines;
        lines.Add(" first");
        lines.Add(" second");
        EXPECT_TRUE(m_pane.empty()) << "nothing is written before the batch is";
        lines.Write();
        lines.Add(" third");
    }
    ASSERT_EQ(m_pane.size(), 3u);
    EXPECT_TRUE(m_pane[0].ends_with(" first") && m_pane[2].ends_with(" third"));
    EXPECT_EQ(m_pane[0].size(), std::string("2011-03-07 10:00:00 first").size());

    std::vector<CLineCapture::Line> kept;
    {
        CLineCapture capture;
        CTimedLines lines;
        lines.Add(" held");
        lines.Write();
        kept = capture.Take();
    }
    EXPECT_EQ(m_pane.size(), 3u);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(kept[0].timed);
    EXPECT_EQ(kept[0].text, " held");
}

// "t<thread> line <n>" and CR LF, built by appending (GCC 12 at -O3 warns, wrongly, of an overlap
// in the same text written as a sum).
std::string ThreadLine(int thread, int line) {
    std::string text = "t";
    text += std::to_string(thread);
    text += " line ";
    text += std::to_string(line);
    text += "\r\n";
    return text;
}

TEST_F(LoggerTest, ThreadsLoggingAtOnceLoseNoLine) {
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kLines; ++i) {
                m_logger.Write(ThreadLine(t, i));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const std::string file = test::ReadFileBytes(DayFile("03-07-11 Tarnwick Log.txt"));
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), kThreads * kLines);
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_NE(file.find(ThreadLine(t, kLines - 1)), std::string::npos);
    }
}

// Lines written under a capture wait in it, however deeply captures nest, and lines of other
// threads are not caught; released, they are written in order, the timed ones with the time.
TEST_F(LoggerTest, CapturedLinesWaitUntilReleasedAndOnlyTheirThreadsAreCaught) {
    std::vector<CLineCapture::Line> outer;
    std::vector<CLineCapture::Line> inner;
    {
        CLineCapture capture;
        WriteTimedLine(" first");
        {
            CLineCapture nested;
            WriteUntimedLine("---");
            std::thread([] { WriteTimedLine(" from another thread"); }).join();
            inner = nested.Take();
        }
        WriteTimedLine(" second");
        outer = capture.Take();
    }
    ASSERT_EQ(m_pane.size(), 1u);
    CLineCapture::Release(outer);
    CLineCapture::Release(inner);
    const std::string time = GetTimeAsString();
    std::vector<std::string> texts;
    for (const std::string& entry : m_pane) {
        const bool timed = entry.size() > time.size() && entry[time.size()] == ' ' &&
                           entry.compare(0, 2, time, 0, 2) == 0;
        texts.push_back(timed ? entry.substr(time.size()) : entry);
    }
    EXPECT_EQ(texts,
              (std::vector<std::string>{" from another thread", " first", " second", "---"}));
}

// Runs a call as a user who owns none of the test's folders: root writes everywhere.
template <typename Call>
auto AsAnotherUser(Call call) {
    const bool root = ::geteuid() == 0;
    if (root && ::seteuid(65534) != 0) {
        ADD_FAILURE() << "cannot become nobody";
    }
    auto result = call();
    if (root && ::seteuid(0) != 0) {
        std::abort();  // the rest of the run would not be root any more
    }
    return result;
}

// An installed program's folder is not the user's to write: the log files then go to the user's
// state folder rather than failing on every line.
TEST(LogFolder, GoesBesideTheProgramWhenItCanBeWrittenOtherwiseToTheStateFolder) {
    test::TempDir temp;
    fs::permissions(temp.path(), fs::perms(0755));
    const char* saved = std::getenv("XDG_STATE_HOME");
    const std::string savedValue = saved ? saved : "";
    ::setenv("XDG_STATE_HOME", (temp / "state").c_str(), 1);
    const fs::path stateLogs = temp / "state/Tarnwick/logs";

    enum class Logs { None, Writable, ReadOnly, AFile };
    const struct {
        const char* what;
        int folderMode;
        Logs logs;
        bool beside;
    } cases[] = {
        {"writable program folder", 0777, Logs::None, true},
        {"read-only program folder", 0555, Logs::None, false},
        {"read-only program folder with a writable logs folder", 0555, Logs::Writable, true},
        {"writable program folder with a read-only logs folder", 0777, Logs::ReadOnly, false},
        {"a file named logs", 0777, Logs::AFile, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        const fs::path program = temp / ("program" + std::to_string(n++));
        fs::create_directory(program);
        if (c.logs == Logs::AFile) {
            test::WriteFileBytes(program / "logs", "");
        } else if (c.logs != Logs::None) {
            fs::create_directory(program / "logs");
            fs::permissions(program / "logs", fs::perms(c.logs == Logs::Writable ? 0777 : 0555));
        }
        fs::permissions(program, fs::perms(c.folderMode));
        const fs::path chosen = AsAnotherUser([&] { return LogFolderFor(program); });
        EXPECT_EQ(chosen, c.beside ? program / "logs" : stateLogs) << c.what;
        fs::permissions(program, fs::perms(0755));
    }
    saved ? ::setenv("XDG_STATE_HOME", savedValue.c_str(), 1) : ::unsetenv("XDG_STATE_HOME");
}

TEST(LogFolder, IsTheFolderLogsBesideTheProgram) {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    EXPECT_EQ(GetLogFolder(), fs::path(self).parent_path() / "logs");
    EXPECT_EQ(LogFileName({2011, 3, 7, 0, 0, 0}), "03-07-11 Tarnwick Log.txt");
    EXPECT_EQ(LogFileName({2000, 12, 1, 0, 0, 0}), "12-01-00 Tarnwick Log.txt");
}

}  // namespace
}  // namespace tkw
