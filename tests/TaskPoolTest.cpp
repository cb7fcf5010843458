#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <cstddef>
#include <vector>

#include "sort/TaskPool.h"

namespace {

// Every task of every round runs exactly once, whatever the threads and the
// tasks per round, and a round's results are all there when run() returns.
TEST(TaskPool, RunsEachTaskOnceAndReturnsWhenAllAreDone)
{
    for (const unsigned threads : {0U, 1U, 2U, 3U, 8U}) {
        sorting::TaskPool pool(threads);
        EXPECT_GE(pool.size(), 1U);
        EXPECT_LE(pool.size(), std::max(threads, 1U));
        for (const std::size_t count : {0UL, 1UL, 2UL, 7UL, 1000UL}) {
            for (int round = 0; round < 20; ++round) {
                std::vector<int> runs(count, 0);
                std::atomic<std::size_t> started{0};
                pool.run(count, [&](std::size_t task) {
                    ++runs[task];
                    started.fetch_add(1, std::memory_order_relaxed);
                });
                EXPECT_EQ(started.load(), count);
                EXPECT_EQ(std::vector<int>(count, 1), runs)
                    << threads << " threads, " << count << " tasks";
            }
        }
    }
}

}  // namespace
