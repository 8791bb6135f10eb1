// Where a restored file's bytes wait until they are complete: nothing of a killed restore stays
// behind, what killed restores left earlier is cleared away, and a restore still running is never
// disturbed.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include "components/archive/Extraction.h"
#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using archive::DataSource;
using archive::ItemInfo;
using archive::Staging;
using test::ReadFileBytes;
using test::WriteFileBytes;

constexpr std::string_view kPrefix = ".tkw-restore-";

ItemInfo FileItem(std::uint64_t size) {
    ItemInfo item;
    item.name = "/file";
    item.mode = 0640;
    item.mtimeSeconds = 1600000000;
    item.mtimeNanoseconds = 123456789;
    item.uid = ::getuid();
    item.gid = ::getgid();
    item.size = size;
    return item;
}

DataSource BytesSource(const std::string& bytes) {
    return [bytes](const archive::RecordReader::Sink& sink, std::string&) { return sink(bytes); };
}

// Gives some bytes and then reports damage, as a corrupt item does.
DataSource DamagedSource(const std::string& bytes) {
    return [bytes](const archive::RecordReader::Sink& sink, std::string& error) {
        sink(bytes);
        error = "damaged item";
        return false;
    };
}

std::vector<std::string> TemporariesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().native().starts_with(kPrefix)) {
            names.push_back(entry.path().filename().native());
        }
    }
    return names;
}

bool FolderHasUnnamedFiles(const fs::path& folder) {
    const int dirfd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int fd = ::openat(dirfd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    ::close(dirfd);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

class ExtractionTemporary : public ::testing::Test {
protected:
    // Writes `source` as the file `name` in `folder` the way a restore does.
    bool Write(const fs::path& folder, const std::string& name, const DataSource& source,
               std::uint64_t size, Staging staging, std::string& error) {
        const UniqueFd folderFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        EXPECT_TRUE(folderFd.Valid());
        return archive::WriteRegularFile({folderFd.Get(), name, folder / name}, FileItem(size),
                                         source, staging, error);
    }

    test::TempDir m_temp;
};

TEST_F(ExtractionTemporary, AFileIsPutInPlaceOnlyWhenCompleteAndNeverThroughALink) {
    const fs::path outside = m_temp / "outside";
    WriteFileBytes(outside, "outside");
    const struct {
        const char* description;
        std::function<void(const fs::path& target)> before;  // what is at the target first
        bool damaged;
        std::string expected;  // at the target afterwards
    } cases[] = {
        {"new file", [](const fs::path&) {}, false, "new bytes"},
        {"replacing a file", [](const fs::path& t) { WriteFileBytes(t, "old bytes"); }, false,
         "new bytes"},
        {"replacing a link", [&](const fs::path& t) { fs::create_symlink(outside, t); }, false,
         "new bytes"},
        {"damaged, no file before", [](const fs::path&) {}, true, ""},
        {"damaged, a file before", [](const fs::path& t) { WriteFileBytes(t, "old bytes"); }, true,
         "old bytes"},
    };
    for (const Staging staging : {Staging::Unnamed, Staging::Named}) {
        int n = 0;
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.description) +
                         (staging == Staging::Named ? ", named" : ", unnamed"));
            const fs::path folder =
                m_temp / ("case" + std::to_string(n++) + (staging == Staging::Named ? "n" : "u"));
            fs::create_directories(folder);
            c.before(folder / "file");
            const std::string bytes = "new bytes";
            std::string error;
            const bool ok =
                Write(folder, "file", c.damaged ? DamagedSource(bytes) : BytesSource(bytes),
                      bytes.size(), staging, error);

            EXPECT_EQ(ok, !c.damaged) << error;
            EXPECT_EQ(ReadFileBytes(folder / "file"), c.expected);
            EXPECT_EQ(TemporariesIn(folder), std::vector<std::string>{});
            EXPECT_EQ(ReadFileBytes(outside), "outside");
            if (ok) {
                const struct stat info = test::LinkStatus(folder / "file");
                EXPECT_TRUE(S_ISREG(info.st_mode));
                EXPECT_EQ(info.st_mode & 07777, 0640u);
                EXPECT_EQ(info.st_mtim.tv_sec, 1600000000);
                EXPECT_EQ(info.st_mtim.tv_nsec, 123456789);
            }
        }
    }
}

