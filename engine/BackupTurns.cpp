#include "engine/BackupTurns.h"

#include <chrono>
#include <memory>

#include "components/archive/DataCompressor.h"

namespace tkw {
namespace {

constexpr std::size_t kBatch = 64;

bool IsReady(const std::future<archive::PackedItem>& packed) {
    return packed.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

}  // namespace

CBackupTurns::CBackupTurns(unsigned workers) : m_pool(workers) {}

void CBackupTurns::Pack(BackupTurn& turn, std::uint64_t size) {
    auto promise = std::make_shared<std::promise<archive::PackedItem>>();
    turn.packed = promise->get_future();
    turn.packedBytes = size;
    m_pool.Submit([promise, source = turn.access, name = turn.path.native()]() mutable {
        // Each worker keeps one compressor for the run; it compresses on its own thread only.
        thread_local archive::DataCompressor compressor(0);
        promise->set_value(archive::PackItem(source, std::move(name), compressor));
    });
}

void CBackupTurns::Push(BackupTurn turn) {
    m_bytes += turn.packedBytes;
    if (turn.store) {
        m_waiting.insert(turn.path.native());
    }
    m_turns.push_back(std::move(turn));
}

void CBackupTurns::WaitForBatch() {
    const std::size_t end = std::min(m_turns.size(), kBatch);
    for (std::size_t i = end; i-- > 0;) {
        if (m_turns[i].packed) {
            m_turns[i].packed->wait();
            return;
        }
    }
}

bool CBackupTurns::FrontReady() const {
    const BackupTurn& front = m_turns.front();
    return !front.packed || IsReady(*front.packed);
}

BackupTurn CBackupTurns::Take() {
    if (!FrontReady()) {
        WaitForBatch();
    }
    BackupTurn turn = std::move(m_turns.front());
    m_turns.pop_front();
    m_bytes -= turn.packedBytes;
    if (turn.store) {
        m_waiting.erase(m_waiting.find(turn.path.native()));
    }
    if (turn.packed) {
        turn.packed->wait();
    }
    return turn;
}

}  // namespace tkw
