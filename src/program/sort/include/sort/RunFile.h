#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Outcome.h"
#include "fraction/FractionRecord.h"
#include "platform/Platform.h"

namespace sorting {

// A stretch of sorted entries in a run file, counted in entries.
struct Run {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

// Sorted runs of sort entries, one after another in one temporary file
// without a name, so that it never outlives the process, and so that any
// number of runs takes one file descriptor. The entries are kept in the
// machine's own layout: nothing else ever reads them.
//
// Every failure is told as one line fit to follow "fraction: ", naming the
// directory and the system's reason.
class RunFile {
public:
    // Makes the file in `directory`.
    [[nodiscard]] static Result<RunFile> create(const std::string& directory);

    // Starts a new, empty run at the end of the file.
    void startRun();

    // Appends entries to the run last started.
    [[nodiscard]] Status append(const fraction::FractionRecord* entries, std::size_t count);

    // Reads `count` entries from entry `position` on.
    [[nodiscard]] Status read(std::uint64_t position, fraction::FractionRecord* entries,
                              std::size_t count);

    // Tells the system that `count` entries from entry `position` on will
    // be read soon.
    void adviseReadSoon(std::uint64_t position, std::size_t count) const noexcept;

    [[nodiscard]] const std::vector<Run>& runs() const noexcept { return stored; }

private:
    RunFile(platform::TemporaryFile opened, std::string where)
        : file(std::move(opened)), directory(std::move(where))
    {
    }

    platform::TemporaryFile file;
    std::string directory;
    std::vector<Run> stored;
    std::uint64_t end = 0;
};

}  // namespace sorting
