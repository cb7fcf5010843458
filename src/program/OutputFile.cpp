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
    if (!error) {
        return false;
    }
    error = file.write(data, size);
    return error.ok();
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

Result<std::unique_ptr<OutputFile>> OutputFile::open(const std::string& name, Links links)
{
    auto output = std::make_unique<OutputFile>(Opening{});
    const Status opened =
        links == Links::follow ? output->openFollowingLinks(name) : output->openReplacingName(name);
    if (!opened) {
        return opened.failure();
    }
    return output;
}

OutputFile::OutputFile(platform::StandardStream stream)
    : file(platform::WritableFile::standardStream(stream))
{
}

Status OutputFile::openFollowingLinks(const std::string& name)
{
    // The system takes an empty name for no file at all.
    if (name.empty()) {
        return Failure(describe(std::errc::no_such_file_or_directory));
    }
    // The system judges the name first, as opening it would, before any
    // work: a name too long, a loop of links, or a link it will not follow.
    const Result<std::optional<platform::FileIdentity>> reached = platform::lookUp(name);
    if (!reached) {
        return reached.status();
    }
    std::error_code error;
    const fs::file_status status = fs::status(name, error);
    if (fs::is_directory(status)) {
        return Failure(describe(std::errc::is_a_directory));
    }
    const bool exists = fs::exists(status);
    // Streams are opened by the name given: a link such as /dev/stdout may
    // lead to something that has no name of its own (a pipe).
    if (exists) {
        if (const auto held = platform::standardStreamBehind(name)) {
            file = platform::WritableFile::standardStream(*held);
            return {};
        }
        if (!fs::is_regular_file(status)) {
            targetPath = name;
            return openInPlace();
        }
    }
    const std::optional<std::string> resolved = resolveLinks(name);
    if (!resolved) {
        return Failure(describe(std::errc::too_many_symbolic_link_levels));
    }
    targetPath = *resolved;
    // Following the links here must reach no file that the name itself
    // does not: the very file it reaches, or none where it reaches none.
    const Result<std::optional<platform::FileIdentity>> resolvedReached =
        platform::lookUp(targetPath);
    if (!resolvedReached) {
        return resolvedReached.status();
    }
    if (resolvedReached.value() != reached.value()) {
        return Failure(describe(std::errc::permission_denied));
    }
    if (exists) {
        if (fs::hard_link_count(targetPath, error) > 1) {
            return openInPlace();
        }
        // The replacement must not get round a permission that opening the
        // file for writing would respect.
        Status writable = platform::canWrite(targetPath);
        if (!writable) {
            return writable;
        }
    }
    platform::OpenedFile created = temporary.create(targetPath);
    if (!created) {
        const platform::OpenFailure& refusal = created.failure();
        if (exists && (refusal.permissionDenied() || refusal.takesNoNewFile())) {
            // The file may be written though its directory takes no new
            // file (/proc answers such a file with its own reason when
            // written).
            return openInPlace();
        }
        return created.status();
    }
    return keepTemporary(std::move(created).value(), exists);
}

Status OutputFile::openReplacingName(const std::string& name)
{
    targetPath = name;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(targetPath, error);
    if (fs::is_directory(status)) {
        return Failure(describe(std::errc::is_a_directory));
    }
    const bool replacesFile = fs::is_regular_file(status);
    if (replacesFile) {
        Status writable = platform::canWrite(targetPath);
        if (!writable) {
            return writable;
        }
    }
    platform::OpenedFile created = temporary.create(targetPath);
    if (!created) {
        return created.status();
    }
    return keepTemporary(std::move(created).value(), replacesFile);
}

platform::OpenedFile OutputFile::Temporary::create(const std::string& target)
{
    Result<platform::Directory, platform::OpenFailure> held = platform::Directory::holding(target);
    if (!held) {
        return held.failure();
    }
    directory = std::move(held).value();
    targetName = fs::path(target).filename().string();
    // A signal between the file's making and its name's handing over would
    // leave the file: it waits until the name is handed over.
    const platform::TerminationDeferred deferred;
    platform::OpenedFile created = directory.createBeside(targetName, name);
    if (created) {
        removal.emplace(directory, name.c_str());
        if (!removal->registered()) {
            // Closed before it is removed: some systems cannot remove an
            // open file.
            static_cast<void>(created.value().close());
            drop();
            return platform::OpenFailure("too many temporary files at once", false);
        }
    }
    return created;
}

Status OutputFile::Temporary::replaceTarget()
{
    Status replaced = directory.replace(name, targetName);
    if (!replaced) {
        return Failure("cannot replace the file: " + replaced.reason());
    }
    release();
    // Once the program says the file is written, a crash must not bring
    // back the old one. The new file is in place already: what failed is
    // said as such, not as a write that did not happen.
    const Status flushed = directory.flushToDisk();
    if (!flushed) {
        return Failure("replaced, but a crash may undo it: " + flushed.reason());
    }
    return {};
}

void OutputFile::Temporary::drop() noexcept
{
    if (!name.empty()) {
        directory.remove(name.c_str());
        release();
    }
}

void OutputFile::Temporary::release() noexcept
{
    removal.reset();
    name.clear();
}

Status OutputFile::keepTemporary(platform::WritableFile created, bool replacesExisting)
{
    // The replacement takes the old file's permissions and owner; a new file
    // gets those that creating it directly would have given.
    Status taken = created.takePermissions(replacesExisting ? targetPath : std::string());
    if (taken && replacesExisting) {
        taken = created.takeOwner(targetPath);
    }
    if (!taken) {
        created = platform::WritableFile();
        temporary.drop();
        return taken;
    }
    file = std::move(created);
    return {};
}

Status OutputFile::openInPlace()
{
    platform::OpenedFile opened = platform::WritableFile::openInPlace(targetPath);
    if (!opened) {
        return opened.status();
    }
    file = std::move(opened).value();
    return {};
}

OutputFile::~OutputFile() = default;

std::ostream& OutputFile::stream()
{
    return out;
}

bool OutputFile::canRewriteStart() const
{
    return !temporary.empty();
}

Status OutputFile::rewriteStart(const char* data, std::size_t size)
{
    out.flush();
    if (!buffer.firstError()) {
        return Failure("cannot write: " + buffer.firstError().reason());
    }
    const Status written = file.writeAt(0, data, size);
    if (!written) {
        return Failure("cannot write: " + written.reason());
    }
    return {};
}

Status OutputFile::finish()
{
    out.flush();
    if (!buffer.firstError()) {
        return Failure("cannot write: " + buffer.firstError().reason());
    }
    // Make the new contents durable before they replace the old ones.
    if (!temporary.empty()) {
        const Status flushed = file.flushToDisk();
        if (!flushed) {
            return Failure("cannot write: " + flushed.reason());
        }
    }
    const Status closed = file.close();
    if (!closed) {
        return Failure("cannot write: " + closed.reason());
    }
    if (temporary.empty()) {
        return {};
    }
    return temporary.replaceTarget();
}
