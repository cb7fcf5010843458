#pragma once

#include <cstddef>

// While an object of this type lives, every allocation of at least `size`
// bytes fails (operator new throws, the non-throwing one answers null), as
// on a machine with no more memory to give. Linking LargeAllocations.cpp
// replaces the global allocation functions of the test program.
class LargeAllocationsFail {
public:
    explicit LargeAllocationsFail(std::size_t size) noexcept;
    LargeAllocationsFail(const LargeAllocationsFail&) = delete;
    LargeAllocationsFail& operator=(const LargeAllocationsFail&) = delete;
    ~LargeAllocationsFail();
};
