#pragma once

#include <fstream>
#include <string>

// A file written so that a failure never destroys what was there before.
//
// A regular file, or a name that does not exist yet, is written to a
// temporary file in the same directory and renamed into place by finish();
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

    // Checks that every write reached the file and puts it in place.
    // Returns an empty string on success, or what went wrong.
    [[nodiscard]] std::string finish();

private:
    bool openTemporaryBeside(const std::string& target, bool replacesExisting);

    std::string targetPath;
    // Empty when writing in place or once the file is in place.
    std::string temporaryPath;
    std::ofstream out;
};
