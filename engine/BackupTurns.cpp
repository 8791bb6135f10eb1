#include "engine/BackupTurns.h"

#include <algorithm>
#include <utility>

#include "components/archive/DataCompressor.h"

namespace tkw {
namespace {

constexpr std::size_t kBatch = 64;
// Files judged before the workers get them. A worker that ran out of work sleeps, and waking it
// per file costs more than checking a small file.
constexpr std::size_t kHandOverBatch = 32;

bool IsDone(const BackupTurn& turn) {
    return !turn.judgement || turn.judgement->done.load();
}

// Reads the file where the filters opened it, else opens it anew.
archive::PackedItem Pack(const Judgement& judgement, FileVerdict& verdict,
                         archive::DataCompressor& compressor) {
    if (verdict.opened.fd.Valid()) {
        return archive::PackOpenFile(judgement.access, std::move(verdict.opened.fd),
                                     verdict.opened.status, judgement.path.native(), compressor);
    }
    return archive::PackItem(judgement.access, judgement.path.native(), compressor);
}

}  // namespace

CBackupTurns::CBackupTurns(unsigned workers, Examine examine)
    : m_examine(std::move(examine)), m_pool(workers) {}

bool CBackupTurns::Hold(std::uint64_t bytes) {
    std::uint64_t held = m_heldBytes.load();
    do {
        if (held + bytes > kMaxBytes) {
            return false;
        }
    } while (!m_heldBytes.compare_exchange_weak(held, held + bytes));
    return true;
}

void CBackupTurns::Judge(BackupTurn& turn) {
    turn.judgement = std::make_unique<Judgement>();
    turn.judgement->path = turn.path;
    turn.judgement->access = turn.access;
    // Two pointers: the work is kept without an allocation of its own.
    m_pending.push_back([this, judgement = turn.judgement.get()] { Work(*judgement); });
    if (m_pending.size() >= kHandOverBatch) {
        HandOver();
    }
}

void CBackupTurns::Work(Judgement& judgement) {
    try {
        FileVerdict verdict = m_examine(judgement.path, judgement.access);
        // Each worker keeps one compressor for the run; it compresses on its own thread only.
        thread_local archive::DataCompressor compressor(0);
        if (verdict.Accepted() && verdict.size <= kPackLimit && Hold(verdict.size)) {
            verdict.heldBytes = verdict.size;
            verdict.packed = Pack(judgement, verdict, compressor);
        }
        verdict.opened = {};  // a thousand files waiting for their turn keep no descriptors
        judgement.verdict = std::move(verdict);
    } catch (...) {
        judgement.error = std::current_exception();
    }
    Finish(judgement);
}

// The judgement is not touched once it is done: the engine thread may destroy it at once.
void CBackupTurns::Finish(Judgement& judgement) {
    const Judgement* const finished = &judgement;
    judgement.done.store(true);
    if (m_awaited.load() == finished) {
        const std::lock_guard lock(m_wakeMutex);
        m_wake.notify_one();
    }
}

void CBackupTurns::HandOver() {
    if (!m_pending.empty()) {
        m_pool.SubmitAll(std::exchange(m_pending, {}));
    }
}

void CBackupTurns::Push(BackupTurn turn) {
    if (turn.isFile) {
        m_waiting.insert(turn.path.native());
    }
    m_turns.push_back(std::move(turn));
}

bool CBackupTurns::FrontReady() const {
    return IsDone(m_turns.front());
}

void CBackupTurns::WaitFor(const Judgement& judgement) {
    std::unique_lock lock(m_wakeMutex);
    m_awaited.store(&judgement);
    m_wake.wait(lock, [&judgement] { return judgement.done.load(); });
    m_awaited.store(nullptr);
}

void CBackupTurns::WaitForBatch() {
    const std::size_t end = std::min(m_turns.size(), kBatch);
    for (std::size_t i = end; i-- > 0;) {
        if (m_turns[i].judgement) {
            WaitFor(*m_turns[i].judgement);
            break;
        }
    }
    // The batch's last may be done before the front: the front is then waited for alone.
    if (!FrontReady()) {
        WaitFor(*m_turns.front().judgement);
    }
}

BackupTurn CBackupTurns::Take() {
    if (!FrontReady()) {
        HandOver();  // the judgement waited for may be among them
        WaitForBatch();
    }
    BackupTurn turn = std::move(m_turns.front());
    m_turns.pop_front();
    if (turn.isFile) {
        m_waiting.erase(m_waiting.find(turn.path.native()));
    }
    return turn;
}

FileVerdict CBackupTurns::Verdict(BackupTurn& turn) {
    Judgement& judgement = *turn.judgement;
    if (judgement.error) {
        std::rethrow_exception(judgement.error);
    }
    return std::move(judgement.verdict);
}

}  // namespace tkw
