#include "MemoryReserve.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace memoryReserve {

namespace {

// Far more than an exception, the unwinding and one line of text need.
constexpr std::size_t kReserveSize = std::size_t{64} * 1024;

// Taken by exchange: threads that run out of memory at once free it once.
std::atomic<void*> reserve{nullptr};

// Called by operator new, on whatever thread, when the system has no memory
// to give.
void giveBackReserve()
{
    std::free(reserve.exchange(nullptr));
    throw std::bad_alloc();
}

}  // namespace

bool prepare()
{
    void* const kept = std::malloc(kReserveSize);
    if (kept == nullptr) {
        return false;
    }
    reserve.store(kept);
    std::set_new_handler(giveBackReserve);
    return true;
}

}  // namespace memoryReserve
