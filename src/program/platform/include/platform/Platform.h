#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "common/Outcome.h"

// What the programs need of the operating system beyond the standard
// streams and std::filesystem, behind one interface. PosixPlatform.cpp and
// WindowsPlatform.cpp implement it; the build compiles exactly one of them,
// so nothing above this layer knows which system it runs on.
//
// Calls that can fail say so with a Status or a Result (common/Outcome.h),
// the reason being the system's description of the failure.
namespace platform {

enum class StandardStream { input, output, error };

// Makes sure that standard input, output and error are open, before the
// program opens anything: a file opened while one of them is closed would
// take its number and be read or written as that stream. One found closed
// is opened on the null device in the direction that fails, input for
// writing and the others for reading, so that its use fails as on a
// closed one. Returns null when done, or the system's description of why
// the null device cannot be opened: then the program must end at once.
[[nodiscard]] const char* reserveStandardDescriptors() noexcept;

// True when the stream is an interactive terminal (a console on Windows).
[[nodiscard]] bool isTerminal(StandardStream stream) noexcept;

// True when the stream is a regular file, which alone can tell its size: a
// device such as /dev/urandom answers a seek to its end with where it is.
[[nodiscard]] bool isRegularFile(StandardStream stream) noexcept;

// One file, whatever the names that reach it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
};

[[nodiscard]] inline bool operator==(const FileIdentity& a, const FileIdentity& b) noexcept
{
    return a.device == b.device && a.number == b.number;
}

// What the system reaches by a name, following symbolic links as opening
// the name would, under the same protections: Linux, for one, refuses to
// follow a link that another user planted in a shared directory such as
// /tmp (fs.protected_symlinks).
// The file reached, or none (a name free for a new file, or one in a
// missing directory); a failure when the name cannot be used at all (such
// a link, a name too long, a loop of links).
[[nodiscard]] Result<std::optional<FileIdentity>> lookUp(const std::string& path);

// Standard output or standard error when the existing file `path` names
// the very file behind it (the same device and file number), reached by
// any name: /dev/stdout, /dev/fd/1, a FIFO's path, a log file's own name.
[[nodiscard]] std::optional<StandardStream> standardStreamBehind(const std::string& path);

// The steps of writing a file, and of keeping data in a temporary one, that
// a test build of the programs can make fail, one call at a time.
enum class Operation {
    create,
    // Making a TemporaryFile that never has a name.
    createUnnamed,
    write,
    // Reading a TemporaryFile back.
    read,
    // Reading the input, beneath the standard streams; only the test build
    // reaches it, by failing the system's read() itself.
    readInput,
    flushToDisk,
    // Making a rename durable by flushing its directory.
    flushDirectory,
    copyPermissions,
    copyOwner,
    close,
    rename,
    remove,
    allocate,
};

// The error number this call of `operation` is to fail with, or 0 for none.
// The programs as shipped link the version that always answers 0
// (NoInjectedFailures.cpp); the test build links one that fails the calls
// its environment names (tests/FaultInjection.cpp).
[[nodiscard]] int injectedFailure(Operation operation) noexcept;

// Runs `undo` when the process is told to end (the signals that end a
// process unless handled, as GNU tools handle them: SIGHUP, SIGINT,
// SIGPIPE, SIGQUIT, SIGTERM, SIGALRM, SIGXCPU, SIGVTALRM, SIGPROF and
// SIGPOLL where there is one; Ctrl-C, Ctrl-Break and closing the console on
// Windows), then ends it as that signal would have. A signal ignored when
// the program started stays ignored. SIGXFSZ is ignored, so that a write
// past the file-size limit fails with a reason that can be told. `undo` runs in a signal handler
// (or, on Windows, on another thread): it may only make the calls below marked safe there.
void onTermination(void (*undo)() noexcept);

// While it lives, the termination signals wait (on Windows, the undoing
// does): one that arrives meanwhile is acted on once it ends. It spans
// making a named file and handing the name to the undoing, so that no
// signal falls between the two and leaves the file. Not nested.
class TerminationDeferred {
public:
    TerminationDeferred() noexcept;
    TerminationDeferred(const TerminationDeferred&) = delete;
    TerminationDeferred& operator=(const TerminationDeferred&) = delete;
    ~TerminationDeferred();

private:
    // On POSIX, the signals that were held already, one bit each, which
    // stay held.
    unsigned heldBefore = 0;
};

// Writes the bytes to standard error, unbuffered, ignoring any failure.
// Safe in a signal handler.
void writeToErrorsAtOnce(const char* data, std::size_t size) noexcept;

// The keys that end the input typed at this system's terminals.
[[nodiscard]] const char* endOfInputKeys() noexcept;

