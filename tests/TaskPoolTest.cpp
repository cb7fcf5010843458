#include <gtest/gtest.h>

#ifndef _WIN32
#include <pthread.h>
#include <csignal>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>
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

#ifndef _WIN32
// A signal to end the program must reach a thread that runs it, which
// makes its files under a guard against it, never a helper.
TEST(TaskPool, HelpersLeaveTerminationSignalsToOtherThreads)
{
    sorting::TaskPool pool(4);
    std::vector<int> blocked(64, -1);
    pool.run(blocked.size(), [&blocked](std::size_t task) {
        sigset_t current;
        ::sigemptyset(&current);
        ::pthread_sigmask(SIG_BLOCK, nullptr, &current);
        blocked[task] = ::sigismember(&current, SIGINT) + ::sigismember(&current, SIGTERM);
        // Long enough that the helpers, once awake, get tasks too.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    sigset_t callers;
    ::sigemptyset(&callers);
    ::pthread_sigmask(SIG_BLOCK, nullptr, &callers);
    // The caller's own tasks see its mask, which the pool leaves as it was.
    const int callerBlocks = ::sigismember(&callers, SIGINT) + ::sigismember(&callers, SIGTERM);
    EXPECT_EQ(callerBlocks, 0);
    for (const int both : blocked) {
        EXPECT_TRUE(both == 2 || both == callerBlocks) << both;
    }
    EXPECT_GT(std::count(blocked.begin(), blocked.end(), 2), 0) << "no task ran on a helper";
}
#endif

}  // namespace
