// Large allocations that fail while a test asks.

#include "LargeAllocations.h"

#include <limits>

#include "ReplacedAllocation.h"

namespace {

constexpr std::size_t kNoFailure = std::numeric_limits<std::size_t>::max();

std::size_t failingSize = kNoFailure;

}  // namespace

bool allocationFails(std::size_t size) noexcept
{
    return size >= failingSize;
}

LargeAllocationsFail::LargeAllocationsFail(std::size_t size) noexcept
{
    failingSize = size;
}

LargeAllocationsFail::~LargeAllocationsFail()
{
    failingSize = kNoFailure;
}
