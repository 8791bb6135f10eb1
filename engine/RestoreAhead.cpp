#include "engine/RestoreAhead.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace tkw {
namespace {

// The path with each run of separators made one and none at the end: two texts name the same
// path, component by component, when their keys are equal. Two spellings of one place that differ
// otherwise (a "." or ".." in a chosen folder typed for one item only) are taken for two paths;
// whichever is written second finds the name taken and is judged again in turn.
std::string PathKey(std::string_view path) {
    std::string key;
    key.reserve(path.size());
    for (const char c : path) {
        if (c != '/' || key.empty() || key.back() != '/') {
            key.push_back(c);
        }
    }
    if (key.size() > 1 && key.back() == '/') {
        key.pop_back();
    }
    return key;
}

// Whether the key `path` is the key `ancestor` or lies below it.
bool IsWithin(std::string_view path, std::string_view ancestor) {
    if (!path.starts_with(ancestor)) {
        return false;
    }
    return path.size() == ancestor.size() || ancestor == "/" || path[ancestor.size()] == '/';
}

// The first component of the key `path` below the key `folder`, when it lies strictly below it.
std::optional<std::string_view> FirstComponentBelow(std::string_view path,
                                                    std::string_view folder) {
    if (path.size() == folder.size() || !IsWithin(path, folder)) {
        return std::nullopt;
    }
    std::string_view rest = path.substr(folder == "/" ? 1 : folder.size() + 1);
    return rest.substr(0, rest.find('/'));
}

std::string_view NameOf(std::string_view key) {
    return key.substr(key.rfind('/') + 1);
}

}  // namespace

std::string_view FolderOf(std::string_view target) {
    const std::size_t last = target.rfind('/');
    if (last == std::string_view::npos) {
        return {};
    }
    std::string_view folder = target.substr(0, last);
    while (folder.size() > 1 && folder.back() == '/') {
        folder.remove_suffix(1);
    }
    return folder.empty() ? target.substr(0, 1) : folder;
}

CRestoreAhead::CRestoreAhead(const CZipEx& archive, unsigned threads)
    : m_writers(archive.NewItemWriters(threads)) {
    for (const auto& writer : m_writers) {
        m_freeWriters.push_back(writer.get());
    }
    if (!m_writers.empty()) {
        m_pool = std::make_unique<CWorkerPool>(threads);
    }
}

CRestoreAhead::~CRestoreAhead() {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_running == 0; });
}

bool CRestoreAhead::Fits(const std::string& target) const {
    if (m_queue.empty()) {
        return true;
    }
    const std::string key = PathKey(target);
    const std::string_view folder = FolderOf(key);
    if (folder == m_folder) {
        const std::string name(NameOf(key));
        return m_names.count(name) == 0 && m_namesAbove.count(name) == 0;
    }
    for (const auto& slot : m_queue) {
        if (IsWithin(folder, slot->key) || IsWithin(slot->key, key)) {
            return false;
        }
    }
    return true;
}

void CRestoreAhead::Queue(Item item) {
    std::string key = PathKey(item.target);
    const std::string_view folder = FolderOf(key);
    if (m_queue.empty() || folder != m_folder) {
        // Items queued in this folder before the queue moved on keep their names here.
        m_names.clear();
        m_namesAbove.clear();
        for (const auto& slot : m_queue) {
            const std::string_view queuedFolder = FolderOf(slot->key);
            if (queuedFolder == folder) {
                m_names.emplace(NameOf(slot->key));
            } else if (auto name = FirstComponentBelow(queuedFolder, folder)) {
                m_namesAbove.emplace(*name);
            }
        }
        m_folder = folder;
    }
    m_names.emplace(NameOf(key));
    m_queuedBytes += SpaceTaken(item.size);
    m_queue.push_back(std::make_unique<Slot>(Slot{std::move(item), std::move(key)}));
    if (m_queue.size() - m_handedOver >= kBatch) {
        HandOver();
    }
}

bool CRestoreAhead::OldestDone() const {
    if (m_queue.empty() || m_handedOver == 0) {
        return false;
    }
    const std::lock_guard lock(m_mutex);
    return DoneLocked(*m_queue.front());
}

bool CRestoreAhead::OldestBatchDone() const {
    if (m_handedOver < kBatch) {
        return false;
    }
    const std::lock_guard lock(m_mutex);
    return DoneLocked(*m_queue[kBatch - 1]) && DoneLocked(*m_queue.front());
}

