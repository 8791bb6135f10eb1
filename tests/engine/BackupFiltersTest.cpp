#include "engine/BackupFilters.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QSettings>

#include <cstdlib>
#include <map>

#include "components/utils/ReportError.h"
#include "engine/ExclusiveOpen.h"
#include "shell/logger/Logger.h"
#include "shell/profile/FileTypeList.h"
#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "shell/profile/Stamp.h"
#include "tests/support/TestProfile.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using profile::kExclude;
using profile::kIncludeOnly;

constexpr std::int32_t kBefore = 0, kBetween = 1, kAfter = 2;

// Filters over real files whose creation times the test decides, at a fixed "now", in UTC.
class BackupFiltersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
        SetLogEnvironment({m_temp / "logs", nullptr});
        SetLogSink([this](const std::string& line) { m_log.push_back(line); });
        SetErrorReporter([this](const std::string& message, int) { m_errors.push_back(message); });
    }
    void TearDown() override {
        SetLogEnvironment({});
        SetLogSink({});
        SetErrorReporter({});
        ::unsetenv("TZ");
        ::tzset();
    }

    // A file whose creation time reads as `created`.
    fs::path FileCreated(const LocalDateTime& created, const std::string& name = "file") {
        const fs::path path = m_temp / name;
        test::WriteFileBytes(path, "x");
        m_created[path] = created;
        return path;
    }

    CBackupFilters Filters() {
        return CBackupFilters({[this](int, const fs::path& path) -> std::optional<LocalDateTime> {
                                   return m_created.at(path);
                               },
                               [] { return LocalDateTime{2011, 3, 20, 15, 0, 0}; }});
    }

    void SetDates(std::int32_t sense, std::int32_t condition, std::int32_t stamp0,
                  std::int32_t stamp1) {
        WriteProfileInt(profile::kDateCheckButton, 1);
        WriteProfileInt(profile::kDateTimeIncludeOrExclude, sense);
        WriteProfileInt(profile::kDateBeforeBetweenAfter, condition);
        WriteProfileInt(profile::kDateInteger0, stamp0);
        WriteProfileInt(profile::kDateInteger1, stamp1);
    }

    test::TestProfile m_profile;
    test::TempDir m_temp;
    std::map<fs::path, LocalDateTime> m_created;
    std::vector<std::string> m_log;
    std::vector<std::string> m_errors;
};

std::int32_t Stamp(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
    return StampFromLocal({year, month, day, hour, minute, second});
}

TEST_F(BackupFiltersTest, DateConditionsCompareDaysStrictly) {
    const struct {
        const char* what;
        std::int32_t sense, condition, stamp0, stamp1;
        LocalDateTime created;
        bool excluded;
    } cases[] = {
        {"before, the evening before",
         kIncludeOnly,
         kBefore,
         Stamp(2011, 3, 10),
         Stamp(2011, 3, 12),
         {2011, 3, 9, 23, 59, 0},
         false},
        {"before, just after midnight",
         kIncludeOnly,
         kBefore,
         Stamp(2011, 3, 10),
         Stamp(2011, 3, 12),
         {2011, 3, 10, 0, 0, 1},
         true},
        {"before, under Exclude",
         kExclude,
         kBefore,
         Stamp(2011, 3, 10),
         Stamp(2011, 3, 12),
         {2011, 3, 9, 23, 59, 0},
         true},
        {"between, first day",
         kIncludeOnly,
         kBetween,
         Stamp(2011, 3, 1),
         Stamp(2011, 3, 3),
         {2011, 3, 1, 18, 0, 0},
         true},
        {"between, middle day",
         kIncludeOnly,
         kBetween,
         Stamp(2011, 3, 1),
         Stamp(2011, 3, 3),
         {2011, 3, 2, 0, 0, 0},
         false},
        {"between, last day",
         kIncludeOnly,
         kBetween,
         Stamp(2011, 3, 1),
         Stamp(2011, 3, 3),
         {2011, 3, 3, 9, 0, 0},
         true},
        {"after, same day",
         kIncludeOnly,
         kAfter,
         Stamp(2011, 3, 10),
         Stamp(2011, 3, 12),
         {2011, 3, 10, 23, 0, 0},
         true},
        {"after, next day",
         kIncludeOnly,
         kAfter,
         Stamp(2011, 3, 10),
         Stamp(2011, 3, 12),
         {2011, 3, 11, 0, 0, 0},
         false},
        {"second date not set",
         kIncludeOnly,
         kBefore,
         Stamp(2011, 3, 10),
         0,
         {2011, 5, 1, 0, 0, 0},
         false},
        {"first date not set",
         kExclude,
         kAfter,
         0,
         Stamp(2011, 3, 10),
         {2011, 5, 1, 0, 0, 0},
         false},
        {"unknown condition matches",
         kExclude,
         9,
         Stamp(2011, 3, 10),
         Stamp(2011, 3, 12),
         {2011, 5, 1, 0, 0, 0},
         true},
    };
    for (const auto& c : cases) {
        SetDates(c.sense, c.condition, c.stamp0, c.stamp1);
        EXPECT_EQ(Filters().ExcludedByDateAndTime(FileCreated(c.created)), c.excluded) << c.what;
    }
}

