#include "engine/BackupTurns.h"

#include <chrono>
#include <exception>
#include <memory>
#include <utility>

#include "components/archive/DataCompressor.h"

namespace tkw {
namespace {

constexpr std::size_t kBatch = 64;
// Files judged before the workers get them. A worker that ran out of work sleeps, and waking it
// per file costs more than checking a small file.
constexpr std::size_t kHandOverBatch = 32;

bool IsReady(const std::future<FileVerdict>& verdict) {
    return verdict.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

}  // namespace

CBackupTurns::CBackupTurns(unsigned workers) : m_pool(workers) {}

bool CBackupTurns::Hold(std::uint64_t bytes) {
    std::uint64_t held = m_heldBytes.load();
    do {
        if (held + bytes > kMaxBytes) {
            return false;
        }
    } while (!m_heldBytes.compare_exchange_weak(held, held + bytes));
    return true;
}

void CBackupTurns::Judge(BackupTurn& turn, Examine examine) {
    auto promise = std::make_shared<std::promise<FileVerdict>>();
    turn.verdict = promise->get_future();
    m_pending.push_back([this, promise, examine = std::move(examine), source = turn.access,
                   name = turn.path.native()]() mutable {
        try {
            FileVerdict verdict = examine();
            // Each worker keeps one compressor for the run; it compresses on its own thread only.
            thread_local archive::DataCompressor compressor(0);
            if (verdict.Accepted() && verdict.size <= kPackLimit && Hold(verdict.size)) {
                verdict.heldBytes = verdict.size;
                verdict.packed = archive::PackItem(source, std::move(name), compressor);
            }
            promise->set_value(std::move(verdict));
        } catch (...) {
            // Met again at the file's turn, as if the checks failed there.
            promise->set_exception(std::current_exception());
        }
    });
    if (m_pending.size() >= kHandOverBatch) {
        HandOver();
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
    const BackupTurn& front = m_turns.front();
    return !front.verdict || IsReady(*front.verdict);
}

void CBackupTurns::WaitForBatch() {
    const std::size_t end = std::min(m_turns.size(), kBatch);
    for (std::size_t i = end; i-- > 0;) {
        if (m_turns[i].verdict) {
            m_turns[i].verdict->wait();
            return;
        }
    }
}

BackupTurn CBackupTurns::Take() {
    if (!FrontReady()) {
        HandOver();  // the verdict waited for may be among them
        WaitForBatch();
    }
    BackupTurn turn = std::move(m_turns.front());
    m_turns.pop_front();
    if (turn.isFile) {
        m_waiting.erase(m_waiting.find(turn.path.native()));
    }
    return turn;
}

}  // namespace tkw