void CRestoreAhead::MakeRoom() {
    WaitUntilDone(std::min(kBatch, m_queue.size()));
}

void CRestoreAhead::WaitUntilDone(std::size_t count) {
    if (m_handedOver < count) {
        HandOver();
    }
    std::unique_lock lock(m_mutex);
    // The newest of them first: the older ones are mostly done by then, and one wake-up serves.
    for (std::size_t i = count; i-- > 0;) {
        const Slot& slot = *m_queue[i];
        if (!DoneLocked(slot)) {
            m_awaited = &slot;
            m_done.wait(lock, [&] { return DoneLocked(slot); });
            m_awaited = nullptr;
        }
    }
}

std::pair<CRestoreAhead::Item, CRestoreAhead::Outcome> CRestoreAhead::TakeOldest() {
    WaitUntilDone(1);
    int outcome = kPending;
    {
        const std::lock_guard lock(m_mutex);
        outcome = m_queue.front()->outcome;
    }
    Item item = std::move(m_queue.front()->item);
    m_queue.pop_front();
    --m_handedOver;
    m_queuedBytes -= SpaceTaken(item.size);
    return {std::move(item), static_cast<Outcome>(outcome)};
}

std::vector<std::pair<CRestoreAhead::Item, CRestoreAhead::Outcome>> CRestoreAhead::TakeAll() {
    HandOver();
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_running == 0; });
    }
    std::vector<std::pair<Item, Outcome>> taken;
    for (const auto& slot : m_queue) {
        taken.emplace_back(std::move(slot->item), static_cast<Outcome>(slot->outcome));
    }
    m_queue.clear();
    m_handedOver = 0;
    m_queuedBytes = 0;
    return taken;
}

void CRestoreAhead::HandOver() {
    if (m_handedOver == m_queue.size()) {
        return;
    }
    // Everything that can fail comes before the count of batches under way goes up: a batch
    // that never reached the pool must not be waited for.
    std::vector<Slot*> batch;
    for (std::size_t i = m_handedOver; i < m_queue.size(); ++i) {
        batch.push_back(m_queue[i].get());
    }
    std::vector<std::function<void()>> work;
    work.emplace_back([this, batch = std::move(batch)]() mutable { WriteBatch(std::move(batch)); });
    {
        const std::lock_guard lock(m_mutex);
        ++m_running;
    }
    try {
        m_pool->SubmitAll(std::move(work));
    } catch (...) {
        const std::lock_guard lock(m_mutex);
        --m_running;
        throw;
    }
    m_handedOver = m_queue.size();
}

void CRestoreAhead::WriteBatch(std::vector<Slot*> batch) {
    CZipEx::NewItemWriter* writer = TakeWriter();
    for (Slot* slot : batch) {
        const Outcome outcome = WriteOne(*writer, slot->item);
        bool awaited = false;
        {
            const std::lock_guard lock(m_mutex);
            slot->outcome = static_cast<int>(outcome);
            awaited = m_awaited == slot;
        }
        // Only the item the engine thread waits for wakes it, and outside the lock, which it
        // takes at once.
        if (awaited) {
            m_done.notify_all();
        }
    }
    ReturnWriter(writer);
    {
        const std::lock_guard lock(m_mutex);
        --m_running;
    }
    m_done.notify_all();
}

// Whatever stops the writing (memory running out, say) leaves the item to be written in turn,
// where it fails as the run's own work does.
CRestoreAhead::Outcome CRestoreAhead::WriteOne(CZipEx::NewItemWriter& writer,
                                               const Item& item) noexcept {
    try {
        return item.folder.empty() ? writer.Write(item.index, item.target, false)
                                   : writer.Write(item.index, item.folder, true);
    } catch (...) {
        return Outcome::kFailed;
    }
}

CZipEx::NewItemWriter* CRestoreAhead::TakeWriter() {
    const std::lock_guard lock(m_mutex);
    CZipEx::NewItemWriter* writer = m_freeWriters.back();
    m_freeWriters.pop_back();
    return writer;
}

void CRestoreAhead::ReturnWriter(CZipEx::NewItemWriter* writer) {
    const std::lock_guard lock(m_mutex);
    m_freeWriters.push_back(writer);
}

}  // namespace tkw