// Makes the standard streams pass their bytes on as written. Windows would
// otherwise turn every "\n" written into "\r\n" and read a fraction file
// on standard input as text; elsewhere this is how they are already, and
// the call does nothing.
void useBinaryStandardStreams() noexcept;

// Why a file could not be opened or created: the system's description,
// and what the caller may do about it.
class OpenFailure : public Failure {
public:
    // cppcheck-suppress passedByValue
    OpenFailure(std::string why, bool refused, bool takesNone = false) noexcept
        : Failure(std::move(why)), denied(refused), noNewFile(takesNone)
    {
    }

    // The system refused this process the access (rather than failing).
    [[nodiscard]] bool permissionDenied() const noexcept { return denied; }
    // The directory is there, yet takes no new file: /proc on Linux says
    // "No such file or directory" to a file created in it.
    [[nodiscard]] bool takesNoNewFile() const noexcept { return noNewFile; }

private:
    bool denied = false;
    bool noNewFile = false;
};

class WritableFile;
using OpenedFile = Result<WritableFile, OpenFailure>;

// A file open for writing. The object closes it when it ends, dropping any
// error; close() reports one.
class WritableFile {
public:
    WritableFile() noexcept = default;
    WritableFile(WritableFile&& other) noexcept
        : handle(std::exchange(other.handle, kClosed)), owned(other.owned)
    {
    }
    WritableFile& operator=(WritableFile&& other) noexcept
    {
        if (this != &other) {
            discard();
            handle = std::exchange(other.handle, kClosed);
            owned = other.owned;
        }
        return *this;
    }
    WritableFile(const WritableFile&) = delete;
    WritableFile& operator=(const WritableFile&) = delete;
    ~WritableFile() { discard(); }

    // Opens an existing file where it is, emptied: for what cannot be
    // replaced by a rename (a device, a pipe) or should not be (a file with
    // other names).
    [[nodiscard]] static OpenedFile openInPlace(const std::string& path);

    // Standard output or standard error, written at its current position
    // and left open by close().
    [[nodiscard]] static WritableFile standardStream(StandardStream stream) noexcept;

    // Writes all `size` bytes.
    [[nodiscard]] Status write(const char* data, std::size_t size);

    // Writes all `size` bytes at byte `offset`, where the file can seek;
    // later write() calls go on where they left off.
    [[nodiscard]] Status writeAt(std::uint64_t offset, const char* data, std::size_t size);

    // Waits until what was written is on the storage device.
    [[nodiscard]] Status flushToDisk();

    // Gives the file the permission bits of the existing file `model`, or,
    // when model is empty, those that creating a file directly would give.
    // Windows keeps no such bits: there this does nothing and succeeds.
    [[nodiscard]] Status takePermissions(const std::string& model);

    // Gives the file the owner and group of the existing file `model`, as
    // far as this process may: a group it belongs to when the owner cannot
    // be given, nothing more when neither can. Windows keeps the owner of
    // whoever creates the file: there this does nothing and succeeds.
    [[nodiscard]] Status takeOwner(const std::string& model);

    // Closes the file; a standard stream is left open.
    [[nodiscard]] Status close();

private:
    friend class Directory;

    static constexpr std::intptr_t kClosed = -1;

    explicit WritableFile(std::intptr_t nativeHandle, bool ownsHandle = true) noexcept
        : handle(nativeHandle), owned(ownsHandle)
    {
    }

    [[nodiscard]] bool isOpen() const noexcept;

    // Closes the file, if open, without reporting an error.
    void discard() noexcept;

    // A file descriptor on POSIX, a HANDLE on Windows.
    std::intptr_t handle = kClosed;
    // False for a standard stream, which the process keeps open.
    bool owned = true;
};

// Whether this process may open the existing file `path` for writing, and
// the system's reason when not. Nothing is changed.
[[nodiscard]] Status canWrite(const std::string& path);

// The directory a file is written in, held from making the temporary file
// to putting it in place or removing it. Every name is taken relative to it
// (on POSIX, to a descriptor of it; Windows keeps its path), so that each
// step reaches the same directory however it is renamed or moved meanwhile.
class Directory {
public:
    // The directory that holds `target` (the working directory for a bare
    // name).
    [[nodiscard]] static Result<Directory, OpenFailure> holding(const std::string& target);

    Directory() noexcept = default;
    Directory(Directory&& other) noexcept
        : handle(std::exchange(other.handle, kClosed)), path(std::move(other.path))
    {
    }
    Directory& operator=(Directory&& other) noexcept
    {
        if (this != &other) {
            discard();
            handle = std::exchange(other.handle, kClosed);
            path = std::move(other.path);
        }
        return *this;
    }
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;
    ~Directory() { discard(); }

