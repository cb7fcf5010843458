#include "OutputFile.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Beyond this many links in a chain the name is treated as unwritable, as
// the system does (ELOOP).
constexpr int kMaxSymlinkHops = 40;

constexpr std::size_t kBlockSize = std::size_t{16} * 1024;

// The file a name finally refers to, following symbolic links, so that the
// replacement takes the place of the file and not of the link. Empty for a
// loop of links.
std::optional<std::string> resolveLinks(const std::string& name)
{
    fs::path path(name);
    for (int hop = 0; hop < kMaxSymlinkHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error))) {
            return path.string();
        }
        const fs::path target = fs::read_symlink(path, error);
        if (error) {
            return std::nullopt;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return std::nullopt;
}

std::string describe(std::errc error)
{
    return std::make_error_code(error).message();
}

}  // namespace

OutputFile::FileBuffer::FileBuffer(platform::WritableFile& target) : file(target), block(kBlockSize)
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

OutputFile::OutputFile(const std::string& name, Links links)
{
    if (links == Links::follow) {
        openFollowingLinks(name);
    } else {
        openReplacingName(name);
    }
}

OutputFile::OutputFile(platform::StandardStream stream)
    : file(platform::WritableFile::standardStream(stream))
{
}

void OutputFile::openFollowingLinks(const std::string& name)
{
    // The system takes an empty name for no file at all.
    if (name.empty()) {
        failure = describe(std::errc::no_such_file_or_directory);
        return;
    }
    // The system judges the name first, as opening it would, before any
    // work: a name too long, a loop of links, or a link it will not follow.
    const platform::NameLookup reached = platform::lookUp(name);
    if (!reached.refusal.empty()) {
        failure = reached.refusal;
        return;
    }
    std::error_code error;
    const fs::file_status status = fs::status(name, error);
    if (fs::is_directory(status)) {
        failure = describe(std::errc::is_a_directory);
        return;
    }
    const bool exists = fs::exists(status);
    // Streams are opened by the name given: a link such as /dev/stdout may
    // lead to something that has no name of its own (a pipe).
    if (exists) {
        if (const auto held = platform::standardStreamBehind(name)) {
            file = platform::WritableFile::standardStream(*held);
            return;
        }
        if (!fs::is_regular_file(status)) {
            targetPath = name;
            openInPlace();
            return;
        }
    }
    const std::optional<std::string> resolved = resolveLinks(name);
    if (!resolved) {
        failure = describe(std::errc::too_many_symbolic_link_levels);
        return;
    }
    targetPath = *resolved;
    // Following the links here must reach no file that the name itself
    // does not: the very file it reaches, or none where it reaches none.
    const platform::NameLookup resolvedReached = platform::lookUp(targetPath);
    if (!resolvedReached.refusal.empty() || resolvedReached.file != reached.file) {
        failure = resolvedReached.refusal.empty() ? describe(std::errc::permission_denied)
                                                  : resolvedReached.refusal;
        return;
    }
    if (exists) {
        if (fs::hard_link_count(targetPath, error) > 1) {
            openInPlace();
            return;
        }
        // The replacement must not get round a permission that opening the
        // file for writing would respect.
        failure = platform::writeRefusal(targetPath);
        if (!failure.empty()) {
            return;
        }
    }
    bool refused = false;
    if (!openTemporary(exists, refused) && exists && refused) {
        // The file may be written though its directory takes no new file
        // (/proc answers such a file with its own reason when written).
        failure.clear();
        openInPlace();
    }
}

void OutputFile::openReplacingName(const std::string& name)
{
    targetPath = name;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(targetPath, error);
    if (fs::is_directory(status)) {
        failure = describe(std::errc::is_a_directory);
        return;
    }
    const bool replacesFile = fs::is_regular_file(status);
    if (replacesFile) {
        failure = platform::writeRefusal(targetPath);
        if (!failure.empty()) {
            return;
        }
    }
    bool refused = false;
    openTemporary(replacesFile, refused);
}

void OutputFile::Temporary::take(std::string&& newPath) noexcept
{
    name = std::move(newPath);
    removal.emplace(name.c_str());
}

void OutputFile::Temporary::drop() noexcept
{
    if (!name.empty()) {
        platform::remove(name);
        release();
    }
}

void OutputFile::Temporary::release() noexcept
{
    removal.reset();
    name.clear();
}

bool OutputFile::openTemporary(bool replacesExisting, bool& refused)
{
    platform::OpenFailure openError;
    platform::WritableFile created;
    {
        // A signal between the file's making and its name's handing over
        // would leave the file: it waits until the name is handed over.
        const platform::TerminationDeferred deferred;
        std::string path;
        created = platform::WritableFile::createBeside(targetPath, path, openError);
        if (created.isOpen()) {
            temporary.take(std::move(path));
        }
    }
    if (!created.isOpen()) {
        failure = openError.reason;
        refused = openError.permissionDenied || openError.takesNoNewFile;
        return false;
    }
    // The replacement takes the old file's permissions and owner; a new file
    // gets those that creating it directly would have given.
    failure = created.takePermissions(replacesExisting ? targetPath : std::string());
    if (failure.empty() && replacesExisting) {
        failure = created.takeOwner(targetPath);
    }
    if (!failure.empty()) {
        created = platform::WritableFile();
        temporary.drop();
        return false;
    }
    file = std::move(created);
    return true;
}

void OutputFile::openInPlace()
{
    platform::OpenFailure openError;
    file = platform::WritableFile::openInPlace(targetPath, openError);
    failure = openError.reason;
}

OutputFile::~OutputFile() = default;

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
    return !temporary.empty();
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
    if (!temporary.empty()) {
        const std::string error = file.flushToDisk();
        if (!error.empty()) {
            return "cannot write: " + error;
        }
    }
    const std::string closeError = file.close();
    if (!closeError.empty()) {
        return "cannot write: " + closeError;
    }
    if (temporary.empty()) {
        return {};
    }
    const std::string replaceError = platform::replace(temporary.path(), targetPath);
    if (!replaceError.empty()) {
        return "cannot replace the file: " + replaceError;
    }
    temporary.release();
    return {};
}
