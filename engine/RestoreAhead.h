#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "components/archive/ZipEx.h"
#include "components/utils/WorkerPool.h"

namespace tkw {

// The folder part of a target path: what comes before its last separator, without trailing
// separators ("/" for a name at the root). Items come folder by folder, and comparing this text
// costs far less than taking paths apart.
std::string_view FolderOf(std::string_view target);

// The space a file of `size` bytes takes on the disk at least: whole blocks of 4 KiB.
inline std::uint64_t SpaceTaken(std::uint64_t size) {
    constexpr std::uint64_t kBlock = 4096;
    return (size + kBlock - 1) / kBlock * kBlock;
}

// Small new files of a restore, written by worker threads while the engine thread judges the items
// after them. No queued item's path is another's or lies below another's, so the order the workers
// write them in changes nothing on the disk; what the user sees (the lines, the counters, any
// prompt) stays the engine thread's, in tree order, as it takes each item back with TakeOldest.
// Work is handed over a few items at a time.
class CRestoreAhead {
public:
    struct Item {
        int index = 0;
        std::string target;
        std::string folder;  // the chosen folder for a restore below one, else empty
        std::uint64_t size = 0;
    };
    using Outcome = CZipEx::NewItemWriter::Outcome;

    // Nothing is written ahead when the archive gives no writers.
    CRestoreAhead(const CZipEx& archive, unsigned threads);
    // Waits for the items handed over to the workers; the others are dropped unwritten.
    ~CRestoreAhead();
    CRestoreAhead(const CRestoreAhead&) = delete;
    CRestoreAhead& operator=(const CRestoreAhead&) = delete;

    bool Usable() const { return !m_writers.empty(); }
    bool Empty() const { return m_queue.empty(); }
    // What the queued items take on the disk at least.
    std::uint64_t QueuedBytes() const { return m_queuedBytes; }
    // Whether the item may join the queue: its path is no queued item's, does not lie below one,
    // and no queued item lies below it.
    bool Fits(const std::string& target) const;
    // Whether the engine thread must take the oldest back before it queues another: it runs no
    // further ahead of the lines than this, and a cancel stops it this near.
    bool Full() const { return m_queue.size() >= kMaxQueued; }
    // Waits until a hand-over's worth of the oldest items are written (or failed), so that the
    // engine thread takes them back together.
    void MakeRoom();
    // Hands the items not yet handed over to the workers: all are taken back next.
    void HandOverRest() { HandOver(); }
    void Queue(Item item);
    // Whether the oldest item is written (or failed) already.
    bool OldestDone() const;
    // Whether a hand-over's worth of the oldest items is written (or failed) already: taken back
    // together, their lines cost one append to the log.
    bool OldestBatchDone() const;
    // The oldest item and what became of it, once its writing is over.
    std::pair<Item, Outcome> TakeOldest();
    // Takes every queued item back, in order, once all are written or failed.
    std::vector<std::pair<Item, Outcome>> TakeAll();

private:
    struct Slot {
        Item item;
        std::string key;         // the target with single separators (PathKey)
        int outcome = kPending;  // guarded by m_mutex
    };
    static constexpr int kPending = -1;
    static constexpr std::size_t kBatch = 8;       // items handed over at once
    static constexpr std::size_t kMaxQueued = 32;  // items the engine thread may run ahead

    void HandOver();
    // Hands over what is not yet and waits until the oldest `count` items are done.
    void WaitUntilDone(std::size_t count);
    void WriteBatch(std::vector<Slot*> batch);
    static Outcome WriteOne(CZipEx::NewItemWriter& writer, const Item& item) noexcept;
    CZipEx::NewItemWriter* TakeWriter();
    void ReturnWriter(CZipEx::NewItemWriter* writer);
    bool DoneLocked(const Slot& slot) const { return slot.outcome != kPending; }

    std::vector<std::unique_ptr<CZipEx::NewItemWriter>> m_writers;
    std::vector<CZipEx::NewItemWriter*> m_freeWriters;  // guarded by m_mutex
    std::deque<std::unique_ptr<Slot>> m_queue;          // the engine thread's
    std::size_t m_handedOver = 0;  // of m_queue, from the front, given to the pool
    // Items come folder by folder: an item of the folder last queued to is tested against the
    // names queued there and the names there that queued items lie below, not item by item.
    std::string m_folder;  // as a key
    std::unordered_set<std::string> m_names;
    std::unordered_set<std::string> m_namesAbove;
    std::uint64_t m_queuedBytes = 0;
    std::size_t m_running = 0;  // batches handed over and not finished
    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    const Slot* m_awaited = nullptr;      // guarded by m_mutex
    std::unique_ptr<CWorkerPool> m_pool;  // last: its threads end before the rest goes
};

}  // namespace tkw