    // Creates a new file with a unique hidden name made from `model`'s, so
    // that replace() can later put it in model's place; `name` receives its
    // name here, which fits the system's limit whatever the length of
    // model's. A failure, with `name` empty, when no file can be made here.
    [[nodiscard]] OpenedFile createBeside(const std::string& model, std::string& name) const;

    // Puts the file `from` in the place of `to` in one step, replacing the
    // file `to` named; neither a reader nor a crash sees a half-written `to`.
    [[nodiscard]] Status replace(const std::string& from, const std::string& to) const;

    // Waits until the names changed here are on the storage device, so that
    // a crash cannot undo a replace() that returned. A file system that
    // cannot do so (some network ones refuse) is not a failure.
    [[nodiscard]] Status flushToDisk() const;

    // Removes the file `name`; false when it cannot. Allocates nothing, so
    // that it serves a destructor on a machine out of memory.
    bool remove(const char* name) const noexcept;

    // Removes the file `name`, ignoring any failure. Safe in a signal
    // handler.
    void removeAtOnce(const char* name) const noexcept;

private:
    static constexpr std::intptr_t kClosed = -1;

    void discard() noexcept;

    // A descriptor on POSIX; unused on Windows.
    std::intptr_t handle = kClosed;
    // The directory's path on Windows; unused on POSIX.
    std::string path;
};

// A file with no name, for data that must never outlive the process: it
// is gone once closed, and also when the process is killed. On POSIX it is
// made unnamed (O_TMPFILE) or unlinked as soon as it is made; on Windows
// the system deletes it when the last handle closes.
class TemporaryFile {
public:
    TemporaryFile() noexcept = default;
    TemporaryFile(TemporaryFile&& other) noexcept : handle(std::exchange(other.handle, kClosed)) {}
    TemporaryFile& operator=(TemporaryFile&& other) noexcept
    {
        if (this != &other) {
            discard();
            handle = std::exchange(other.handle, kClosed);
        }
        return *this;
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { discard(); }

    // Makes one in `directory`.
    [[nodiscard]] static Result<TemporaryFile> create(const std::string& directory);

    // Writes all `size` bytes at byte `offset`.
    [[nodiscard]] Status writeAt(std::uint64_t offset, const char* data, std::size_t size);

    // Reads `size` bytes at byte `offset` into `data`; tells how many came,
    // fewer only at the end of the file.
    [[nodiscard]] Result<std::size_t> readAt(std::uint64_t offset, char* data, std::size_t size);

    // Tells the system that `size` bytes at byte `offset` will be read
    // soon, so that it can start reading them from the disk now.
    void adviseReadSoon(std::uint64_t offset, std::size_t size) const noexcept;

private:
    static constexpr std::intptr_t kClosed = -1;

    explicit TemporaryFile(std::intptr_t nativeHandle) noexcept : handle(nativeHandle) {}

    [[nodiscard]] bool isOpen() const noexcept;
    void discard() noexcept;

    // A file descriptor on POSIX, a HANDLE on Windows.
    std::intptr_t handle = kClosed;
};

// The system's directory for temporary files when nothing names one.
[[nodiscard]] std::string systemTemporaryDirectory();

// What limits this process's memory, as far as the system tells; each is
// empty where there is no such limit or the system does not say.
struct MemoryLimits {
    // What the address-space limit (RLIMIT_AS) leaves beside the address
    // space the process already has.
    std::optional<std::uint64_t> addressSpaceLeft;
    // What the data-segment limit (RLIMIT_DATA) leaves beside the data the
    // process already has.
    std::optional<std::uint64_t> dataSegmentLeft;
    // Memory the system can give without swapping.
    std::optional<std::uint64_t> systemAvailable;
    // All the memory the machine has, used or not.
    std::optional<std::uint64_t> physicalMemory;
};

[[nodiscard]] MemoryLimits memoryLimits();

// What the memory limits of the control groups this process is in leave
// (Linux); empty where no group limits memory.
[[nodiscard]] std::optional<std::uint64_t> controlGroupMemoryLeft();

// The processors this process may run on at once: those its affinity mask
// allows, no more than its control groups' CPU quota grants; at least 1.
[[nodiscard]] unsigned processorsAvailable();

// Tells the system that the memory [start, start + size) is one large
// block filled from end to end, which it may back with large pages: fewer
// page faults where a report fills hundreds of megabytes. Only a hint.
void adviseLargeBlock(void* start, std::size_t size) noexcept;

// Whether the file `path` can be opened for reading, and why not in the
// system's words ("No such file or directory", "File name too long").
[[nodiscard]] Status canRead(const std::string& path);

}  // namespace platform
