#include "MemoryReserve.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace memoryReserve {

namespace {

// Far more than an exception, the unwinding and one line of text need.
constexpr std::size_t kReserveSize = std::size_t{64} * 1024;

void* reserve = nullptr;

// Called by operator new when the system has no memory to give.
void giveBackReserve()
{
    std::free(reserve);  // NOLINT(cppcoreguidelines-no-malloc)
    reserve = nullptr;
    throw std::bad_alloc();
}

}  // namespace

bool prepare()
{
    reserve = std::malloc(kReserveSize);  // NOLINT(cppcoreguidelines-no-malloc)
    if (reserve == nullptr) {
        return false;
    }
    std::set_new_handler(giveBackReserve);
    return true;
}

}  // namespace memoryReserve
