#pragma once

#include <cstddef>

// While an object of this type lives, every allocation of at least `size`
// bytes fails (operator new throws, the non-throwing one answers null), as
// on a machine with no more memory to give. A test program that uses it
// links LargeAllocations.cpp and ReplacedAllocation.cpp.
class LargeAllocationsFail {
public:
    explicit LargeAllocationsFail(std::size_t size) noexcept;
    LargeAllocationsFail(const LargeAllocationsFail&) = delete;
    LargeAllocationsFail& operator=(const LargeAllocationsFail&) = delete;
    ~LargeAllocationsFail();
};
