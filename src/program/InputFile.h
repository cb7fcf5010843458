#pragma once

#include <cstdint>
#include <fstream>
#include <istream>
#include <streambuf>
#include <string>

#include "common/Outcome.h"

// Opens the file `name` for reading in binary mode into `file`, or fails
// with the system's reason ("No such file or directory", "Is a directory",
// "Permission denied").
[[nodiscard]] Status openInputFile(const std::string& name, std::ifstream& file);

// True when the input can tell its size: a regular file, by the name `name`,
// or standard input when `name` is empty.
[[nodiscard]] bool inputHasSize(const std::string& name);

// Another stream's bytes with no position: for an input that is not a
// regular file, whose size is unknown. A device's position is no size
// (/dev/urandom answers a seek to its end with where it is), so nothing
// reading through this may take one for it.
class StreamOnly : public std::istream {
public:
    explicit StreamOnly(std::istream& source);

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(std::streambuf* source) : from(source) {}

    protected:
        int_type underflow() override { return from->sgetc(); }
        int_type uflow() override { return from->sbumpc(); }
        std::streamsize xsgetn(char* data, std::streamsize size) override
        {
            return from->sgetn(data, size);
        }
        std::streamsize showmanyc() override { return from->in_avail(); }

    private:
        std::streambuf* from;
    };

    Buffer buffer;
};

// The warning for bytes after the records a count of `count` counts.
[[nodiscard]] std::string describeTrailingBytes(std::int32_t count);
