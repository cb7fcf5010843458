#include "terminal/Progress.h"

#include <algorithm>
#include <ostream>

#include "Interruption.h"

using fraction::FRACTION_RECORD_SIZE;

namespace {

constexpr auto kQuietStart = std::chrono::milliseconds(500);
// A file of a million records or more is long work from the start.
constexpr std::uint64_t kLargeFileBytes = std::uint64_t{1000000} * FRACTION_RECORD_SIZE;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// How many looks at the clock a phase gets at the most.
constexpr std::uint64_t kLooksPerPhase = 1000;

}  // namespace

void Progress::phase(std::string_view name, std::uint64_t total)
{
    if (!enabled()) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (!started) {
        started = now;
    }
    phaseName = name;
    phaseTotal = total;
    lookEvery = std::max<std::uint64_t>(1, total / kLooksPerPhase);
    nextLook = 0;
    advance(0);
}

void Progress::advanced(std::uint64_t done, std::uint64_t total)
{
    if (total >= kLargeFileBytes) {
        quietStart = false;
    }
    if (total != phaseTotal) {
        phaseTotal = total;
        lookEvery = std::max<std::uint64_t>(1, total / kLooksPerPhase);
    }
    advance(done);
}

void Progress::look(std::uint64_t done)
{
    nextLook = done + lookEvery;
    const Clock::time_point now = Clock::now();
    if ((quietStart && now - *started < kQuietStart) || now - lastDrawn < kRedrawInterval) {
        return;
    }
    lastDrawn = now;
    // A phase whose total is an estimate may run past it: it shows 99%
    // until it ends.
    const std::uint64_t percent =
        phaseTotal == 0 ? 0 : std::min<std::uint64_t>(99, done * 100 / phaseTotal);
    std::string line = "fraction: " + phaseName + " " + std::to_string(percent) + "%";
    const std::size_t width = line.size();
    if (width < drawnWidth) {
        line.append(drawnWidth - width, ' ');
    }
    *out << '\r' << line << std::flush;
    drawnWidth = std::max(width, drawnWidth);
    interruption::progressLineShown(drawnWidth);
}

void Progress::clear()
{
    if (drawnWidth == 0) {
        return;
    }
    // Written without a string of blanks: this runs in a destructor, also
    // on a machine out of memory.
    interruption::progressLineShown(0);
    *out << '\r';
    for (std::size_t blank = 0; blank < drawnWidth; ++blank) {
        *out << ' ';
    }
    *out << '\r' << std::flush;
    drawnWidth = 0;
}
