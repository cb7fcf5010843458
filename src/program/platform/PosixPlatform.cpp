// The platform interface on POSIX systems.

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/ControlGroups.h"
#include "platform/Platform.h"

namespace platform {

namespace {

Failure lastError()
{
    return Failure(std::strerror(errno));
}

// The call fails as the test build asks, setting errno as the system would.
bool failsByInjection(Operation operation) noexcept
{
    const int error = injectedFailure(operation);
    if (error == 0) {
        return false;
    }
    errno = error;
    return true;
}

OpenFailure openFailure()
{
    const int error = errno;
    return {std::strerror(error), error == EACCES || error == EPERM};
}

// Attempts at a free temporary name before giving up, as mkstemp makes.
constexpr int kTemporaryNameAttempts = 100;

// The letters that make a temporary name unique, as mkstemp fills them.
constexpr std::size_t kUniqueLetters = 6;

// The hidden temporary name for `model` in a directory whose names may be
// `longest` bytes: ".NAME.XXXXXX", NAME cut short where the whole would pass
// the limit, the X's to be replaced.
std::string temporaryPattern(const std::string& model, std::size_t longest)
{
    std::string name = model;
    const std::size_t room = longest - 2 - kUniqueLetters;
    if (name.size() > room) {
        name.resize(room);
    }
    return "." + name + "." + std::string(kUniqueLetters, 'X');
}

// Puts fresh letters in place of the last kUniqueLetters of `name`. The
// letters need not be secret, only unlikely to repeat: O_EXCL refuses a
// name that is taken and the next attempt tries another.
void fillUniqueLetters(std::string& name)
{
    static constexpr std::string_view kLetters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::atomic<std::uint64_t> drawn{0};
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // splitmix64 over the clock, the process and a count of names drawn.
    std::uint64_t value =
        (static_cast<std::uint64_t>(now.tv_nsec) << 20U) ^ static_cast<std::uint64_t>(now.tv_sec) ^
        (static_cast<std::uint64_t>(::getpid()) << 40U) ^ drawn.fetch_add(0x9e3779b97f4a7c15ULL);
    value = (value ^ (value >> 30U)) * 0xbf58476d1ce4e5b9ULL;
    value = (value ^ (value >> 27U)) * 0x94d049bb133111ebULL;
    value ^= value >> 31U;
    for (std::size_t index = name.size() - kUniqueLetters; index < name.size(); ++index) {
        name[index] = kLetters[static_cast<std::size_t>(value % kLetters.size())];
        value /= kLetters.size();
    }
}

std::optional<struct stat> statusOfDescriptor(int descriptor) noexcept
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return std::nullopt;
    }
    return status;
}

bool sameFile(const struct stat& a, const struct stat& b) noexcept
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The signals that end a process unless handled, and that a user or the
// system sends to say "stop now" (GNU tools handle the same ones). SIGXFSZ
// is not among them: it is ignored, so that a write past the file-size
// limit fails and is told.
constexpr std::array kTerminationSignals = {
    SIGHUP,  SIGINT, SIGPIPE, SIGQUIT, SIGTERM, SIGALRM, SIGXCPU, SIGVTALRM, SIGPROF,
#ifdef SIGPOLL
    SIGPOLL,
#endif
};

// Set once, before any handler that calls it is installed.
void (*undoOnTermination)() noexcept = nullptr;

// Installed with every termination signal blocked while it runs. The
// signal is raised again with its default action, so that the parent sees
// how the program ended, and let through here rather than when the handler
// returns: a runtime that runs handlers late (ThreadSanitizer does, from
// inside the next call it intercepts) may run this one while the code it
// interrupted holds the signal back, about to make a file, and the signal
// would then end the process later, without the handler, leaving the file.
//
// The default action comes back only here, once the signal is blocked.
// Given back on entry (SA_RESETHAND), it is in force for a moment before
// the system blocks the signal and runs the handler; the same signal sent
// again then (timeout(1) sends it to the process and to its group) ends
// the process at once, without the handler, leaving the temporary file.
//
// Should the process outlive its signal, the interrupted code gets back its
// errno, as from any handler.
extern "C" void endByTermination(int signalNumber)
{
    const int interruptedErrno = errno;
    undoOnTermination();
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    ::sigemptyset(&byDefault.sa_mask);
    ::sigaction(signalNumber, &byDefault, nullptr);
    sigset_t raised;
    ::sigemptyset(&raised);
    ::sigaddset(&raised, signalNumber);
    ::raise(signalNumber);
    // cppcheck-suppress unreachableCode ; raise() returns, the signal blocked
    ::pthread_sigmask(SIG_UNBLOCK, &raised, nullptr);
    errno = interruptedErrno;
}

