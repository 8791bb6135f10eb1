#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <string>

#include "components/archive/FileIo.h"
#include "components/utils/UniqueFd.h"

namespace tkw::archive {

// Puts written files on the disk on threads of their own, while the next files are written: the
// disk then stores one file while the program writes the next, instead of each waiting in turn.
// At most kMaxPending syncs run at once; Add waits for the oldest beyond that.
class DeferredSyncs {
public:
    static constexpr std::size_t kMaxPending = 4;

    explicit DeferredSyncs(DataSync sync = {});
    // Waits for the syncs still running; their failures go unreported.
    ~DeferredSyncs();
    DeferredSyncs(const DeferredSyncs&) = delete;
    DeferredSyncs& operator=(const DeferredSyncs&) = delete;

    // Syncs the file `fd` (`shown` names it in an error).
    void Add(UniqueFd fd, std::filesystem::path shown);
    // Waits for every sync added; false with `error` naming the first file that failed. The
    // failures are forgotten once told.
    bool Finish(std::string& error);

private:
    struct Pending {
        std::future<int> result;  // 0, or the errno of the failed sync
        std::filesystem::path shown;
    };
    void WaitOldest();

    DataSync m_sync;
    std::deque<Pending> m_pending;
    std::string m_firstError;
};

}  // namespace tkw::archive
