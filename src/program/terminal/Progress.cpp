#include "terminal/Progress.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "common/ProgramName.h"
#include "platform/Interruption.h"

using fraction::FRACTION_RECORD_SIZE;

namespace {

constexpr auto kQuietStart = std::chrono::milliseconds(500);
// A file of a million records or more is long work from the start.
constexpr std::uint64_t kLargeFileBytes = std::uint64_t{1000000} * FRACTION_RECORD_SIZE;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// How many looks at the clock a phase gets at the most.
constexpr std::uint64_t kLooksPerPhase = 1000;
// A phase that has run this long shows its records and the time left.
constexpr auto kDetailAfter = std::chrono::seconds(2);
constexpr std::uint64_t kSecondsShownAsSeconds = 100;

}  // namespace

std::string progressText(std::string_view name, std::uint64_t done, std::uint64_t total,
                         std::uint64_t stepsPerRecord, std::chrono::steady_clock::duration elapsed)
{
    // A phase whose total is an estimate may run past it: it shows 99%
    // until it ends.
    const std::uint64_t shownDone = std::min(done, total);
    const std::uint64_t percent =
        total == 0 ? 0 : std::min<std::uint64_t>(99, shownDone * 100 / total);
    std::string text(programName());
    text += ": ";
    text += name;
    text += ' ';
    text += std::to_string(percent);
    text += '%';
    if (elapsed < kDetailAfter || shownDone == 0) {
        return text;
    }
    if (stepsPerRecord != 0) {
        text += ", " + std::to_string(shownDone / stepsPerRecord) + " of " +
                std::to_string(total / stepsPerRecord) + " records";
    }
    // The pace so far, over the steps still to do; in whole seconds, up.
    const auto elapsedMilliseconds = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    const long double leftMilliseconds = static_cast<long double>(elapsedMilliseconds) *
                                         static_cast<long double>(total - shownDone) /
                                         static_cast<long double>(shownDone);
    const auto leftSeconds = static_cast<std::uint64_t>(std::ceil(leftMilliseconds / 1000.0L));
    if (leftSeconds < kSecondsShownAsSeconds) {
        text += ", " + std::to_string(leftSeconds) + " s left";
    } else {
        text += ", " + std::to_string((leftSeconds + 59) / 60) + " min left";
    }
    return text;
}

void Progress::phase(std::string_view name, std::uint64_t total, std::uint64_t stepsPerRecord)
{
    if (!enabled()) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (!started) {
        started = now;
    }
    phaseStarted = now;
    phaseName = name;
    phaseTotal = total;
    phaseStepsPerRecord = stepsPerRecord;
    lookEvery = std::max<std::uint64_t>(1, total / kLooksPerPhase);
    lookFrom(0);
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
    lookFrom(done + lookEvery);
    const Clock::time_point now = Clock::now();
    if ((quietStart && now - *started < kQuietStart) || now - lastDrawn < kRedrawInterval) {
        return;
    }
    lastDrawn = now;
    std::string line =
        progressText(phaseName, done, phaseTotal, phaseStepsPerRecord, now - phaseStarted);
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
