#pragma once

#include <thread>
#include <type_traits>
#include <utility>

namespace sorting {

// A thread that its holder joins when it goes, as std::jthread does; that
// is all the pool needs of it, and libc++ 16 has no std::jthread.
class JoiningThread {
public:
    template <typename Function,
              std::enable_if_t<!std::is_same_v<std::decay_t<Function>, JoiningThread>, int> = 0>
    explicit JoiningThread(Function&& function) : thread(std::forward<Function>(function))
    {
    }
    JoiningThread(JoiningThread&&) noexcept = default;
    JoiningThread(const JoiningThread&) = delete;
    JoiningThread& operator=(const JoiningThread&) = delete;
    JoiningThread& operator=(JoiningThread&&) = delete;
    ~JoiningThread()
    {
        if (thread.joinable()) {
            thread.join();
        }
    }

private:
    std::thread thread;
};

}  // namespace sorting
