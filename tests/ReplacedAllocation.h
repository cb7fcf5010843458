#pragma once

#include <cstddef>

// The test programs that link ReplacedAllocation.cpp have their global
// allocation functions replaced by ones that ask this first, so that a test
// can make an allocation fail, as on a machine with no more memory to give.
// Each such program links exactly one definition of it.
//
// Whether an allocation of `size` bytes is to fail now. It must not
// allocate through operator new: it serves operator new.
[[nodiscard]] bool allocationFails(std::size_t size) noexcept;
