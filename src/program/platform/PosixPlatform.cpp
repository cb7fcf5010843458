// The platform interface on POSIX systems.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace platform {

namespace {

std::string lastError()
{
    return std::strerror(errno);
}

int descriptorOf(std::intptr_t handle) noexcept
{
    return static_cast<int>(handle);
}

// Offsets past 2 GiB must reach the system whole, also on 32-bit targets.
static_assert(sizeof(off_t) >= sizeof(std::int64_t), "build with _FILE_OFFSET_BITS=64");

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

bool isTerminal(StandardStream stream) noexcept
{
    switch (stream) {
        case StandardStream::input:
            return ::isatty(STDIN_FILENO) == 1;
        case StandardStream::output:
            return ::isatty(STDOUT_FILENO) == 1;
        case StandardStream::error:
            return ::isatty(STDERR_FILENO) == 1;
    }
    return false;
}

const char* endOfInputKeys() noexcept
{
    return "Ctrl-D";
}

void useBinaryStandardStreams() noexcept {}

WritableFile WritableFile::openInPlace(const std::string& path)
{
    return WritableFile(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
}

WritableFile WritableFile::createBeside(const std::string& target, std::string& path)
{
    const std::filesystem::path targetPath(target);
    std::string hiddenName = ".";
    hiddenName += targetPath.filename().string();
    hiddenName += ".XXXXXX";
    const std::string pattern = (targetPath.parent_path() / hiddenName).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int descriptor = ::mkstemp(name.data());
    if (descriptor < 0) {
        path.clear();
        return {};
    }
    path = name.data();
    return WritableFile(descriptor);
}

bool WritableFile::isOpen() const noexcept
{
    return handle >= 0;
}

std::string WritableFile::write(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(descriptorOf(handle), data, size);
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

std::string WritableFile::writeAt(std::uint64_t offset, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written =
            ::pwrite(descriptorOf(handle), data, size, static_cast<off_t>(offset));
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

std::string WritableFile::flushToDisk()
{
    return ::fsync(descriptorOf(handle)) == 0 ? std::string() : lastError();
}

std::string WritableFile::takePermissions(const std::string& model)
{
    struct stat existing {};
    mode_t mode = 0666U & ~currentUmask();
    if (!model.empty()) {
        if (::stat(model.c_str(), &existing) != 0) {
            return lastError();
        }
        mode = existing.st_mode & 07777U;
    }
    return ::fchmod(descriptorOf(handle), mode) == 0 ? std::string() : lastError();
}

std::string WritableFile::close()
{
    const int descriptor = descriptorOf(std::exchange(handle, kClosed));
    return ::close(descriptor) == 0 ? std::string() : lastError();
}

void WritableFile::discard() noexcept
{
    if (isOpen()) {
        ::close(descriptorOf(std::exchange(handle, kClosed)));
    }
}

bool canWrite(const std::string& path)
{
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    ::close(descriptor);
    return true;
}

std::string replace(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? std::string() : lastError();
}

TemporaryFile TemporaryFile::create(const std::string& directory, std::string& error)
{
#ifdef O_TMPFILE
    // A file that never had a name: not even SIGKILL can leave it behind.
    const int unnamed = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        return TemporaryFile(unnamed);
    }
    // File systems without unnamed files say so in one of these ways; any
    // other answer is the directory's own trouble.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        error = lastError();
        return {};
    }
#endif
    const std::string pattern = (std::filesystem::path(directory) / ".fraction-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor < 0) {
        error = lastError();
        return {};
    }
    if (::unlink(name.data()) != 0) {
        error = lastError();
        ::close(descriptor);
        return {};
    }
    return TemporaryFile(descriptor);
}

bool TemporaryFile::isOpen() const noexcept
{
    return handle >= 0;
}

std::string TemporaryFile::writeAt(std::uint64_t offset, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written =
            ::pwrite(descriptorOf(handle), data, size, static_cast<off_t>(offset));
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

std::string TemporaryFile::readAt(std::uint64_t offset, char* data, std::size_t size,
                                  std::size_t& got)
{
    got = 0;
    while (got < size) {
        const ssize_t read =
            ::pread(descriptorOf(handle), data + got, size - got, static_cast<off_t>(offset + got));
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
    return {};
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
    return limits;
}

}  // namespace platform
