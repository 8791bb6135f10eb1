#include "components/archive/DeferredSyncs.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace tkw::archive {

DeferredSyncs::DeferredSyncs(DataSync sync) : m_sync(OrFdatasync(std::move(sync))) {}

DeferredSyncs::~DeferredSyncs() {
    while (!m_pending.empty()) {
        WaitOldest();
    }
}

void DeferredSyncs::Add(UniqueFd fd, std::filesystem::path shown) {
    if (m_pending.size() >= kMaxPending) {
        WaitOldest();
    }
    auto background = SyncInBackground(fd, m_sync);
    std::future<int> result;
    if (background) {
        result = std::move(*background);
    } else {
        // No thread to spare: the file is synced here and now.
        std::promise<int> done;
        done.set_value(m_sync(fd.Get()) == 0 ? 0 : errno);
        result = done.get_future();
    }
    m_pending.push_back({std::move(result), std::move(shown)});
}

void DeferredSyncs::WaitOldest() {
    Pending oldest = std::move(m_pending.front());
    m_pending.pop_front();
    const int error = oldest.result.get();
    if (error != 0 && m_firstError.empty()) {
        m_firstError = "cannot flush " + oldest.shown.native() + ": " + std::strerror(error);
    }
}

bool DeferredSyncs::Finish(std::string& error) {
    while (!m_pending.empty()) {
        WaitOldest();
    }
    if (m_firstError.empty()) {
        return true;
    }
    error = std::exchange(m_firstError, {});
    return false;
}

}  // namespace tkw::archive
