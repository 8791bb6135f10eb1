#include <gtest/gtest.h>

#include <algorithm>

#include "engine/BackupTurns.h"
#include "tests/support/TempDir.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

// Files read ahead hold at most kMaxBytes: past it a file is left to be stored at its turn, and
// what a stored file gives back lets the next one be read ahead again.
TEST(BackupTurns, FilesReadAheadHoldNoMoreThanTheByteBound) {
    test::TempDir temp;
    const std::uint64_t size = CBackupTurns::kPackLimit;
    test::WriteFileBytes(temp / "file", std::string(size, 'x'));
    const auto accepted = [size](const fs::path&, const fs::path&) {
        FileVerdict verdict;
        verdict.readable = true;
        verdict.size = size;
        return verdict;
    };
    const std::size_t fit = CBackupTurns::kMaxBytes / size;

    CBackupTurns turns(2, accepted);
    for (std::size_t i = 0; i < fit + 2; ++i) {
        BackupTurn turn;
        turn.isFile = true;
        turn.path = "/item" + std::to_string(i);
        turn.access = temp / "file";
        turns.Judge(turn);
        turns.Push(std::move(turn));
    }
    std::vector<FileVerdict> verdicts;
    while (!turns.Empty()) {
        BackupTurn turn = turns.Take();
        verdicts.push_back(CBackupTurns::Verdict(turn));
    }
    std::size_t packed = 0;
    for (const FileVerdict& verdict : verdicts) {
        ASSERT_TRUE(verdict.Accepted());
        if (verdict.packed) {
            ++packed;
            EXPECT_EQ(verdict.heldBytes, size);
            EXPECT_EQ(verdict.packed->item.size, size);
        } else {
            EXPECT_EQ(verdict.heldBytes, 0u);
        }
    }
    EXPECT_EQ(packed, fit);

    turns.Release(*std::find_if(verdicts.begin(), verdicts.end(), [](const FileVerdict& verdict) {
        return verdict.packed.has_value();
    }));
    BackupTurn again;
    again.isFile = true;
    again.path = "/again";
    again.access = temp / "file";
    turns.Judge(again);
    turns.Push(std::move(again));
    BackupTurn taken = turns.Take();
    EXPECT_TRUE(CBackupTurns::Verdict(taken).packed.has_value());
}

}  // namespace
}  // namespace tkw
