#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "common/Outcome.h"
#include "platform/Interruption.h"
#include "platform/Platform.h"

// A file written so that nothing the user had is lost on the way.
//
// A new name, or an existing regular file, is written to a temporary file
// in the same directory and put in its place by finish(), keeping the old
// file's permission bits, and its owner and group as far as the process may
// set them; through a symbolic link, the file it points to is what gets
// replaced. A failure before that leaves the old file exactly as it was,
// and the temporary file never outlives the object, nor the process when a
// signal ends it.
//
// Some files cannot or must not be replaced, and are written in place:
//  - the file behind standard output or standard error, by any name
//    (/dev/stdout, /dev/fd/2, a log file's own name): written through that
//    stream at its position, after what is already there;
//  - what is not a regular file (a device such as /dev/full, a pipe, a
//    FIFO, a terminal);
//  - a file with other names (hard links), which a replacement would part
//    from the new contents;
//  - a writable file in a directory where the process may not create the
//    temporary file.
// In place, a regular file is emptied when the object is made, which the
// programs do only once everything to be written is ready, as sort -o
// does; a failure while writing then leaves it cut short.
//
// A name that cannot be written (a directory, a missing directory, a file
// or directory without write permission, a name too long) is refused, with
// nothing created, and the reason why. So is a
// link the system itself would not follow, such as one that another user
// planted in a shared directory like /tmp: following links here reaches no
// file that opening the name would not.
class OutputFile {
public:
    enum class Links {
        // The file at the end of a chain of symbolic links is written.
        follow,
        // The name itself is replaced, a link by a file: for a file the
        // program owns, which must never be written through a link.
        replace,
    };

private:
    struct Opening {};

public:
    // The file `name`, open to be written, or the system's reason why it
    // cannot be.
    [[nodiscard]] static Result<std::unique_ptr<OutputFile>> open(const std::string& name,
                                                                  Links links = Links::follow);
    // Writes through standard output or standard error itself, at its
    // position, as the name /dev/stdout or /dev/stderr would.
    explicit OutputFile(platform::StandardStream stream);
    // Only open() makes one by name.
    explicit OutputFile(Opening /*unused*/) {}
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    [[nodiscard]] std::ostream& stream();

    // True when the file is written beside its target, so that its first
    // bytes can be written again once the rest is known.
    [[nodiscard]] bool canRewriteStart() const;

    // Writes `size` bytes again at the start of the file, over what was
    // written there first. Only where canRewriteStart().
    [[nodiscard]] Status rewriteStart(const char* data, std::size_t size);

    // Checks that every write reached the file and puts it in place.
    [[nodiscard]] Status finish();

    // The system's reason for the first write that failed; a success while
    // none has.
    [[nodiscard]] const Status& firstWriteError() const { return buffer.firstError(); }

private:
    // A stream buffer over the platform's file that keeps the system's
    // description of the first write that failed.
    class FileBuffer : public std::streambuf {
    public:
        explicit FileBuffer(platform::WritableFile& target);
        [[nodiscard]] const Status& firstError() const { return error; }

    protected:
        int_type overflow(int_type character) override;
        std::streamsize xsputn(const char* data, std::streamsize size) override;
        int sync() override;

    private:
        bool writeOut(const char* data, std::size_t size);
        bool drain();

        platform::WritableFile& file;
        // On the heap: the object lives on the stack of programs that must
        // run with a small one.
        std::vector<char> block;
        Status error;
    };

    [[nodiscard]] Status openFollowingLinks(const std::string& name);
    [[nodiscard]] Status openReplacingName(const std::string& name);
    // Makes the temporary file `created` the one written, with the
    // permissions and owner of the file it replaces, if any.
    [[nodiscard]] Status keepTemporary(platform::WritableFile created, bool replacesExisting);
    [[nodiscard]] Status openInPlace();

    // The temporary file while it is not in place: removed when dropped,
    // and by a signal meanwhile. A member of its own, so that it is removed
    // also when making the object fails half-way. Its name and the target's
    // are taken relative to their directory, held open, so that moving the
    // directory meanwhile leaves nothing behind.
    class Temporary {
    public:
        Temporary() = default;
        Temporary(const Temporary&) = delete;
        Temporary& operator=(const Temporary&) = delete;
        ~Temporary() { drop(); }

        // Creates the file beside `target`.
        [[nodiscard]] platform::OpenedFile create(const std::string& target);
        [[nodiscard]] bool empty() const noexcept { return name.empty(); }
        // Puts the file in target's place, for good.
        [[nodiscard]] Status replaceTarget();
        // Removes the file.
        void drop() noexcept;

    private:
        // Lets the name go once the file has moved to its place.
        void release() noexcept;

        platform::Directory directory;
        // Empty when there is none.
        std::string name;
        std::string targetName;
        std::optional<interruption::RemovedOnInterruption> removal;
    };

    std::string targetPath;
    // Declared before the file, so that the file is closed before the
    // temporary is removed: some systems cannot remove an open file.
    Temporary temporary;
    platform::WritableFile file;
    FileBuffer buffer{file};
    std::ostream out{&buffer};
};
