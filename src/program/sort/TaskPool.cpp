#include "sort/TaskPool.h"

#include "platform/Platform.h"

#include <exception>
#include <utility>

namespace sorting {

TaskPool::TaskPool(unsigned threads)
{
    // Started while the termination signals wait, the helpers keep them
    // waiting for good: a signal always reaches a thread that makes and
    // names files under that same guard, never a helper that would undo
    // them while that thread is halfway through.
    const platform::TerminationDeferred signalsToOtherThreads;
    try {
        const unsigned wanted = threads > 1 ? threads - 1 : 0;
        helpers.reserve(wanted);
        for (unsigned i = 0; i < wanted; ++i) {
            helpers.emplace_back([this] { serve(); });
        }
    } catch (const std::exception&) {
        // Fewer helpers: every round waits for no one.
    }
}

TaskPool::~TaskPool()
{
    {
        const std::scoped_lock guard(lock);
        stopping = true;
    }
    roundStarted.notify_all();
    helpers.clear();
}

void TaskPool::run(std::size_t count, const Task& task)
{
    run(count, task, {});
}

void TaskPool::run(std::size_t count, const Task& task, const CallerTask& onCaller)
{
    {
        const std::scoped_lock guard(lock);
        current = &task;
        taskCount = count;
        next.store(0, std::memory_order_relaxed);
        helpersDone = 0;
        ++round;
    }
    roundStarted.notify_all();
    if (onCaller) {
        try {
            onCaller();
        } catch (...) {
            fail(std::current_exception());
        }
    }
    work();
    std::unique_lock<std::mutex> guard(lock);
    helperDone.wait(guard, [this] { return helpersDone == helpers.size(); });
    current = nullptr;
    // Thrown only now that no helper is at the round's work any more, which
    // may refer to what the caller's unwinding destroys.
    std::exception_ptr thrown = std::exchange(failure, nullptr);
    guard.unlock();
    if (thrown) {
        std::rethrow_exception(thrown);
    }
}

void TaskPool::serve()
{
    std::uint64_t roundsSeen = 0;
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        roundStarted.wait(guard, [this, roundsSeen] { return stopping || round != roundsSeen; });
        if (stopping) {
            return;
        }
        roundsSeen = round;
        guard.unlock();
        work();
        guard.lock();
        ++helpersDone;
        if (helpersDone == helpers.size()) {
            helperDone.notify_one();
        }
    }
}

void TaskPool::work() noexcept
{
    for (std::size_t i = next.fetch_add(1); i < taskCount; i = next.fetch_add(1)) {
        try {
            (*current)(i);
        } catch (...) {
            fail(std::current_exception());
        }
    }
}

void TaskPool::fail(std::exception_ptr thrown) noexcept
{
    const std::scoped_lock guard(lock);
    if (!failure) {
        failure = std::move(thrown);
    }
    // The tasks not yet begun are given up: the round has failed already.
    next.store(taskCount);
}

}  // namespace sorting
