// The platform interface on Windows.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace platform {

namespace {

// Attempts at a free temporary name before giving up.
constexpr int kTemporaryNameAttempts = 100;

std::string describe(DWORD error)
{
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string description = length > 0 ? std::string(text, length) : std::string();
    ::LocalFree(text);
    // The system's messages end in ". \r\n"; a message quoted after a colon
    // reads better without.
    while (!description.empty() && (description.back() == '\n' || description.back() == '\r' ||
                                    description.back() == '.' || description.back() == ' ')) {
        description.pop_back();
    }
    if (description.empty()) {
        description = "error ";
        description += std::to_string(error);
    }
    return description;
}

Failure lastError()
{
    return Failure(describe(::GetLastError()));
}

HANDLE handleOf(std::intptr_t handle) noexcept
{
    // Kept as an integer so that one member serves a descriptor and a HANDLE.
    return reinterpret_cast<HANDLE>(handle);  // NOLINT(performance-no-int-to-ptr)
}

std::intptr_t nativeOf(HANDLE handle) noexcept
{
    return reinterpret_cast<std::intptr_t>(handle);
}

// File names arrive as bytes in the system's code page, as the standard
// file streams take them.
std::wstring wide(const std::string& name)
{
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    std::wstring converted(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), converted.data(),
                          length);
    return converted;
}

// The path of the file `name` in the directory `directory`.
std::string inside(const std::string& directory, const std::string& name)
{
    return (std::filesystem::path(directory) / name).string();
}

// Others may read the file meanwhile, and a temporary file may be deleted
// while open (by the console's control handler), going once it is closed.
HANDLE openForWriting(const std::string& path, DWORD disposition)
{
    return ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

OpenFailure openFailure()
{
    const DWORD error = ::GetLastError();
    return {describe(error), error == ERROR_ACCESS_DENIED};
}

// The longest name of one directory entry.
constexpr std::size_t kLongestName = 255;

bool sameFile(HANDLE a, HANDLE b) noexcept
{
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return ::GetFileInformationByHandle(a, &first) != 0 &&
           ::GetFileInformationByHandle(b, &second) != 0 &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// Set once, before the handler that calls it is installed.
void (*undoOnTermination)() noexcept = nullptr;

// The handler runs on a thread of its own while the program goes on: held
// by a TerminationDeferred, this keeps it from undoing before a file just
// made has its name handed over. The handler takes it for good, so that
// nothing new is made between the undoing and the end.
SRWLOCK makingNamedFile = SRWLOCK_INIT;

BOOL WINAPI endByControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    ::AcquireSRWLockExclusive(&makingNamedFile);
    undoOnTermination();
    // The status the system gives a process ended by Ctrl-C.
    ::ExitProcess(STATUS_CONTROL_C_EXIT);
}

HANDLE standardHandle(StandardStream stream) noexcept
{
    DWORD which = STD_INPUT_HANDLE;
    if (stream == StandardStream::output) {
        which = STD_OUTPUT_HANDLE;
    } else if (stream == StandardStream::error) {
        which = STD_ERROR_HANDLE;
    }
    return ::GetStdHandle(which);
}

}  // namespace

bool isTerminal(StandardStream stream) noexcept
{
    DWORD mode = 0;
    return ::GetConsoleMode(standardHandle(stream), &mode) != 0;
}

bool isRegularFile(StandardStream stream) noexcept
{
    return ::GetFileType(standardHandle(stream)) == FILE_TYPE_DISK;
}

Result<std::optional<FileIdentity>> lookUp(const std::string& path)
{
    HANDLE named =
        ::CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return std::optional<FileIdentity>();
        }
        return Failure(describe(error));
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileInformationByHandle(named, &information) == 0) {
        Failure failure = lastError();
        ::CloseHandle(named);
        return failure;
    }
    ::CloseHandle(named);
    return std::optional<FileIdentity>(FileIdentity{
        information.dwVolumeSerialNumber,
        (std::uint64_t{information.nFileIndexHigh} << 32U) | information.nFileIndexLow});
}

std::optional<StandardStream> standardStreamBehind(const std::string& path)
{
    HANDLE named =
        ::CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::optional<StandardStream> found;
    if (sameFile(named, ::GetStdHandle(STD_OUTPUT_HANDLE))) {
        found = StandardStream::output;
    } else if (sameFile(named, ::GetStdHandle(STD_ERROR_HANDLE))) {
        found = StandardStream::error;
    }
    ::CloseHandle(named);
    return found;
}

void onTermination(void (*undo)() noexcept)
{
    undoOnTermination = undo;
    ::SetConsoleCtrlHandler(endByControl, TRUE);
}

TerminationDeferred::TerminationDeferred() noexcept
{
    ::AcquireSRWLockExclusive(&makingNamedFile);
}

