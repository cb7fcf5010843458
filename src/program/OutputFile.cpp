#include "OutputFile.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Beyond this many links in a chain the name is treated as unwritable, as
// the system does (ELOOP).
constexpr int kMaxSymlinkHops = 40;

// The file a name finally refers to, following symbolic links, so that the
// replacement takes the place of the file and not of the link. Empty for a
// loop of links.
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

}  // namespace

OutputFile::FileBuffer::FileBuffer(platform::WritableFile& target) : file(target)
{
    setp(block.data(), block.data() + block.size());
}

bool OutputFile::FileBuffer::writeOut(const char* data, std::size_t size)
{
    if (!error.empty()) {
        return false;
    }
    error = file.write(data, size);
    return error.empty();
}

bool OutputFile::FileBuffer::drain()
{
    const auto pending = static_cast<std::size_t>(pptr() - pbase());
    setp(block.data(), block.data() + block.size());
    return pending == 0 || writeOut(block.data(), pending);
}

OutputFile::FileBuffer::int_type OutputFile::FileBuffer::overflow(int_type character)
{
    if (!drain()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(character, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(character);
        pbump(1);
    }
    return traits_type::not_eof(character);
}

std::streamsize OutputFile::FileBuffer::xsputn(const char* data, std::streamsize size)
{
    // Large pieces go straight to the file rather than through the block.
    if (size < static_cast<std::streamsize>(block.size())) {
        return std::streambuf::xsputn(data, size);
    }
    if (!drain() || !writeOut(data, static_cast<std::size_t>(size))) {
        return 0;
    }
    return size;
}

int OutputFile::FileBuffer::sync()
{
    return drain() ? 0 : -1;
}

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
        file = platform::WritableFile::openInPlace(targetPath);
        return;
    }
    const bool replacesExisting = fs::exists(status);
    // The replacement must not get round a permission that opening the file
    // for writing would respect.
    if (replacesExisting && !platform::canWrite(targetPath)) {
        return;
    }
    platform::WritableFile temporary =
        platform::WritableFile::createBeside(targetPath, temporaryPath);
    if (!temporary.isOpen()) {
        return;
    }
    // The replacement takes the old file's permissions; a new file gets
    // those that creating it directly would have given.
    if (!temporary.takePermissions(replacesExisting ? targetPath : std::string()).empty()) {
        return;
    }
    file = std::move(temporary);
}

OutputFile::~OutputFile()
{
    if (!temporaryPath.empty()) {
        // Closed first: some systems cannot remove a file that is open.
        file = platform::WritableFile();
        std::error_code ignored;
        fs::remove(temporaryPath, ignored);
    }
}

bool OutputFile::isOpen() const
{
    return file.isOpen();
}

std::ostream& OutputFile::stream()
{
    return out;
}

bool OutputFile::canRewriteStart() const
{
    return !temporaryPath.empty();
}

std::string OutputFile::rewriteStart(const char* data, std::size_t size)
{
    out.flush();
    if (!buffer.firstError().empty()) {
        return "cannot write: " + buffer.firstError();
    }
    const std::string error = file.writeAt(0, data, size);
    return error.empty() ? error : "cannot write: " + error;
}

std::string OutputFile::finish()
{
    out.flush();
    if (!buffer.firstError().empty()) {
        return "cannot write: " + buffer.firstError();
    }
    // Make the new contents durable before they replace the old ones.
    if (!temporaryPath.empty()) {
        const std::string error = file.flushToDisk();
        if (!error.empty()) {
            return "cannot write: " + error;
        }
    }
    const std::string closeError = file.close();
    if (!closeError.empty()) {
        return "cannot write: " + closeError;
    }
    if (temporaryPath.empty()) {
        return {};
    }
    const std::string replaceError = platform::replace(temporaryPath, targetPath);
    if (!replaceError.empty()) {
        return "cannot replace the file: " + replaceError;
    }
    temporaryPath.clear();
    return {};
}
