#pragma once

#include <array>
#include <cstddef>
#include <ostream>
#include <streambuf>
#include <string>

#include "platform/Platform.h"

// A file written so that a failure never destroys what was there before.
//
// A regular file, or a name that does not exist yet, is written to a
// temporary file in the same directory and put in its place by finish();
// through a symbolic link, the file it points to is what gets replaced. A
// name that is not a regular file (a device such as /dev/full, a pipe) is
// written in place. A name that cannot be opened for writing (a directory, a
// missing directory, a file or directory without write permission) leaves
// the object closed, with nothing created. The temporary file never
// outlives the object.
class OutputFile {
public:
    explicit OutputFile(const std::string& name);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] std::ostream& stream();

    // True when the file is written beside its target, so that its first
    // bytes can be written again once the rest is known.
    [[nodiscard]] bool canRewriteStart() const;

    // Writes `size` bytes again at the start of the file, over what was
    // written there first. Only where canRewriteStart().
    [[nodiscard]] std::string rewriteStart(const char* data, std::size_t size);

    // Checks that every write reached the file and puts it in place.
    // Returns an empty string on success, or what went wrong.
    [[nodiscard]] std::string finish();

private:
    // A stream buffer over the platform's file that keeps the system's
    // description of the first write that failed.
    class FileBuffer : public std::streambuf {
    public:
        explicit FileBuffer(platform::WritableFile& target);
        [[nodiscard]] const std::string& firstError() const { return error; }

    protected:
        int_type overflow(int_type character) override;
        std::streamsize xsputn(const char* data, std::streamsize size) override;
        int sync() override;

    private:
        bool writeOut(const char* data, std::size_t size);
        bool drain();

        platform::WritableFile& file;
        std::array<char, std::size_t{16} * 1024> block{};
        std::string error;
    };

    std::string targetPath;
    // Empty when writing in place or once the file is in place.
    std::string temporaryPath;
    platform::WritableFile file;
    FileBuffer buffer{file};
    std::ostream out{&buffer};
};
