#include "engine/RestoreAhead.h"

#include <utility>

namespace tkw {

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

bool CRestoreAhead::Fits(const std::filesystem::path& target) const {
    if (m_queue.empty()) {
        return true;
    }
    return target.parent_path() == m_folder && m_names.count(target.filename().native()) == 0;
}

void CRestoreAhead::Queue(Item item) {
    if (m_queue.empty()) {
        m_folder = item.target.parent_path();
        m_names.clear();
    }
    m_names.insert(item.target.filename().native());
    m_queue.push_back(std::make_unique<Slot>(Slot{std::move(item)}));
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

std::pair<CRestoreAhead::Item, CRestoreAhead::Outcome> CRestoreAhead::TakeOldest() {
    if (!OldestDone()) {
        HandOver();  // it is waited for: the rest is best under way meanwhile
    }
    int outcome = kPending;
    {
        std::unique_lock lock(m_mutex);
        const Slot& oldest = *m_queue.front();
        m_done.wait(lock, [&] { return DoneLocked(oldest); });
        outcome = oldest.outcome;
    }
    Item item = std::move(m_queue.front()->item);
    m_queue.pop_front();
    --m_handedOver;
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
    return taken;
}

void CRestoreAhead::HandOver() {
    if (m_handedOver == m_queue.size()) {
        return;
    }
    std::vector<Slot*> batch;
    for (std::size_t i = m_handedOver; i < m_queue.size(); ++i) {
        batch.push_back(m_queue[i].get());
    }
    m_handedOver = m_queue.size();
    {
        const std::lock_guard lock(m_mutex);
        ++m_running;
    }
    std::vector<std::function<void()>> work;
    work.emplace_back([this, batch = std::move(batch)]() mutable { WriteBatch(std::move(batch)); });
    m_pool->SubmitAll(std::move(work));
}

void CRestoreAhead::WriteBatch(std::vector<Slot*> batch) {
    CZipEx::NewItemWriter* writer = TakeWriter();
    for (Slot* slot : batch) {
        const Item& item = slot->item;
        const Outcome outcome = item.folder.empty() ? writer->Write(item.index, item.target, false)
                                                    : writer->Write(item.index, item.folder, true);
        const std::lock_guard lock(m_mutex);
        slot->outcome = static_cast<int>(outcome);
        m_done.notify_all();
    }
    ReturnWriter(writer);
    const std::lock_guard lock(m_mutex);
    --m_running;
    m_done.notify_all();
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