TEST_F(ExtractionTemporary, TemporariesOfKilledRestoresGoButOnesInUseAndOtherNamesStay) {
    const struct {
        const char* description;
        std::function<bool(const fs::path& folder, std::string& error)> restore;
    } cases[] = {
        {"restore from a backup",
         [&](const fs::path& folder, std::string& error) {
             WriteFileBytes(m_temp / "source", "new bytes");
             CZipEx zip;
             EXPECT_EQ(zip.CreateZip(m_temp / "backup.tkw"), 1);
             EXPECT_EQ(zip.AddFile(m_temp / "source", "/file"), 1);
             const bool ok = zip.GetItemFileUnder(0, folder) == 1;
             error = zip.GetLastError();
             return ok;
         }},
        {"named temporary",
         [&](const fs::path& folder, std::string& error) {
             return Write(folder, "file", BytesSource("new bytes"), 9, Staging::Named, error);
         }},
        {"unnamed temporary",
         [&](const fs::path& folder, std::string& error) {
             return Write(folder, "file", BytesSource("new bytes"), 9, Staging::Unnamed, error);
         }},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        const fs::path folder = m_temp / ("restore" + std::to_string(n++));
        fs::create_directories(folder);
        const std::string stale = ".tkw-restore-abc123";
        const std::string inUse = ".tkw-restore-Xy9z0Q";
        WriteFileBytes(folder / stale, "left by a killed restore");
        WriteFileBytes(folder / inUse, "being written by a running restore");
        const int held = ::open((folder / inUse).c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
        // Names that are not a temporary of ours, and entries that are not files.
        const std::vector<std::string> others = {".tkw-restore-abc1234", ".tkw-restore-ab",
                                                 ".tkw-restore-", "tkw-restore-abc123",
                                                 ".tkw-restore-a.c123"};
        for (const std::string& other : others) {
            WriteFileBytes(folder / other, "a file of the user");
        }
        fs::create_directory(folder / ".tkw-restore-dir123");
        fs::create_symlink(folder / stale, folder / ".tkw-restore-lnk123");

        std::string error;
        EXPECT_TRUE(c.restore(folder, error)) << error;
        EXPECT_EQ(ReadFileBytes(folder / "file"), "new bytes");
        EXPECT_FALSE(fs::exists(fs::symlink_status(folder / stale)));
        EXPECT_EQ(ReadFileBytes(folder / inUse), "being written by a running restore");
        for (const std::string& other : others) {
            EXPECT_EQ(ReadFileBytes(folder / other), "a file of the user") << other;
        }
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder / ".tkw-restore-dir123")));
        EXPECT_TRUE(fs::is_symlink(folder / ".tkw-restore-lnk123"));
        ::close(held);
    }
}

// Counts the files the process holds open that have no name and hold `size` bytes.
int UnnamedFilesHeldBy(pid_t pid, std::uint64_t size) {
    int count = 0;
    const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : fs::directory_iterator(fds)) {
        struct stat info {};
        if (::stat(entry.path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_nlink == 0 && static_cast<std::uint64_t>(info.st_size) == size) {
            ++count;
        }
    }
    return count;
}

TEST_F(ExtractionTemporary, AKilledRestoreLeavesNoTemporaryOrOneTheNextRestoreClearsAway) {
    constexpr std::size_t kWritten = 1 << 20;
    const struct {
        Staging staging;
        std::size_t namedWhileWriting;  // named temporaries in the folder before the kill
    } cases[] = {{Staging::Named, 1}, {Staging::Unnamed, 0}};  // skipped last where unsupported
    for (const auto& c : cases) {
        const bool named = c.staging == Staging::Named;
        SCOPED_TRACE(named ? "named" : "unnamed");
        const fs::path folder = m_temp / (named ? "named" : "unnamed");
        fs::create_directories(folder);
        if (!named && !FolderHasUnnamedFiles(folder)) {
            GTEST_SKIP() << "the file system of " << folder << " has no files without names";
        }
        int ready[2];
        int hold[2];
        ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
        ASSERT_EQ(::pipe2(hold, O_CLOEXEC), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Writes part of a large file, says so, and waits for the kill.
            const DataSource stalling = [&](const archive::RecordReader::Sink& sink,
                                            std::string&) -> bool {
                char byte = 1;
                if (!sink(std::string(kWritten, 'x')) || ::write(ready[1], &byte, 1) != 1) {
                    ::_exit(2);
                }
                [[maybe_unused]] const ssize_t ended = ::read(hold[0], &byte, 1);
                ::_exit(3);
            };
            std::string error;
            Write(folder, "big", stalling, 4 * kWritten, c.staging, error);
            ::_exit(4);
        }
        ::close(ready[1]);
        ::close(hold[0]);
        char byte = 0;
        const bool writing = ::read(ready[0], &byte, 1) == 1;
        if (writing) {
            EXPECT_EQ(TemporariesIn(folder).size(), c.namedWhileWriting);
            EXPECT_EQ(UnnamedFilesHeldBy(child, kWritten), named ? 0 : 1);
            // Another restore into the folder meanwhile leaves the running one's file alone.
            std::string error;
            EXPECT_TRUE(Write(folder, "meanwhile", BytesSource("x"), 1, Staging::Named, error))
                << error;
            EXPECT_EQ(TemporariesIn(folder).size(), c.namedWhileWriting);
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(ready[0]);
        ::close(hold[1]);
        ASSERT_TRUE(writing) << "the child stopped before it wrote";
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        EXPECT_EQ(TemporariesIn(folder).size(), c.namedWhileWriting);
        EXPECT_FALSE(fs::exists(folder / "big"));
        // What a killed restore left, the next restore into the folder clears away.
        std::string error;
        ASSERT_TRUE(Write(folder, "next", BytesSource("next"), 4, Staging::Named, error)) << error;
        EXPECT_EQ(TemporariesIn(folder), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace tkw
