// The program is killed while it adds files: every item it had completed is there afterwards.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <random>

#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

std::string ItemName(int n) {
    return "/crash/item" + std::to_string(n);
}

// In a child: opens (or creates) the archive and adds the sources in turn, forever, writing to
// `report` -(n + 1) before it starts item n, and n once AddFile has returned for it.
[[noreturn]] void AddUntilKilled(const fs::path& archive, const std::vector<fs::path>& sources,
                                 int report) {
    CZipEx zip;
    const int opened = fs::exists(archive) ? zip.Open(archive) : zip.CreateZip(archive);
    if (opened == 0) {
        ::_exit(2);
    }
    for (int n = zip.GetNrOfFiles();; ++n) {
        const int starting = -(n + 1);
        if (::write(report, &starting, sizeof starting) != sizeof starting) {
            ::_exit(4);
        }
        if (zip.AddFile(sources[static_cast<std::size_t>(n) % sources.size()], ItemName(n)) == 0) {
            ::_exit(3);
        }
        if (::write(report, &n, sizeof n) != sizeof n) {
            ::_exit(4);
        }
    }
}

constexpr int kLarge = 1;  // the source that takes a while to add

// Spins until the file grows past `size` (true) or the pipe has a message (false).
bool WaitForGrowthOrMessage(const fs::path& file, std::uintmax_t size, int pipe) {
    while (true) {
        if (fs::file_size(file) > size) {
            return true;
        }
        pollfd ready{pipe, POLLIN, 0};
        if (::poll(&ready, 1, 0) > 0) {
            return false;
        }
    }
}

TEST(ZipExCrash, ItemsCompletedBeforeASigkillSurviveAndTheArchiveTakesMoreItems) {
    test::TempDir temp;
    // Small files and large ones, so that kills land between items and inside frames.
    std::vector<fs::path> sources;
    std::vector<std::string> contents = {test::TextBytes(700, 1), test::RandomBytes(40u << 20, 2),
                                         test::TextBytes(20000, 3), test::RandomBytes(40000, 4)};
    for (std::size_t i = 0; i < contents.size(); ++i) {
        sources.push_back(temp / ("source" + std::to_string(i)));
        test::WriteFileBytes(sources.back(), contents[i]);
    }
    const fs::path archive = temp / "backup.tkw";
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);

    int reported = 0;   // items the children reported complete, over all rounds
    int tornTails = 0;  // checked rounds in which the kill had cut an item short
    for (int round = 0; round < 12; ++round) {
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeEnds[0]);
            AddUntilKilled(archive, sources, pipeEnds[1]);
        }
        ::close(pipeEnds[1]);
        // Kill after a random number of started items: in odd rounds at once, which lands
        // between items or inside a small one; in even rounds once the next large item has
        // begun to reach the file, which cuts it short.
        const int wantedStarts = 1 + static_cast<int>(random() % 8);
        const bool cutLargeItem = round % 2 == 0;
        int completed = reported - 1;
        std::uintmax_t sizeAtCompletion = 0;
        for (int starts = 0;;) {
            int message = 0;
            ASSERT_EQ(::read(pipeEnds[0], &message, sizeof message),
                      static_cast<ssize_t>(sizeof message))
                << "the child stopped early";
            if (message >= 0) {
                completed = message;
                sizeAtCompletion = fs::file_size(archive);
                continue;
            }
            if (++starts < wantedStarts) {
                continue;
            }
            const int starting = -message - 1;
            if (!cutLargeItem) {
                break;
            }
            if (starting % static_cast<int>(sources.size()) == kLarge && sizeAtCompletion > 0 &&
                WaitForGrowthOrMessage(archive, sizeAtCompletion, pipeEnds[0])) {
                break;
            }
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        // Completions written just before the kill still count.
        for (int message = 0; ::read(pipeEnds[0], &message, sizeof message) == sizeof message;) {
            if (message >= 0) {
                completed = message;
            }
        }
        ::close(pipeEnds[0]);
        ASSERT_GE(completed + 1, reported);
        reported = completed + 1;

        // Every other round the next child finds the torn archive as the crash left it.
        if (round % 2 == 1) {
            continue;
        }
        CZipEx zip;
        ASSERT_EQ(zip.Open(archive), 1) << zip.GetLastError();
        EXPECT_TRUE(zip.GetRecoveryReport().recovered);
        tornTails += zip.GetRecoveryReport().tornTailDropped ? 1 : 0;
        // One more item than reported may have completed just before the kill.
        ASSERT_GE(zip.GetNrOfFiles(), reported) << "round " << round;
        ASSERT_LE(zip.GetNrOfFiles(), reported + 1) << "round " << round;
        for (int n = 0; n < zip.GetNrOfFiles(); ++n) {
            ASSERT_EQ(zip.GetItemFileName(n), ItemName(n));
        }
        EXPECT_TRUE(zip.Verify().empty()) << "round " << round;
    }

    EXPECT_GT(tornTails, 0) << "no kill landed inside an item";

    // The archive, appended to through every crash, restores every item exactly.
    CZipEx zip;
    ASSERT_EQ(zip.Open(archive), 1);
    ASSERT_GE(zip.GetNrOfFiles(), reported);
    for (int n = 0; n < zip.GetNrOfFiles(); ++n) {
        ASSERT_EQ(zip.GetItemFileName(n), ItemName(n));
        const fs::path out = temp / "out";
        ASSERT_EQ(zip.GetItemFile(n, out), 1) << zip.GetLastError();
        ASSERT_TRUE(test::ReadFileBytes(out) ==
                    contents[static_cast<std::size_t>(n) % contents.size()])
            << n;
    }
}

}  // namespace
}  // namespace tkw