TEST_F(BackupFiltersTest, TimeConditionsCompareTimesOfDayOnToday) {
    WriteProfileInt(profile::kTimeCheckButton, 1);
    WriteProfileInt(profile::kDateTimeIncludeOrExclude, kIncludeOnly);
    WriteProfileInt(profile::kTimeBeforeBetweenAfter, kBetween);
    // The stamps' dates do not count, only their times of day.
    WriteProfileInt(profile::kTimeInteger0, Stamp(2001, 1, 1, 9, 0, 0));
    WriteProfileInt(profile::kTimeInteger1, Stamp(1999, 6, 6, 17, 0, 0));
    const struct {
        LocalDateTime created;
        bool excluded;
    } cases[] = {
        {{2005, 7, 7, 12, 0, 0}, false},
        {{2005, 7, 7, 9, 0, 0}, true},
        {{2005, 7, 7, 17, 0, 0}, true},
        {{2005, 7, 7, 8, 59, 59}, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Filters().ExcludedByDateAndTime(FileCreated(c.created)), c.excluded)
            << FormatTimeAsString(c.created);
    }
    WriteProfileInt(profile::kTimeInteger1, 0);
    EXPECT_FALSE(Filters().ExcludedByDateAndTime(FileCreated({2005, 7, 7, 8, 0, 0})))
        << "a time that is not set switches the filter off";
}

TEST_F(BackupFiltersTest, WithTheTimeConditionOnAfterADateCountsFromItsMidnight) {
    SetDates(kIncludeOnly, kAfter, Stamp(2011, 3, 10, 22, 0, 0), Stamp(2011, 3, 12));
    WriteProfileInt(profile::kTimeCheckButton, 1);
    WriteProfileInt(profile::kTimeBeforeBetweenAfter, kAfter);
    WriteProfileInt(profile::kTimeInteger0, Stamp(2011, 1, 1, 6, 0, 0));
    WriteProfileInt(profile::kTimeInteger1, Stamp(2011, 1, 1, 7, 0, 0));
    EXPECT_FALSE(Filters().ExcludedByDateAndTime(FileCreated({2011, 3, 10, 8, 0, 0})));
    EXPECT_TRUE(Filters().ExcludedByDateAndTime(FileCreated({2011, 3, 10, 5, 0, 0})))
        << "the date matches, the time of day does not";
    EXPECT_TRUE(Filters().ExcludedByDateAndTime(FileCreated({2011, 3, 9, 8, 0, 0})));
}

