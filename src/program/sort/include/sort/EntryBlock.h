#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <new>

#include "fraction/FractionRecord.h"
#include "platform/Platform.h"

namespace sorting {

// Entries in one block of memory that is not filled in advance: the pages
// of a block larger than what arrives in it are never touched, so they
// cost nothing resident. Allocation never throws.
class EntryBlock {
public:
    EntryBlock() noexcept = default;

    // Makes room for `count` entries, dropping what was there. Returns
    // false, with the block empty, when the memory cannot be had.
    [[nodiscard]] bool allocate(std::size_t count) noexcept
    {
        entries.reset();
        capacity = 0;
        if (count > std::numeric_limits<std::size_t>::max() / sizeof(fraction::FractionRecord)) {
            return false;
        }
        // FractionRecord is an implicit-lifetime aggregate: the records
        // begin to exist in the memory as it is written.
        entries.reset(static_cast<fraction::FractionRecord*>(
            ::operator new(count * sizeof(fraction::FractionRecord), std::nothrow)));
        if (!entries && count > 0) {
            return false;
        }
        platform::adviseLargeBlock(entries.get(), count * sizeof(fraction::FractionRecord));
        capacity = count;
        return true;
    }

    [[nodiscard]] std::size_t size() const noexcept { return capacity; }
    [[nodiscard]] fraction::FractionRecord* data() noexcept { return entries.get(); }

private:
    struct Free {
        void operator()(fraction::FractionRecord* block) const noexcept
        {
            ::operator delete(block);
        }
    };
    std::unique_ptr<fraction::FractionRecord, Free> entries;
    std::size_t capacity = 0;
};

}  // namespace sorting