TerminationDeferred::~TerminationDeferred()
{
    // Windows has no signals to hold.
    static_cast<void>(heldBefore);
    ::ReleaseSRWLockExclusive(&makingNamedFile);
}

const char* reserveStandardDescriptors() noexcept
{
    // Files are opened as handles, and the C runtime keeps its numbers 0 to
    // 2 for the standard streams whether they exist or not: nothing opened
    // can take a standard stream's place.
    return nullptr;
}

void writeToErrorsAtOnce(const char* data, std::size_t size) noexcept
{
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), data, static_cast<DWORD>(size), &written,
                nullptr);
}

OpenedFile WritableFile::openInPlace(const std::string& path)
{
    HANDLE handle = openForWriting(path, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        return openFailure();
    }
    // Emptied as the POSIX side's O_TRUNC does; a device or pipe has no end
    // to set.
    if (::GetFileType(handle) == FILE_TYPE_DISK) {
        ::SetEndOfFile(handle);
    }
    return WritableFile(nativeOf(handle));
}

WritableFile WritableFile::standardStream(StandardStream stream) noexcept
{
    const DWORD which = stream == StandardStream::error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    return WritableFile(nativeOf(::GetStdHandle(which)), false);
}

bool WritableFile::isOpen() const noexcept
{
    return handleOf(handle) != INVALID_HANDLE_VALUE;
}

Status WritableFile::write(const char* data, std::size_t size)
{
    constexpr std::size_t kLargestWrite = 1U << 30U;
    while (size > 0) {
        const auto piece = static_cast<DWORD>(size < kLargestWrite ? size : kLargestWrite);
        DWORD written = 0;
        if (::WriteFile(handleOf(handle), data, piece, &written, nullptr) == 0) {
            return lastError();
        }
        data += written;
        size -= written;
    }
    return {};
}

Status WritableFile::writeAt(std::uint64_t offset, const char* data, std::size_t size)
{
    // A write at an explicit offset leaves the file pointer where it was,
    // as pwrite does.
    LARGE_INTEGER here{};
    const LARGE_INTEGER none{};
    if (::SetFilePointerEx(handleOf(handle), none, &here, FILE_CURRENT) == 0) {
        return lastError();
    }
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32U);
        DWORD written = 0;
        if (::WriteFile(handleOf(handle), data, static_cast<DWORD>(size), &written, &at) == 0) {
            return lastError();
        }
        data += written;
        size -= written;
        offset += written;
    }
    if (::SetFilePointerEx(handleOf(handle), here, nullptr, FILE_BEGIN) == 0) {
        return lastError();
    }
    return {};
}

Status WritableFile::flushToDisk()
{
    if (::FlushFileBuffers(handleOf(handle)) == 0) {
        return lastError();
    }
    return {};
}

Status WritableFile::takePermissions(const std::string& /*model*/)
{
    // Windows keeps no permission bits to carry over; a new file gets the
    // access its directory grants, as one created directly would.
    return {};
}

Status WritableFile::takeOwner(const std::string& /*model*/)
{
    // A file belongs to whoever creates it; the access its directory grants
    // is what it inherits.
    return {};
}

Status WritableFile::close()
{
    HANDLE closing = handleOf(std::exchange(handle, kClosed));
    if (!owned) {
        return {};
    }
    if (::CloseHandle(closing) == 0) {
        return lastError();
    }
    return {};
}

void WritableFile::discard() noexcept
{
    if (isOpen() && owned) {
        ::CloseHandle(handleOf(handle));
    }
    handle = kClosed;
}

