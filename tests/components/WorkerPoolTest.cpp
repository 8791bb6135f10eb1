#include <gtest/gtest.h>

#include <future>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "components/utils/WorkerPool.h"

namespace tkw {
namespace {

TEST(WorkerPool, RunsEveryPieceOfWorkOnItsOwnThreads) {
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::vector<std::future<int>> results;
    {
        CWorkerPool pool(2);
        EXPECT_EQ(pool.Threads(), 2u);
        // Handed over in batches of 7, the last one shorter.
        std::vector<std::function<void()>> batch;
        for (int i = 0; i < 200; ++i) {
            auto promise = std::make_shared<std::promise<int>>();
            results.push_back(promise->get_future());
            batch.push_back([&, promise, i] {
                {
                    const std::lock_guard lock(mutex);
                    threads.insert(std::this_thread::get_id());
                }
                promise->set_value(i * i);
            });
            if (batch.size() == 7 || i == 199) {
                pool.SubmitAll(std::exchange(batch, {}));
            }
        }
        for (int i = 0; i < 200; ++i) {
            EXPECT_EQ(results[static_cast<std::size_t>(i)].get(), i * i);
        }
    }
    EXPECT_LE(threads.size(), 2u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

}  // namespace
}  // namespace tkw
