#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

// What the programs need of the operating system beyond the standard
// streams and std::filesystem, behind one interface. PosixPlatform.cpp and
// WindowsPlatform.cpp implement it; the build compiles exactly one of them,
// so nothing above this layer knows which system it runs on.
//
// Calls that can fail return the system's description of the failure, and
// an empty string on success.
namespace platform {

enum class StandardStream { input, output, error };

// True when the stream is an interactive terminal (a console on Windows).
[[nodiscard]] bool isTerminal(StandardStream stream) noexcept;

// The keys that end the input typed at this system's terminals.
[[nodiscard]] const char* endOfInputKeys() noexcept;

// Makes standard output and standard error pass their bytes on as written.
// Windows would otherwise turn every "\n" into "\r\n"; elsewhere this is
// how they are already, and the call does nothing.
void useBinaryStandardStreams() noexcept;

// A file open for writing. The object closes it when it ends, dropping any
// error; close() reports one.
class WritableFile {
public:
    WritableFile() noexcept = default;
    WritableFile(WritableFile&& other) noexcept : handle(std::exchange(other.handle, kClosed)) {}
    WritableFile& operator=(WritableFile&& other) noexcept
    {
        if (this != &other) {
            discard();
            handle = std::exchange(other.handle, kClosed);
        }
        return *this;
    }
    WritableFile(const WritableFile&) = delete;
    WritableFile& operator=(const WritableFile&) = delete;
    ~WritableFile() { discard(); }

    // Opens an existing file where it is, emptied: for what is not a regular
    // file (a device, a pipe), which cannot be replaced by a rename. Closed
    // when it cannot be opened.
    [[nodiscard]] static WritableFile openInPlace(const std::string& path);

    // Creates a new file with a unique name in the directory of `target`, so
    // that replace() can later put it in target's place; `path` receives its
    // name. Closed, with `path` empty, when no file can be created there.
    [[nodiscard]] static WritableFile createBeside(const std::string& target, std::string& path);

    [[nodiscard]] bool isOpen() const noexcept;

    // Writes all `size` bytes.
    [[nodiscard]] std::string write(const char* data, std::size_t size);

    // Writes all `size` bytes at byte `offset`, where the file can seek;
    // later write() calls go on where they left off.
    [[nodiscard]] std::string writeAt(std::uint64_t offset, const char* data, std::size_t size);

    // Waits until what was written is on the storage device.
    [[nodiscard]] std::string flushToDisk();

    // Gives the file the permission bits of the existing file `model`, or,
    // when model is empty, those that creating a file directly would give.
    // Windows keeps no such bits: there this does nothing and succeeds.
    [[nodiscard]] std::string takePermissions(const std::string& model);

    [[nodiscard]] std::string close();

private:
    static constexpr std::intptr_t kClosed = -1;

    explicit WritableFile(std::intptr_t nativeHandle) noexcept : handle(nativeHandle) {}

    // Closes the file, if open, without reporting an error.
    void discard() noexcept;

    // A file descriptor on POSIX, a HANDLE on Windows.
    std::intptr_t handle = kClosed;
};

// True when this process may open the existing file `path` for writing.
// Nothing is changed.
[[nodiscard]] bool canWrite(const std::string& path);

// Puts the file `from` in the place of `to` in one step, replacing the file
// `to` named; neither a reader nor a crash sees a half-written `to`.
[[nodiscard]] std::string replace(const std::string& from, const std::string& to);

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

    // Makes one in `directory`. Closed, with `error` holding the system's
    // reason, when none can be made there.
    [[nodiscard]] static TemporaryFile create(const std::string& directory, std::string& error);

    [[nodiscard]] bool isOpen() const noexcept;

    // Writes all `size` bytes at byte `offset`.
    [[nodiscard]] std::string writeAt(std::uint64_t offset, const char* data, std::size_t size);

    // Reads `size` bytes at byte `offset` into `data`; `got` tells how many
    // came, fewer only at the end of the file.
    [[nodiscard]] std::string readAt(std::uint64_t offset, char* data, std::size_t size,
                                     std::size_t& got);

private:
    static constexpr std::intptr_t kClosed = -1;

    explicit TemporaryFile(std::intptr_t nativeHandle) noexcept : handle(nativeHandle) {}

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
};

[[nodiscard]] MemoryLimits memoryLimits();

}  // namespace platform