sigset_t terminationSignalSet() noexcept
{
    sigset_t signals;
    ::sigemptyset(&signals);
    for (const int signalNumber : kTerminationSignals) {
        ::sigaddset(&signals, signalNumber);
    }
    return signals;
}

int descriptorOfStream(StandardStream stream) noexcept
{
    switch (stream) {
        case StandardStream::input:
            return STDIN_FILENO;
        case StandardStream::output:
            return STDOUT_FILENO;
        case StandardStream::error:
            break;
    }
    return STDERR_FILENO;
}

int descriptorOf(std::intptr_t handle) noexcept
{
    return static_cast<int>(handle);
}

// Offsets past 2 GiB must reach the system whole, also on 32-bit targets.
static_assert(sizeof(off_t) >= sizeof(std::int64_t), "build with _FILE_OFFSET_BITS=64");

// Writes all `size` bytes at byte `offset`, through interruptions; the
// output file and the run file share it.
Status writeWholeAt(int descriptor, std::uint64_t offset, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = failsByInjection(Operation::write)
                                    ? -1
                                    : ::pwrite(descriptor, data, size, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return {};
}

// The value of a "Name:   N kB" line of a /proc status file, in bytes.
std::optional<std::uint64_t> kibibytesField(const char* path, std::string_view name)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.size() > name.size() && line.compare(0, name.size(), name) == 0 &&
            line[name.size()] == ':') {
            const std::size_t digits = line.find_first_not_of(" \t", name.size() + 1);
            std::uint64_t kibibytes = 0;
            if (digits == std::string::npos ||
                std::from_chars(line.data() + digits, line.data() + line.size(), kibibytes).ec !=
                    std::errc()) {
                return std::nullopt;
            }
            constexpr std::uint64_t kKibibyte = 1024;
            return kibibytes * kKibibyte;
        }
    }
    return std::nullopt;
}

// What the limit `resource` leaves beside `inUse`; empty when there is no limit.
std::optional<std::uint64_t> limitLeft(int resource, std::optional<std::uint64_t> inUse)
{
    struct rlimit limit {};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::nullopt;
    }
    const std::uint64_t cap = limit.rlim_cur;
    const std::uint64_t used = inUse.value_or(0);
    return cap > used ? cap - used : 0;
}

mode_t currentUmask() noexcept
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

const char* reserveStandardDescriptors() noexcept
{
    for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(descriptor, F_GETFD) >= 0 || errno != EBADF) {
            continue;
        }
        // Every lower number is open by now, so this one is the lowest
        // free: the open takes it.
        const int flags = descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY;
        if (::open("/dev/null", flags) < 0) {
            return std::strerror(errno);
        }
    }
    return nullptr;
}

bool isTerminal(StandardStream stream) noexcept
{
    return ::isatty(descriptorOfStream(stream)) == 1;
}

bool isRegularFile(StandardStream stream) noexcept
{
    const std::optional<struct stat> status = statusOfDescriptor(descriptorOfStream(stream));
    return status && S_ISREG(status->st_mode);
}

Result<std::optional<FileIdentity>> lookUp(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        // A dangling link the system would follow reaches nothing too.
        if (errno == ENOENT) {
            return std::optional<FileIdentity>();
        }
        return lastError();
    }
    return std::optional<FileIdentity>(FileIdentity{status.st_dev, status.st_ino});
}

std::optional<StandardStream> standardStreamBehind(const std::string& path)
{
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0) {
        return std::nullopt;
    }
    for (const StandardStream stream : {StandardStream::output, StandardStream::error}) {
        const std::optional<struct stat> held = statusOfDescriptor(descriptorOfStream(stream));
        if (held && sameFile(*held, named)) {
            return stream;
        }
    }
    return std::nullopt;
}

