#include "components/archive/DeferredSyncs.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

namespace tkw::archive {

DeferredSyncs::DeferredSyncs(Sync sync)
    : m_sync(sync ? std::move(sync) : Sync([](int fd) { return ::fdatasync(fd); })) {}

DeferredSyncs::~DeferredSyncs() {
    while (!m_pending.empty()) {
        WaitOldest();
    }
}

void DeferredSyncs::Add(UniqueFd fd, std::filesystem::path shown) {
    if (m_pending.size() >= kMaxPending) {
        WaitOldest();
    }
    auto sync = [sync = m_sync, fd = std::make_shared<UniqueFd>(std::move(fd))] {
        return sync(fd->Get()) == 0 ? 0 : errno;
    };
    std::future<int> result;
    try {
        result = std::async(std::launch::async, sync);
    } catch (const std::system_error&) {
        // No thread to spare: the file is synced here and now.
        std::promise<int> done;
        done.set_value(sync());
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
