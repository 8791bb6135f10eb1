#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "components/archive/PackedItem.h"
#include "components/utils/WorkerPool.h"
#include "engine/ExclusiveOpen.h"
#include "shell/logger/Logger.h"

namespace tkw {

// What the checks that need neither the backup file nor the user found about a file. They run on
// a worker ahead of the file's turn, which then reads the verdict as if it were checking now.
struct FileVerdict {
    int statError = 0;      // errno of a failed look at the file; 0 when it was found
    bool readable = false;  // a regular file or a link: what can become an item
    bool filtered = false;  // excluded by the filters
    std::uint64_t size = 0;
    std::vector<CLineCapture::Line> lines;  // what the filters wrote
    // The regular file as the filters opened it, read from there when it is packed. Closed before
    // the verdict leaves the worker, and at once when the file is judged at its turn.
    ExclusiveFile opened;
    // Read and compressed ahead, when the file passed and was small enough.
    std::optional<archive::PackedItem> packed;
    std::uint64_t heldBytes = 0;  // of the bytes the packed files may hold

    bool Accepted() const { return statError == 0 && readable && !filtered; }
};

// A file's checks and packing, handed to a worker. It is made and destroyed on the engine thread,
// with the paths the worker reads: a worker that freed what another thread allocated would wait
// for that thread's allocator.
struct Judgement {
    std::filesystem::path path;
    std::filesystem::path access;
    FileVerdict verdict;       // written by the worker
    std::exception_ptr error;  // or this, met again at the file's turn
    std::atomic<bool> done{false};
};

// One step of a backup run's walk: a file, or a folder left out. Everything the user sees of it
// (its lines, its item, its node, its counters, the deletion of its original) happens at its turn,
// once every step before it is done, so the run keeps the walk's order while its files are
// checked, read and compressed ahead on the workers.
struct BackupTurn {
    std::filesystem::path path;
    std::filesystem::path access;  // reaches the file at `path` (see BackupFile)
    bool isFile = false;           // a file's turn begins with a look at the cancel button
    // Named again while its first copy still waits for its turn: judged anew at its turn, when
    // that copy is stored (and maybe its original deleted).
    bool judgeAtTurn = false;
    std::unique_ptr<Judgement> judgement;  // of a file judged ahead
    // A folder left out: its lines and counts.
    std::vector<CLineCapture::Line> lines;
    std::uint32_t skipped = 0;
    std::uint32_t leftOut = 0;
};

// The steps walked but not yet taken, oldest first, and the workers that check and pack their
// files. Bounded in steps and in bytes held, so that memory stays small however large the
// selection is.
class CBackupTurns {
public:
    // Files up to this size are packed ahead in memory while fewer than kMaxBytes are held;
    // others are stored at their turn straight into the backup file.
    static constexpr std::uint64_t kPackLimit = 4u << 20;
    static constexpr std::uint64_t kMaxBytes = 32u << 20;
    static constexpr std::size_t kMaxTurns = 1024;

    // The checks of the file at `path`, reached through `access`; safe on any thread.
    using Examine = std::function<FileVerdict(const std::filesystem::path& path,
                                              const std::filesystem::path& access)>;

    CBackupTurns(unsigned workers, Examine examine);

    // Has the file of the turn examined on a worker and, when it passes, packed.
    void Judge(BackupTurn& turn);
    void Push(BackupTurn turn);
    bool Empty() const { return m_turns.empty(); }
    // Whether a turn must be taken before more are walked.
    bool Full() const { return m_turns.size() >= kMaxTurns; }
    // Whether a file of this name waits for its turn.
    bool IsWaiting(const std::string& name) const { return m_waiting.count(name) != 0; }
    // The oldest turn, its judgement done. When it is not done yet, waits for a batch of them:
    // a worker then wakes this thread once per batch, not once per file.
    BackupTurn Take();
    // The verdict of a turn taken; throws what its checks threw.
    static FileVerdict Verdict(BackupTurn& turn);
    // Gives back what a verdict held, once its packed file is stored or dropped.
    void Release(const FileVerdict& verdict) { m_heldBytes -= verdict.heldBytes; }

private:
    // Whether the oldest turn can be taken without waiting.
    bool FrontReady() const;
    bool Hold(std::uint64_t bytes);
    void Work(Judgement& judgement);
    void Finish(Judgement& judgement);
    void HandOver();
    void WaitFor(const Judgement& judgement);
    void WaitForBatch();

    Examine m_examine;
    std::atomic<std::uint64_t> m_heldBytes{0};
    std::deque<BackupTurn> m_turns;
    std::unordered_multiset<std::string> m_waiting;
    // Judged but not yet handed to the workers: they are woken once per batch, not per file.
    std::vector<std::function<void()>> m_pending;
    // The judgement this thread sleeps for: only its worker wakes it.
    std::atomic<const Judgement*> m_awaited{nullptr};
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    CWorkerPool m_pool;  // last: its work ends before the rest goes
};

}  // namespace tkw
