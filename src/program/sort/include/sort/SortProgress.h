#pragma once

#include <cstdint>
#include <string_view>

namespace sorting {

// Whoever watches how far the sort's work has come: the terminal's
// progress line in the report. The sort says what it does and how far it
// is; how, and whether, that shows is the watcher's.
class SortProgress {
public:
    SortProgress() = default;
    SortProgress(const SortProgress&) = delete;
    SortProgress& operator=(const SortProgress&) = delete;
    virtual ~SortProgress() = default;

    // Whether anybody watches: a sort nobody watches need not count its steps.
    [[nodiscard]] virtual bool enabled() const noexcept = 0;

    // A new phase of `total` steps, none done yet; every `stepsPerRecord`
    // steps are a record (0 when the steps are no records, as a sort's
    // comparisons are not).
    virtual void phase(std::string_view name, std::uint64_t total,
                       std::uint64_t stepsPerRecord = 0) = 0;

    // `done` steps of the phase are done. Called once a step, so it stays a
    // comparison until the watcher asked to look again.
    void advance(std::uint64_t done)
    {
        if (done >= nextLook) {
            look(done);
        }
    }

protected:
    // What advance() does from the step the watcher last asked for on.
    virtual void look(std::uint64_t done) = 0;

    // advance() calls look() again from step `step` on.
    void lookFrom(std::uint64_t step) noexcept { nextLook = step; }

private:
    std::uint64_t nextLook = UINT64_MAX;
};

}  // namespace sorting
