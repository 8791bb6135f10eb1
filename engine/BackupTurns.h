#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "components/archive/PackedItem.h"
#include "components/utils/WorkerPool.h"
#include "shell/logger/Logger.h"

namespace tkw {

// One step of a backup run's walk: a file, or a folder left out. Its checks run as the walk
// reaches it, with their lines kept; everything the user sees of it (its lines, its item, its
// node, its counters, the deletion of its original) happens at its turn, once every step before it
// is done, so the run keeps the walk's order while its files are read and compressed ahead.
struct BackupTurn {
    std::vector<CLineCapture::Line> lines;  // what its checks wrote
    std::uint32_t skipped = 0;              // what its checks counted
    std::uint32_t leftOut = 0;
    bool isFile = false;  // a file's turn begins with a look at the cancel button
    // Named again while its first copy still waits for its turn: judged anew at its turn, when
    // that copy is stored (and maybe its original deleted).
    bool judgeAtTurn = false;
    bool store = false;      // the checks accepted it: stored at its turn
    std::uint64_t size = 0;  // its size when the checks looked
    std::filesystem::path path;
    std::filesystem::path access;
    std::optional<std::future<archive::PackedItem>> packed;  // read and compressed ahead
    std::uint64_t packedBytes = 0;
};

// The steps walked but not yet taken, oldest first, and the workers that pack their files. Bounded
// in steps and in bytes held, so that memory stays small however large the selection is.
class CBackupTurns {
public:
    // Files up to this size are packed ahead in memory; larger ones are stored at their turn
    // straight into the archive.
    static constexpr std::uint64_t kPackLimit = 4u << 20;
    static constexpr std::size_t kMaxTurns = 1024;
    static constexpr std::uint64_t kMaxBytes = 32u << 20;

    explicit CBackupTurns(unsigned workers);

    // Has the turn's file read and compressed on a worker.
    void Pack(BackupTurn& turn, std::uint64_t size);
    void Push(BackupTurn turn);
    bool Empty() const { return m_turns.empty(); }
    // Whether a turn must be taken before more are walked.
    bool Full() const { return m_turns.size() >= kMaxTurns || m_bytes >= kMaxBytes; }
    // Whether the oldest turn can be taken without waiting.
    bool FrontReady() const;
    // Whether a file of this name waits to be stored.
    bool IsWaiting(const std::string& name) const { return m_waiting.count(name) != 0; }
    // The oldest turn, its packing done. When it is not done yet, waits for a batch of turns.
    BackupTurn Take();

private:
    // Waits for a batch of packed files rather than one: a worker then wakes this thread once per
    // batch, not once per file.
    void WaitForBatch();

    CWorkerPool m_pool;
    std::deque<BackupTurn> m_turns;
    std::uint64_t m_bytes = 0;
    std::unordered_multiset<std::string> m_waiting;
};

}  // namespace tkw
