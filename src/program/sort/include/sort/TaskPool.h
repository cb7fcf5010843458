#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

#include "sort/JoiningThread.h"

namespace sorting {

// Threads kept for work that comes in rounds, such as a listing formatted a
// stretch at a time: starting threads for every round would cost more than
// a short round's work. The thread that calls run() works too.
class TaskPool {
public:
    using Task = std::function<void(std::size_t)>;
    using CallerTask = std::function<void()>;

    // Up to `threads` threads in all, the caller's among them; a thread that
    // cannot be started leaves its share to the others.
    explicit TaskPool(unsigned threads);
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;
    ~TaskPool();

    // Runs task(0), ..., task(count - 1), each once, on the pool's threads,
    // and returns when all are done; what they wrote is then visible to the
    // caller. A task that throws, on whatever thread, ends the round: the
    // tasks not yet begun are left out, and once the others are done the
    // first exception thrown is thrown again here, on the caller's thread.
    void run(std::size_t count, const Task& task);

    // As run(), with `onCaller` run on the caller's own thread as the
    // round's tasks start: for work that must be done there, such as
    // writing, where only that thread takes the signals a write may raise.
    void run(std::size_t count, const Task& task, const CallerTask& onCaller);

    // The threads that work, the caller's among them.
    [[nodiscard]] unsigned size() const noexcept
    {
        return static_cast<unsigned>(helpers.size()) + 1;
    }

private:
    void serve();
    void work() noexcept;
    void fail(std::exception_ptr thrown) noexcept;

    std::mutex lock;
    std::condition_variable roundStarted;
    std::condition_variable helperDone;
    // The round's work, set by run() while no helper works.
    const Task* current = nullptr;
    std::size_t taskCount = 0;
    std::atomic<std::size_t> next{0};
    std::uint64_t round = 0;
    // Helpers done with the round: every helper takes part in every round,
    // so that none can still be at a round's tasks when the next begins.
    std::size_t helpersDone = 0;
    // What the round's first failed task threw.
    std::exception_ptr failure;
    bool stopping = false;
    // Last, so that the threads start once everything above is made.
    std::vector<JoiningThread> helpers;
};

}  // namespace sorting
