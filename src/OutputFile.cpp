#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Beyond this many links in a chain the name is treated as unwritable, as
// the system does (ELOOP).
constexpr int kMaxSymlinkHops = 40;

std::string systemError(int error)
{
    return std::strerror(error);
}

// The file a name finally refers to, following symbolic links, so that the
// rename replaces the file and not the link. Empty for a loop of links.
std::string resolveLinks(const std::string& name)
{
    fs::path path(name);
    for (int hop = 0; hop < kMaxSymlinkHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error))) {
            return path.string();
        }
        const fs::path target = fs::read_symlink(path, error);
        if (error) {
            return {};
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return {};
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

OutputFile::OutputFile(const std::string& name) : targetPath(resolveLinks(name))
{
    if (targetPath.empty()) {
        return;
    }
    std::error_code error;
    const fs::file_status status = fs::status(targetPath, error);
    if (fs::is_directory(status)) {
        return;
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        out.open(targetPath, std::ios::binary | std::ios::out | std::ios::trunc);
        return;
    }
    const bool replacesExisting = fs::exists(status);
    if (replacesExisting) {
        // The rename must not get round a permission that opening the file
        // for writing would respect, so open it (without truncating) first.
        const int probe = ::open(targetPath.c_str(), O_WRONLY | O_CLOEXEC);
        if (probe < 0) {
            return;
        }
        ::close(probe);
    }
    openTemporaryBeside(targetPath, replacesExisting);
}

bool OutputFile::openTemporaryBeside(const std::string& target, bool replacesExisting)
{
    const fs::path targetName(target);
    const fs::path directory = targetName.parent_path();
    const std::string pattern =
        (directory / ("." + targetName.filename().string() + ".XXXXXX")).string();
    std::vector<char> temporaryName(pattern.begin(), pattern.end());
    temporaryName.push_back('\0');
    const int descriptor = ::mkstemp(temporaryName.data());
    if (descriptor < 0) {
        return false;
    }
    temporaryPath = temporaryName.data();

    // The replacement takes the old file's permissions; a new file gets
    // those that creating it directly would have given.
    struct stat existing {};
    const mode_t mode = replacesExisting && ::stat(target.c_str(), &existing) == 0
                            ? (existing.st_mode & 07777U)
                            : (0666U & ~currentUmask());
    const bool permissionsSet = ::fchmod(descriptor, mode) == 0;
    ::close(descriptor);
    if (!permissionsSet) {
        return false;
    }
    out.open(temporaryPath, std::ios::binary | std::ios::out | std::ios::trunc);
    return out.is_open();
}

OutputFile::~OutputFile()
{
    if (!temporaryPath.empty()) {
        std::error_code ignored;
        fs::remove(temporaryPath, ignored);
    }
}

bool OutputFile::isOpen() const
{
    return out.is_open();
}

std::ostream& OutputFile::stream()
{
    return out;
}

std::string OutputFile::finish()
{
    errno = 0;
    out.flush();
    const int flushError = errno;
    if (!out) {
        return "cannot write: " + systemError(flushError != 0 ? flushError : EIO);
    }
    out.close();
    if (out.fail()) {
        return "cannot write: " + systemError(errno != 0 ? errno : EIO);
    }
    if (temporaryPath.empty()) {
        return {};
    }
    // Make the new contents durable before they replace the old ones.
    const int descriptor = ::open(temporaryPath.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = descriptor >= 0 && ::fsync(descriptor) == 0;
    const int syncError = errno;
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    if (!synced) {
        return "cannot write: " + systemError(syncError);
    }
    std::error_code renameError;
    fs::rename(temporaryPath, targetPath, renameError);
    if (renameError) {
        return "cannot replace the file: " + renameError.message();
    }
    temporaryPath.clear();
    return {};
}
