#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tkw {

// A fixed set of threads that take submitted work from one queue, oldest first. Results travel
// back through whatever the work was given (a promise, say). Work must not throw.
class CWorkerPool {
public:
    // At least one thread.
    explicit CWorkerPool(unsigned threads);
    // Waits for the work under way to end, drops the work not yet begun, and joins the threads.
    ~CWorkerPool();
    CWorkerPool(const CWorkerPool&) = delete;
    CWorkerPool& operator=(const CWorkerPool&) = delete;

    // Hands over pieces of work, oldest first: the threads are woken once for all of them.
    void SubmitAll(std::vector<std::function<void()>> work);
    unsigned Threads() const { return static_cast<unsigned>(m_threads.size()); }

    // The threads a pool should have on this machine: one per core, at most four. Each worker
    // keeps a compressor of a few MiB, and more workers than four outrun the one thread that
    // writes the backup file and its log.
    static unsigned DefaultThreads();

private:
    void Work();
    // Drops the work not yet begun and joins the threads once the work under way is done.
    void Stop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    unsigned m_idle = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace tkw