Status canWrite(const std::string& path)
{
    HANDLE handle = openForWriting(path, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    ::CloseHandle(handle);
    return {};
}

Result<Directory, OpenFailure> Directory::holding(const std::string& target)
{
    // Windows has no handle to name files by: the directory's path serves.
    Directory directory;
    directory.path = std::filesystem::path(target).parent_path().string();
    return directory;
}

OpenedFile Directory::createBeside(const std::string& model, std::string& name) const
{
    // Unique enough with the process and the clock; CREATE_NEW refuses a
    // name that is taken, and the next attempt tries another.
    const unsigned long long seed =
        (static_cast<unsigned long long>(::GetCurrentProcessId()) << 32U) ^ ::GetTickCount64();
    std::string shownName = std::filesystem::path(model).filename().string();
    // Room for the dot in front and the dot and six digits behind.
    constexpr std::size_t kRoom = kLongestName - 8;
    if (shownName.size() > kRoom) {
        shownName.resize(kRoom);
    }
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::string hiddenName = ".";
        hiddenName += shownName;
        hiddenName += '.';
        hiddenName += std::to_string((seed + static_cast<unsigned long long>(attempt)) % 1000000U);
        HANDLE created = openForWriting(inside(path, hiddenName), CREATE_NEW);
        if (created != INVALID_HANDLE_VALUE) {
            // Moved, not copied: nothing may fail once the file exists.
            name = std::move(hiddenName);
            return WritableFile(nativeOf(created));
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    OpenFailure failure = openFailure();
    name.clear();
    return failure;
}

Status Directory::replace(const std::string& from, const std::string& to) const
{
    const bool moved =
        ::MoveFileExW(wide(inside(path, from)).c_str(), wide(inside(path, to)).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!moved) {
        return lastError();
    }
    return {};
}

Status Directory::flushToDisk() const
{
    // MOVEFILE_WRITE_THROUGH has made the rename durable already.
    return {};
}

bool Directory::remove(const char* name) const noexcept
{
    try {
        return ::DeleteFileA(inside(path, name).c_str()) != 0;
    } catch (...) {
        return false;
    }
}

void Directory::removeAtOnce(const char* name) const noexcept
{
    // The console's handler runs on a thread of its own, where allocating
    // is allowed.
    static_cast<void>(remove(name));
}

void Directory::discard() noexcept
{
    handle = kClosed;
    path.clear();
}

const char* endOfInputKeys() noexcept
{
    return "Ctrl-Z and Enter";
}

void useBinaryStandardStreams() noexcept
{
    // Binary mode: the same bytes as on every other system, "\n" line ends
    // included, rather than the console's "\r\n".
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

Result<TemporaryFile> TemporaryFile::create(const std::string& directory)
{
    // The system deletes the file when its handle closes, also when the
    // process is ended from outside.
    const unsigned long long seed =
        (static_cast<unsigned long long>(::GetCurrentProcessId()) << 32U) ^ ::GetTickCount64();
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string name =
            "fraction-" +
            std::to_string((seed + static_cast<unsigned long long>(attempt)) % 1000000U) + ".tmp";
        const std::string candidate = (std::filesystem::path(directory) / name).string();
        HANDLE handle = ::CreateFileW(
            wide(candidate).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            return TemporaryFile(nativeOf(handle));
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    return lastError();
}

bool TemporaryFile::isOpen() const noexcept
{
    return handleOf(handle) != INVALID_HANDLE_VALUE;
}

Status TemporaryFile::writeAt(std::uint64_t offset, const char* data, std::size_t size)
{
    constexpr std::size_t kLargestWrite = 1U << 30U;
    while (size > 0) {
        const auto piece = static_cast<DWORD>(size < kLargestWrite ? size : kLargestWrite);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32U);
        DWORD written = 0;
        if (::WriteFile(handleOf(handle), data, piece, &written, &at) == 0) {
            return lastError();
        }
        data += written;
        size -= written;
        offset += written;
    }
    return {};
}

void TemporaryFile::adviseReadSoon(std::uint64_t /*offset*/, std::size_t /*size*/) const noexcept
{
    // Windows takes no advice on a range of a file: its cache manager's own
    // read-ahead is all there is.
}

Result<std::size_t> TemporaryFile::readAt(std::uint64_t offset, char* data, std::size_t size)
{
    constexpr std::size_t kLargestRead = 1U << 30U;
    std::size_t got = 0;
    while (got < size) {
        const std::size_t wanted = size - got;
        const auto piece = static_cast<DWORD>(wanted < kLargestRead ? wanted : kLargestRead);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + got);
        at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32U);
        DWORD read = 0;
        if (::ReadFile(handleOf(handle), data + got, piece, &read, &at) == 0) {
            if (::GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            return lastError();
        }
        if (read == 0) {
            break;
        }
        got += read;
    }
    return got;
}

void TemporaryFile::discard() noexcept
{
    if (isOpen()) {
        ::CloseHandle(handleOf(std::exchange(handle, kClosed)));
    }
}

std::string systemTemporaryDirectory()
{
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::temp_directory_path(error);
    return error ? std::string(".") : directory.string();
}

MemoryLimits memoryLimits()
{
    MemoryLimits limits;
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (::GlobalMemoryStatusEx(&status) != 0) {
        limits.addressSpaceLeft = status.ullAvailVirtual;
        limits.systemAvailable = status.ullAvailPhys;
        limits.physicalMemory = status.ullTotalPhys;
    }
    return limits;
}

std::optional<std::uint64_t> controlGroupMemoryLeft()
{
    return std::nullopt;  // Windows has job objects, which report no room left
}

void adviseLargeBlock(void* /*start*/, std::size_t /*size*/) noexcept
{
    // Large pages on Windows need a privilege that a user seldom holds.
}

unsigned processorsAvailable()
{
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    if (::GetProcessAffinityMask(::GetCurrentProcess(), &processMask, &systemMask) != 0 &&
        processMask != 0) {
        unsigned processors = 0;
        for (; processMask != 0; processMask &= processMask - 1) {
            ++processors;
        }
        return processors;
    }
    return 1;
}

Status canRead(const std::string& path)
{
    HANDLE handle =
        ::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    ::CloseHandle(handle);
    return {};
}

}  // namespace platform