void onTermination(void (*undo)() noexcept)
{
    undoOnTermination = undo;
    struct sigaction action {};
    action.sa_handler = endByTermination;
    // One handler at a time: a second signal waits until the first has
    // ended the process.
    action.sa_mask = terminationSignalSet();
    for (const int signalNumber : kTerminationSignals) {
        struct sigaction previous {};
        // A signal the parent chose to ignore (a background job's SIGINT)
        // stays ignored.
        if (::sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
            continue;
        }
        ::sigaction(signalNumber, &action, nullptr);
    }
    struct sigaction ignored {};
    ignored.sa_handler = SIG_IGN;
    ::sigemptyset(&ignored.sa_mask);
    ::sigaction(SIGXFSZ, &ignored, nullptr);
}

static_assert(kTerminationSignals.size() <= sizeof(unsigned) * CHAR_BIT);

TerminationDeferred::TerminationDeferred() noexcept
{
    const sigset_t signals = terminationSignalSet();
    sigset_t before;
    ::sigemptyset(&before);
    ::pthread_sigmask(SIG_BLOCK, &signals, &before);
    for (std::size_t index = 0; index < kTerminationSignals.size(); ++index) {
        if (::sigismember(&before, kTerminationSignals[index]) == 1) {
            heldBefore |= 1U << index;
        }
    }
}

TerminationDeferred::~TerminationDeferred()
{
    sigset_t released;
    ::sigemptyset(&released);
    for (std::size_t index = 0; index < kTerminationSignals.size(); ++index) {
        if ((heldBefore & (1U << index)) == 0) {
            ::sigaddset(&released, kTerminationSignals[index]);
        }
    }
    ::pthread_sigmask(SIG_UNBLOCK, &released, nullptr);
}

