#include "components/utils/WorkerPool.h"

#include <algorithm>

namespace tkw {

CWorkerPool::CWorkerPool(unsigned threads) {
    threads = std::max(threads, 1u);
    m_threads.reserve(threads);
    try {
        for (unsigned i = 0; i < threads; ++i) {
            m_threads.emplace_back([this] { Work(); });
        }
    } catch (...) {
        Stop();  // the threads already started end before the failure is passed on
        throw;
    }
}

CWorkerPool::~CWorkerPool() {
    Stop();
}

void CWorkerPool::Stop() {
    std::deque<std::function<void()>> dropped;  // destroyed outside the lock
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        dropped.swap(m_queue);
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
    m_threads.clear();
}

void CWorkerPool::SubmitAll(std::vector<std::function<void()>> work) {
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        for (std::function<void()>& piece : work) {
            m_queue.push_back(std::move(piece));
        }
        wake = m_idle > 0;
    }
    // A busy pool is not woken: it takes the work when it is done with what it has.
    if (wake) {
        m_wake.notify_all();
    }
}

void CWorkerPool::Work() {
    std::unique_lock lock(m_mutex);
    while (true) {
        if (m_queue.empty()) {
            if (m_stopping) {
                return;
            }
            ++m_idle;
            m_wake.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
            --m_idle;
            continue;
        }
        std::function<void()> work = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        work();
        work = nullptr;  // what the work holds goes before the next is taken
        lock.lock();
    }
}

unsigned CWorkerPool::DefaultThreads() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

}  // namespace tkw
