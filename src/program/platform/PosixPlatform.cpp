// The platform interface on POSIX systems.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
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

}  // namespace platform
