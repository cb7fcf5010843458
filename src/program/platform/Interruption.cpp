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

// Each place holds a file to remove, or null. Lock-free atomics are the
// only shared state a signal handler may read; what a place points to is
// complete before it is stored there.
std::array<std::atomic<const RemovedOnInterruption*>, kPlaces> registeredNames{};
std::atomic<std::size_t> progressWidth{0};

static_assert(std::atomic<const RemovedOnInterruption*>::is_always_lock_free);
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

RemovedOnInterruption::RemovedOnInterruption(const platform::Directory& where,
                                             const char* file) noexcept
    : directory(where), name(file), place(kPlaces)
{
    for (std::size_t index = 0; index < kPlaces; ++index) {
        const RemovedOnInterruption* expected = nullptr;
        if (registeredNames[index].compare_exchange_strong(expected, this)) {
            place = index;
            return;
        }
    }
}

RemovedOnInterruption::~RemovedOnInterruption()
{
    if (registered()) {
        registeredNames[place].store(nullptr);
    }
}

void RemovedOnInterruption::removeAtOnce() const noexcept
{
    directory.removeAtOnce(name);
}

bool RemovedOnInterruption::registered() const noexcept
{
    return place < kPlaces;
}

void progressLineShown(std::size_t width) noexcept
{
    progressWidth.store(width);
}

void undo() noexcept
{
    for (const std::atomic<const RemovedOnInterruption*>& place : registeredNames) {
        const RemovedOnInterruption* const file = place.load();
        if (file != nullptr) {
            file->removeAtOnce();
        }
    }
    const std::size_t width = progressWidth.exchange(0);
    if (width > 0) {
        eraseProgressLine(width);
    }
}

}  // namespace interruption
