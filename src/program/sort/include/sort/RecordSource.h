#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>

#include "common/Outcome.h"
#include "fraction/FractionRecord.h"
#include "platform/Platform.h"

namespace sorting {

// Where the records of a file too large for memory come from, a block at a
// time: the input stream itself when it can tell its length (it was checked
// against the count before), or a temporary copy of a stream that cannot,
// such as a pipe, made whole before the report begins.
class RecordSource {
public:
    // `name` is the stream's, for the message when it ends early.
    RecordSource(std::istream& stream, std::string name) : in(&stream), directory(std::move(name))
    {
    }

    // Copies `count` records of `stream` into a temporary file in
    // `directory`. Fails, with a reason fit to follow "fraction: ", when
    // the file cannot be made or written; `arrivedBytes` tells how many
    // bytes of records came, which is less than count records only when
    // the stream ended first.
    [[nodiscard]] static Result<RecordSource> copyOf(std::istream& stream, std::uint64_t count,
                                                     const std::string& directory,
                                                     std::uint64_t& arrivedBytes);

    // Reads the next `count` records, decoded. Fails when the file is
    // shorter than it was found to be.
    [[nodiscard]] Status read(fraction::FractionRecord* records, std::size_t count);

private:
    RecordSource(platform::TemporaryFile file, std::string where)
        : copy(std::move(file)), directory(std::move(where))
    {
    }

    std::istream* in = nullptr;
    platform::TemporaryFile copy;
    // Where the records are: the temporary directory, or the input's name.
    std::string directory;
    std::uint64_t position = 0;
};

}  // namespace sorting