TEST_F(BackupFiltersTest, AFileInUseIsExcludedByTheFirstFilterThatOpensIt) {
    const fs::path file = FileCreated({2011, 3, 9, 0, 0, 0});
    const int holder = ::open(file.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    SetDates(kExclude, kAfter, Stamp(2020, 1, 1), Stamp(2020, 1, 2));
    EXPECT_TRUE(Filters().IsExcludedByFilters(file));
    EXPECT_TRUE(m_log.empty()) << "the date filter excludes it without a line";

    WriteProfileInt(profile::kDateCheckButton, 0);
    EXPECT_TRUE(Filters().IsExcludedByFilters(file));
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_NE(m_log[0].find(" Cannot get file size of file " + file.native() +
                            ".The file might be used by other application ! The file will be "
                            "skipped ! Error code "),
              std::string::npos);
    ::close(holder);
    EXPECT_FALSE(Filters().IsExcludedByFilters(file)) << "every filter is off";
}

// The regular file the size filter opened is handed on, to be read from there, and unlocked as if
// closed: another link to it is not in use meanwhile. A link is judged by itself and hands on
// nothing.
TEST_F(BackupFiltersTest, TheFileTheFiltersOpenedIsHandedOnUnlocked) {
    const fs::path file = FileCreated({2011, 3, 9, 0, 0, 0});
    ExclusiveFile opened;
    EXPECT_FALSE(Filters().IsExcludedByFilters(file, {}, &opened));
    ASSERT_TRUE(opened.fd.Valid());
    struct stat named {};
    ASSERT_EQ(::stat(file.c_str(), &named), 0);
    EXPECT_EQ(opened.status.st_ino, named.st_ino);
    const UniqueFd other(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(::flock(other.Get(), LOCK_EX | LOCK_NB), 0) << "unlocked";

    const fs::path link = m_temp / "link";
    fs::create_symlink(file, link);
    ExclusiveFile none;
    EXPECT_FALSE(Filters().IsExcludedByFilters(link, {}, &none));
    EXPECT_FALSE(none.fd.Valid());
}

TEST_F(BackupFiltersTest, SizeLimitsAreInclusiveInTheirUnit) {
    const struct {
        const char* what;
        std::int64_t size;
        std::optional<std::int32_t> unit;  // nothing: absent, which means bytes here
        std::int32_t condition;
        const char *size0, *size1;
        std::int32_t sense;
        bool excluded;
    } cases[] = {
        {"no sizes", 5, 0, 0, "", "", kIncludeOnly, false},
        {"at most zero never excludes", 5, 0, 1, "0", "9", kIncludeOnly, false},
        {"at least zero under Exclude excludes all", 5, 0, 0, "0", "7", kExclude, true},
        {"between 1 and 2 KB: low edge", 1024, 1, 2, "1", "2", kIncludeOnly, false},
        {"between 1 and 2 KB: high edge", 2048, 1, 2, "1", "2", kIncludeOnly, false},
        {"between 1 and 2 KB: above", 2049, 1, 2, "1", "2", kIncludeOnly, true},
        {"between 1 and 2 KB: below", 1023, 1, 2, "1", "2", kIncludeOnly, true},
        {"at least 1 MB: just below", 1048575, 2, 0, "1", "", kIncludeOnly, true},
        {"at least 1 MB: exactly", 1048576, 2, 0, "1", "", kIncludeOnly, false},
        {"at most 1 GB", (1ll << 30) + 1, 3, 1, "1", "", kExclude, false},
        {"absent unit reads as bytes", 10, std::nullopt, 0, "10", "", kIncludeOnly, false},
        {"absent unit reads as bytes, below", 9, std::nullopt, 0, "10", "", kIncludeOnly, true},
        {"text with leading digits", 12, 0, 0, "  12abc", "", kIncludeOnly, false},
        {"text without digits reads as 0", 12, 0, 0, "abc", "", kIncludeOnly, false},
        {"unknown unit: at least has no limit", 1, 9, 0, "5", "", kExclude, true},
        {"unknown unit: at most is off", 1, 9, 1, "5", "", kIncludeOnly, false},
        {"unknown unit: between in bytes", 6, 9, 2, "5", "7", kIncludeOnly, false},
        {"unknown condition matches", 6, 0, 5, "5", "7", kExclude, true},
    };
    for (const auto& c : cases) {
        const fs::path file = m_temp / "sized";
        test::WriteFileBytes(file, "");
        fs::resize_file(file, static_cast<std::uintmax_t>(c.size));
        WriteProfileInt(profile::kIncludeOrExcludeFileSize, c.sense);
        WriteProfileInt(profile::kAtLeastAtMostBetween, c.condition);
        WriteProfileString(profile::kSize0, c.size0);
        WriteProfileString(profile::kSize1, c.size1);
        if (c.unit) {
            WriteProfileInt(profile::kSizeUnit, *c.unit);
        } else {
            QSettings(m_profile.FileName(), QSettings::IniFormat)
                .remove(QStringLiteral("BackupOptions_B_B/SizeUnit"));
        }
        EXPECT_EQ(Filters().ExcludedBySize(file), c.excluded) << c.what;
    }
}

TEST_F(BackupFiltersTest, FileTypesMatchTheExtensionWithoutRegardToCase) {
    WriteFileTypeList({".TXT", ".avi"});
    const struct {
        const char* name;
        std::int32_t sense;
        bool excluded;
    } cases[] = {
        {"notes.txt", kIncludeOnly, false},   {"Movie.AVI", kIncludeOnly, false},
        {"README", kIncludeOnly, true},       {"archive.tar.gz", kIncludeOnly, true},
        {"my file.txt", kIncludeOnly, false}, {"name.tx t", kIncludeOnly, true},
        {"notes.txt", kExclude, true},        {"README", kExclude, false},
    };
    for (const auto& c : cases) {
        WriteProfileInt(profile::kIncludeOrExcludeFileType, c.sense);
        EXPECT_EQ(Filters().ExcludedByFileType(m_temp / c.name), c.excluded) << c.name;
    }
    WriteFileTypeList({});
    EXPECT_FALSE(Filters().ExcludedByFileType(m_temp / "README")) << "an empty list is off";
}

TEST_F(BackupFiltersTest, PathWordsAreLookedForInTheWholePath) {
    const struct {
        const char* words;
        std::int32_t caseSensitive;
        const char* path;
        std::int32_t sense;
        bool excluded;
    } cases[] = {
        {"tmp", 0, "/home/a/tmp/report.doc", kExclude, true},
        {"tmp", 0, "/home/a/TMP/report.doc", kExclude, true},
        {"tmp", 1, "/home/a/TMP/report.doc", kExclude, false},
        {"TMP", 0, "/home/a/tmp/report.doc", kExclude, true},
        {"cache   tmp", 0, "/var/cache/x", kExclude, true},
        {"cache tmp", 0, "/home/a/doc", kExclude, false},
        {"doc", 0, "/home/a/Documents/x", kIncludeOnly, false},
        {"doc", 0, "/home/a/Pictures/x", kIncludeOnly, true},
        {"", 0, "/anything", kIncludeOnly, false},
    };
    for (const auto& c : cases) {
        WriteProfileString(profile::kAllStringToFindInFileName, c.words);
        WriteProfileInt(profile::kCaseSensitiveFilenames, c.caseSensitive);
        WriteProfileInt(profile::kIncludeOrExcludeFileNames, c.sense);
        EXPECT_EQ(Filters().ExcludedByPathWords(c.path), c.excluded) << c.words << " in " << c.path;
    }
}

TEST_F(BackupFiltersTest, ContentWordsAreLookedForInTextFiles) {
    const std::string big = std::string((1 << 20) - 3, 'a') + "needle" + std::string(100, 'b');
    const struct {
        const char* name;
        std::string content;
        const char* words;
        std::int32_t caseSensitive;
        bool excluded;  // under Exclude
    } cases[] = {
        {"greeting.txt", "hello world", "Hello", 0, true},
        {"greeting.txt", "hello world", "Hello", 1, false},
        {"greeting.TXT", "hello world", "world", 0, true},
        {"greeting.doc", "hello world", "hello", 0, false},
        {"latin.txt", "caf\xE9 au lait", "caf\xC3\xA9", 1, true},  // Windows-1252 text
        {"spanning.txt", big, "other needle", 1, true},            // across the reader's pieces
        {"empty.txt", "", "x", 0, false},
    };
    WriteProfileInt(profile::kIncludeOrExcludeContent, kExclude);
    for (const auto& c : cases) {
        const fs::path file = m_temp / c.name;
        test::WriteFileBytes(file, c.content);
        WriteProfileString(profile::kAllStringToFindInContent, c.words);
        WriteProfileInt(profile::kCaseSensitiveContent, c.caseSensitive);
        EXPECT_EQ(Filters().ExcludedByContentWords(file), c.excluded) << c.name << ": " << c.words;
        fs::remove(file);
    }
    EXPECT_TRUE(m_errors.empty());
}

TEST_F(BackupFiltersTest, AFileThatCannotBeWrittenIsJudgedByItsContentLikeAnyOther) {
    const fs::path file = m_temp / "frozen.txt";
    test::WriteFileBytes(file, "secret plans");
    const int fd = ::open(file.c_str(), O_RDONLY);
    int flags = FS_IMMUTABLE_FL;
    if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) {
        ::close(fd);
        GTEST_SKIP() << "this file system or user cannot make a file immutable";
    }
    WriteProfileString(profile::kAllStringToFindInContent, "secret");
    WriteProfileInt(profile::kIncludeOrExcludeContent, kExclude);
    const bool excluded = Filters().ExcludedByContentWords(file);
    flags = 0;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    EXPECT_TRUE(excluded);
    EXPECT_TRUE(m_errors.empty()) << m_errors.front();
}

TEST_F(BackupFiltersTest, AnUnreadableTextFileIsReportedAndNotExcluded) {
    // A folder where the file should be: opening works, reading does not.
    fs::create_directories(m_temp / "folder.txt");
    WriteProfileString(profile::kAllStringToFindInContent, "x");
    WriteProfileInt(profile::kIncludeOrExcludeContent, kIncludeOnly);
    EXPECT_FALSE(Filters().ExcludedByContentWords(m_temp / "folder.txt"));
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_EQ(m_errors[0], "Cannot read all file " + (m_temp / "folder.txt").native());
}

}  // namespace
}  // namespace tkw
