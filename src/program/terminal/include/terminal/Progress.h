#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "fraction/FractionFile.h"
#include "sort/SortProgress.h"

// The progress line's text for `done` of `total` steps of the phase `name`,
// which began `elapsed` ago: the phase and its percentage, and once it has
// run a couple of seconds, the records done (when steps are records) and
// the time left at the pace so far.
[[nodiscard]] std::string progressText(std::string_view name, std::uint64_t done,
                                       std::uint64_t total, std::uint64_t stepsPerRecord,
                                       std::chrono::steady_clock::duration elapsed);

// One line on a terminal that tells how far a long report has come (see
// progressText), redrawn in place at most ten times a second, first drawn
// once the work has run half a second, or at once for a file of a million
// records or more (short work shows nothing), and erased when the work is
// done, fails, or waits for an answer. A disabled Progress draws nothing
// and costs one comparison per call.
class Progress : public fraction::FileProgress, public sorting::SortProgress {
public:
    // Draws on `terminal`; on nothing, disabled, when it is null.
    explicit Progress(std::ostream* terminal) noexcept : out(terminal) {}
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    ~Progress() override { clear(); }

    [[nodiscard]] bool enabled() const noexcept override { return out != nullptr; }

    void phase(std::string_view name, std::uint64_t total,
               std::uint64_t stepsPerRecord = 0) override;

    void advanced(std::uint64_t done, std::uint64_t total) override;

    // Erases the line, if it is drawn.
    void clear();

private:
    using Clock = std::chrono::steady_clock;

    void look(std::uint64_t done) override;

    std::ostream* out = nullptr;
    std::string phaseName;
    std::uint64_t phaseTotal = 0;
    std::uint64_t phaseStepsPerRecord = 0;
    Clock::time_point phaseStarted{};
    // advance() looks at the clock every this many steps, so that a call
    // per step stays cheap.
    std::uint64_t lookEvery = 1;
    std::optional<Clock::time_point> started;
    Clock::time_point lastDrawn{};
    std::size_t drawnWidth = 0;
    bool quietStart = true;
};