void writeToErrorsAtOnce(const char* data, std::size_t size) noexcept
{
    while (size > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

const char* endOfInputKeys() noexcept
{
    return "Ctrl-D";
}

void useBinaryStandardStreams() noexcept {}

OpenedFile WritableFile::openInPlace(const std::string& path)
{
    const int descriptor = failsByInjection(Operation::create)
                               ? -1
                               : ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (descriptor < 0) {
        return openFailure();
    }
    return WritableFile(descriptor);
}

WritableFile WritableFile::standardStream(StandardStream stream) noexcept
{
    return WritableFile(descriptorOfStream(stream), false);
}

bool WritableFile::isOpen() const noexcept
{
    return handle >= 0;
}

Status WritableFile::write(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written =
            failsByInjection(Operation::write) ? -1 : ::write(descriptorOf(handle), data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return {};
}

Status WritableFile::writeAt(std::uint64_t offset, const char* data, std::size_t size)
{
    return writeWholeAt(descriptorOf(handle), offset, data, size);
}

Status WritableFile::flushToDisk()
{
    if (failsByInjection(Operation::flushToDisk) || ::fsync(descriptorOf(handle)) != 0) {
        return lastError();
    }
    return {};
}

Status WritableFile::takePermissions(const std::string& model)
{
    struct stat existing {};
    mode_t mode = 0666U & ~currentUmask();
    if (!model.empty()) {
        if (::stat(model.c_str(), &existing) != 0) {
            return lastError();
        }
        mode = existing.st_mode & 07777U;
    }
    if (failsByInjection(Operation::copyPermissions) || ::fchmod(descriptorOf(handle), mode) != 0) {
        return lastError();
    }
    return {};
}

Status WritableFile::takeOwner(const std::string& model)
{
    struct stat existing {};
    if (::stat(model.c_str(), &existing) != 0) {
        return lastError();
    }
    const int descriptor = descriptorOf(handle);
    if (failsByInjection(Operation::copyOwner)) {
        return lastError();
    }
    if (::fchown(descriptor, existing.st_uid, existing.st_gid) == 0) {
        return {};
    }
    // Only a privileged process gives a file away; anyone may still give
    // it a group they belong to. What cannot be kept is not an error.
    if (errno == EPERM &&
        (::fchown(descriptor, static_cast<uid_t>(-1), existing.st_gid) == 0 || errno == EPERM)) {
        return {};
    }
    return lastError();
}

Status WritableFile::close()
{
    const int descriptor = descriptorOf(std::exchange(handle, kClosed));
    if (!owned) {
        return {};
    }
    const int injected = injectedFailure(Operation::close);
    // Closed whatever the answer: a descriptor that failed to close is gone.
    const bool closed = ::close(descriptor) == 0;
    if (injected != 0) {
        errno = injected;
    }
    if (!closed || injected != 0) {
        return lastError();
    }
    return {};
}

void WritableFile::discard() noexcept
{
    if (isOpen() && owned) {
        ::close(descriptorOf(handle));
    }
    handle = kClosed;
}

Status canWrite(const std::string& path)
{
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return lastError();
    }
    ::close(descriptor);
    return {};
}

Result<Directory, OpenFailure> Directory::holding(const std::string& target)
{
    const std::filesystem::path parent = std::filesystem::path(target).parent_path();
    const char* const name = parent.empty() ? "." : parent.c_str();
    int descriptor = ::open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef O_PATH
    // A directory that may be written but not listed still takes files;
    // only its flush is then refused.
    if (descriptor < 0 && errno == EACCES) {
        descriptor = ::open(name, O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
#endif
    if (descriptor < 0) {
        return openFailure();
    }
    Directory directory;
    directory.handle = descriptor;
    return directory;
}

OpenedFile Directory::createBeside(const std::string& model, std::string& name) const
{
    const int directory = descriptorOf(handle);
    const long limit = ::fpathconf(directory, _PC_NAME_MAX);
    // The name is made in full before the file: nothing may fail between
    // creating the file and handing its name over.
    name = temporaryPattern(std::filesystem::path(model).filename().string(),
                            limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX);
    int error = 0;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        fillUniqueLetters(name);
        const int descriptor =
            failsByInjection(Operation::create)
                ? -1
                : ::openat(directory, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor >= 0) {
            return WritableFile(descriptor);
        }
        error = errno;
        if (error != EEXIST) {
            break;
        }
    }
    name.clear();
    // The directory is there, held open: one that answers "no such file"
    // takes no new file (/proc).
    return OpenFailure(std::strerror(error), error == EACCES || error == EPERM, error == ENOENT);
}

Status Directory::replace(const std::string& from, const std::string& to) const
{
    const int directory = descriptorOf(handle);
    if (failsByInjection(Operation::rename) ||
        ::renameat(directory, from.c_str(), directory, to.c_str()) != 0) {
        return lastError();
    }
    return {};
}

Status Directory::flushToDisk() const
{
    if (failsByInjection(Operation::flushDirectory) || ::fsync(descriptorOf(handle)) != 0) {
        // What some file systems answer when they cannot flush a directory,
        // and a directory held only by its path (EBADF).
        // (ENOTSUP is EOPNOTSUPP on Linux, a number of its own elsewhere.)
        const int error = errno;
        if (error == EINVAL || error == EOPNOTSUPP || error == EROFS || error == EBADF
#if ENOTSUP != EOPNOTSUPP
            || error == ENOTSUP
#endif
        ) {
            return {};
        }
        return lastError();
    }
    return {};
}

bool Directory::remove(const char* name) const noexcept
{
    return !failsByInjection(Operation::remove) && ::unlinkat(descriptorOf(handle), name, 0) == 0;
}

void Directory::removeAtOnce(const char* name) const noexcept
{
    ::unlinkat(descriptorOf(handle), name, 0);
}

void Directory::discard() noexcept
{
    if (handle >= 0) {
        ::close(descriptorOf(std::exchange(handle, kClosed)));
    }
}

Result<TemporaryFile> TemporaryFile::create(const std::string& directory)
{
#ifdef O_TMPFILE
    // A file that never had a name: not even SIGKILL can leave it behind.
    const int unnamed =
        failsByInjection(Operation::createUnnamed)
            ? -1
            : ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        return TemporaryFile(unnamed);
    }
    // File systems without unnamed files say so in one of these ways; any
    // other answer is the directory's own trouble.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return lastError();
    }
#endif
    const std::string pattern = (std::filesystem::path(directory) / ".fraction-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // No signal may end the process while the file has its name.
    const TerminationDeferred deferred;
    const int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor < 0) {
        return lastError();
    }
    if (::unlink(name.data()) != 0) {
        Failure failure = lastError();
        ::close(descriptor);
        return failure;
    }
    return TemporaryFile(descriptor);
}

bool TemporaryFile::isOpen() const noexcept
{
    return handle >= 0;
}

Status TemporaryFile::writeAt(std::uint64_t offset, const char* data, std::size_t size)
{
    return writeWholeAt(descriptorOf(handle), offset, data, size);
}

Result<std::size_t> TemporaryFile::readAt(std::uint64_t offset, char* data, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t read = failsByInjection(Operation::read)
                                 ? -1
                                 : ::pread(descriptorOf(handle), data + got, size - got,
                                           static_cast<off_t>(offset + got));
        if (read < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        if (read == 0) {
            break;
        }
        got += static_cast<std::size_t>(read);
    }
    return got;
}

void TemporaryFile::adviseReadSoon(std::uint64_t offset, std::size_t size) const noexcept
{
#if defined(POSIX_FADV_WILLNEED)
    // A refusal changes nothing but the speed.
    static_cast<void>(::posix_fadvise(descriptorOf(handle), static_cast<off_t>(offset),
                                      static_cast<off_t>(size), POSIX_FADV_WILLNEED));
#else
    static_cast<void>(offset);
    static_cast<void>(size);
#endif
}

void TemporaryFile::discard() noexcept
{
    if (isOpen()) {
        ::close(descriptorOf(std::exchange(handle, kClosed)));
    }
}

std::string systemTemporaryDirectory()
{
    return P_tmpdir;
}

MemoryLimits memoryLimits()
{
    // Linux tells what the process already has in /proc; elsewhere the
    // limits are taken whole.
    MemoryLimits limits;
    limits.addressSpaceLeft = limitLeft(RLIMIT_AS, kibibytesField("/proc/self/status", "VmSize"));
    limits.dataSegmentLeft = limitLeft(RLIMIT_DATA, kibibytesField("/proc/self/status", "VmData"));
    limits.systemAvailable = kibibytesField("/proc/meminfo", "MemAvailable");
    if (!limits.systemAvailable) {
        const long pages = ::sysconf(_SC_AVPHYS_PAGES);
        const long pageSize = ::sysconf(_SC_PAGESIZE);
        if (pages > 0 && pageSize > 0) {
            limits.systemAvailable =
                static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
        }
    }
    const long physicalPages = ::sysconf(_SC_PHYS_PAGES);
    const long physicalPageSize = ::sysconf(_SC_PAGESIZE);
    if (physicalPages > 0 && physicalPageSize > 0) {
        limits.physicalMemory = static_cast<std::uint64_t>(physicalPages) *
                                static_cast<std::uint64_t>(physicalPageSize);
    }
    return limits;
}

namespace {

// The texts that say which control groups this process is in and where
// their hierarchies are mounted; empty off Linux.
struct ControlGroupTexts {
    std::optional<std::string> cgroups = control_groups::readWholeFile("/proc/self/cgroup");
    std::optional<std::string> mounts = control_groups::readWholeFile("/proc/self/mountinfo");
};

}  // namespace

std::optional<std::uint64_t> controlGroupMemoryLeft()
{
    const ControlGroupTexts texts;
    if (!texts.cgroups || !texts.mounts) {
        return std::nullopt;
    }
    return control_groups::memoryLeft(*texts.cgroups, *texts.mounts, control_groups::readWholeFile);
}

void adviseLargeBlock(void* start, std::size_t size) noexcept
{
#if defined(MADV_HUGEPAGE)
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page <= 0) {
        return;
    }
    // madvise wants a start on a page boundary: the pages wholly inside.
    const auto pageSize = static_cast<std::uintptr_t>(page);
    const auto begin = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t first = (begin + pageSize - 1) / pageSize * pageSize;
    if (first - begin < size) {
        // A refusal changes nothing but the speed.
        (void)::madvise(static_cast<char*>(start) + (first - begin), size - (first - begin),
                        MADV_HUGEPAGE);
    }
#else
    (void)start;
    (void)size;
#endif
}

unsigned processorsAvailable()
{
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    unsigned processors = online > 0 ? static_cast<unsigned>(online) : 1;
#if defined(__linux__)
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (::sched_getaffinity(0, sizeof(allowed), &allowed) == 0) {
        processors = static_cast<unsigned>(CPU_COUNT(&allowed));
    }
#endif
    const ControlGroupTexts texts;
    if (texts.cgroups && texts.mounts) {
        const std::optional<unsigned> quota = control_groups::processorQuota(
            *texts.cgroups, *texts.mounts, control_groups::readWholeFile);
        processors = std::min(processors, quota.value_or(processors));
    }
    return std::max(processors, 1U);
}

Status canRead(const std::string& path)
{
    // Without waiting for a writer, should the name be a pipe.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return lastError();
    }
    ::close(descriptor);
    return {};
}

}  // namespace platform
