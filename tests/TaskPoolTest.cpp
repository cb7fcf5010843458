#include <gtest/gtest.h>

#ifndef _WIN32
#include <pthread.h>
#include <csignal>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "sort/JoiningThread.h"
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

// run() returns only once every thread is done with the round: a task on a
// helper, still at work when the caller has run out of tasks, is waited for.
TEST(TaskPool, ReturnsOnlyOnceEveryHelperIsDone)
{
    sorting::TaskPool pool(4);
    for (int round = 0; round < 5; ++round) {
        const std::thread::id caller = std::this_thread::get_id();
        std::atomic<std::size_t> finished{0};
        std::atomic<std::size_t> onHelpers{0};
        pool.run(pool.size(), [&](std::size_t) {
            if (std::this_thread::get_id() != caller) {
                onHelpers.fetch_add(1);
                // Slow on purpose, long after the caller's own tasks ended.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            } else {
                // Leaves the helpers time to wake and take tasks of their own.
                for (int wait = 0; wait < 2000 && onHelpers.load() == 0; ++wait) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
            finished.fetch_add(1);
        });
        EXPECT_EQ(finished.load(), pool.size()) << "round " << round;
        EXPECT_GT(onHelpers.load(), 0U) << "no task ran on a helper";
    }
}

// What a task throws, on a helper or on the caller, comes out of run() on
// the caller's thread once the round is over; the pool serves the next
// round as before.
TEST(TaskPool, ThrowsWhatATaskThrewOnTheCallersThread)
{
    sorting::TaskPool pool(4);
    constexpr std::size_t kTasks = 1000;
    const std::thread::id caller = std::this_thread::get_id();
    for (const bool onCaller : {false, true}) {
        std::atomic<bool> thrown{false};
        std::atomic<std::size_t> running{0};
        std::atomic<std::size_t> ranAfter{0};
        const auto throwing = [&](std::size_t) {
            running.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const bool here = (std::this_thread::get_id() == caller) == onCaller;
            if (here && !thrown.exchange(true)) {
                running.fetch_sub(1);
                throw std::runtime_error("task failed");
            }
            if (thrown.load()) {
                ranAfter.fetch_add(1);
            }
            running.fetch_sub(1);
        };
        bool caught = false;
        try {
            pool.run(kTasks, throwing);
        } catch (const std::runtime_error& error) {
            caught = std::string_view(error.what()) == "task failed";
        }
        EXPECT_TRUE(caught) << (onCaller ? "on the caller" : "on a helper");
        EXPECT_TRUE(thrown.load());
        EXPECT_EQ(running.load(), 0U) << "a task still ran after run() ended";
        // The tasks after the failure are left out, but for those begun
        // while it was unwinding, which an emulator makes slow: far fewer
        // than the tasks left.
        EXPECT_LT(ranAfter.load(), kTasks / 2);

        std::vector<int> runs(100, 0);
        pool.run(runs.size(), [&runs](std::size_t task) { ++runs[task]; });
        EXPECT_EQ(std::vector<int>(runs.size(), 1), runs);
    }
}

// The caller's own work runs on its thread while the helpers take the
// tasks, and what it throws comes out of run() too, after the round.
TEST(TaskPool, RunsTheCallersWorkOnItsThread)
{
    sorting::TaskPool pool(3);
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id ranOn;
    std::vector<int> runs(50, 0);
    pool.run(
        runs.size(), [&runs](std::size_t task) { ++runs[task]; },
        [&ranOn] { ranOn = std::this_thread::get_id(); });
    EXPECT_EQ(ranOn, caller);
    EXPECT_EQ(std::vector<int>(runs.size(), 1), runs);

    std::atomic<std::size_t> running{0};
    EXPECT_THROW(pool.run(
                     50,
                     [&running](std::size_t) {
                         running.fetch_add(1);
                         std::this_thread::sleep_for(std::chrono::milliseconds(1));
                         running.fetch_sub(1);
                     },
                     [] { throw std::runtime_error("caller's work failed"); }),
                 std::runtime_error);
    EXPECT_EQ(running.load(), 0U);
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

namespace {

// The pool's threads are joined as their holders go: whatever a thread did
// before it ended is done and visible once its holder is gone, also for a
// holder moved from one place to another on the way (as a vector moves
// them when it grows).
TEST(JoiningThread, JoinsItsThreadWhenItGoes)
{
    std::atomic<int> finished{0};
    {
        std::vector<sorting::JoiningThread> threads;
        for (int i = 0; i < 8; ++i) {
            // Not reserved: the vector's growth moves the holders.
            // NOLINTNEXTLINE(performance-inefficient-vector-operation)
            threads.emplace_back([&finished] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                finished.fetch_add(1);
            });
        }
        sorting::JoiningThread moved(std::move(threads.front()));
    }
    EXPECT_EQ(finished.load(), 8);
}

}  // namespace
