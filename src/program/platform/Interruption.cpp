#include "platform/Interruption.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <string_view>

#include "platform/Platform.h"

namespace interruption {

namespace {

// More temporary files than the programs ever hold at once: the output
// file's and the self-test's.
constexpr std::size_t kPlaces = 8;

// Each place holds a name to remove, or null. Lock-free atomics are the
// only shared state a signal handler may read.
std::array<std::atomic<const char*>, kPlaces> registeredNames{};
std::atomic<std::size_t> progressWidth{0};

static_assert(std::atomic<const char*>::is_always_lock_free);
static_assert(std::atomic<std::size_t>::is_always_lock_free);

constexpr std::string_view kBlanks = "                                ";

void eraseProgressLine(std::size_t width) noexcept
{
    platform::writeToErrorsAtOnce("\r", 1);
    while (width > 0) {
        const std::size_t piece = std::min(width, kBlanks.size());
        platform::writeToErrorsAtOnce(kBlanks.data(), piece);
        width -= piece;
    }
    platform::writeToErrorsAtOnce("\r", 1);
}

}  // namespace

void install()
{
    platform::onTermination(&undo);
}

RemovedOnInterruption::RemovedOnInterruption(const char* path) noexcept : place(kPlaces)
{
    for (std::size_t index = 0; index < kPlaces; ++index) {
        const char* expected = nullptr;
        if (registeredNames[index].compare_exchange_strong(expected, path)) {
            place = index;
            return;
        }
    }
}

RemovedOnInterruption::~RemovedOnInterruption()
{
    if (place < kPlaces) {
        registeredNames[place].store(nullptr);
    }
}

void progressLineShown(std::size_t width) noexcept
{
    progressWidth.store(width);
}

void undo() noexcept
{
    for (const std::atomic<const char*>& name : registeredNames) {
        const char* const path = name.load();
        if (path != nullptr) {
            platform::removeAtOnce(path);
        }
    }
    const std::size_t width = progressWidth.exchange(0);
    if (width > 0) {
        eraseProgressLine(width);
    }
}

}  // namespace interruption
