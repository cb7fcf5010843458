// The replaceable global allocation functions of a test program, failing
// large allocations while a test asks. No allocation is made here, so that
// each one below is matched by its own release.

#include "LargeAllocations.h"

#include <cstdlib>
#include <limits>
#include <new>

namespace {

constexpr std::size_t kNoFailure = std::numeric_limits<std::size_t>::max();

std::size_t failingSize = kNoFailure;

void* allocate(std::size_t size) noexcept
{
    if (size >= failingSize) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);  // NOLINT(cppcoreguidelines-no-malloc)
}

}  // namespace

LargeAllocationsFail::LargeAllocationsFail(std::size_t size) noexcept
{
    failingSize = size;
}

LargeAllocationsFail::~LargeAllocationsFail()
{
    failingSize = kNoFailure;
}

void* operator new(std::size_t size)
{
    void* const memory = allocate(size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t& /*unused*/) noexcept
{
    return allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t& /*unused*/) noexcept
{
    return allocate(size);
}

void operator delete(void* memory) noexcept
{
    std::free(memory);  // NOLINT(cppcoreguidelines-no-malloc)
}

void operator delete[](void* memory) noexcept
{
    std::free(memory);  // NOLINT(cppcoreguidelines-no-malloc)
}

void operator delete(void* memory, std::size_t /*size*/) noexcept
{
    std::free(memory);  // NOLINT(cppcoreguidelines-no-malloc)
}

void operator delete[](void* memory, std::size_t /*size*/) noexcept
{
    std::free(memory);  // NOLINT(cppcoreguidelines-no-malloc)
}
