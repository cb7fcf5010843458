// Fault injection for the test build of the programs, in place of
// src/program/platform/NoInjectedFailures.cpp.
//
//   FRACTION_FAULT=OPERATION:K[:WHAT]
//
// makes the K-th call of OPERATION (create, tmpfile, write, read, flush,
// dirsync, chmod, chown, close, rename, remove, allocate, input) fail with WHAT: EIO (the
// default), ENOSPC, EACCES, EPERM, EINTR (a call a signal interrupted),
// or EOPNOTSUPP, EISDIR or EINVAL (a file system without unnamed files, for
// tmpfile). WHAT may instead be "stop": the process then
// stops itself (SIGSTOP) at that call and carries on normally once
// continued, so that a test can signal it at a known moment. "allocate"
// counts every call of operator new from the start of the process.
//
// Nothing here may allocate through operator new: it serves operator new.

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

#if defined(__linux__)
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "ReplacedAllocation.h"
#include "platform/Platform.h"

namespace {

using platform::Operation;

struct NamedOperation {
    std::string_view name;
    Operation operation;
};

constexpr std::array kOperations = {
    NamedOperation{"create", Operation::create},
    NamedOperation{"tmpfile", Operation::createUnnamed},
    NamedOperation{"write", Operation::write},
    NamedOperation{"read", Operation::read},
    NamedOperation{"input", Operation::readInput},
    NamedOperation{"flush", Operation::flushToDisk},
    NamedOperation{"dirsync", Operation::flushDirectory},
    NamedOperation{"chmod", Operation::copyPermissions},
    NamedOperation{"chown", Operation::copyOwner},
    NamedOperation{"close", Operation::close},
    NamedOperation{"rename", Operation::rename},
    NamedOperation{"remove", Operation::remove},
    NamedOperation{"allocate", Operation::allocate},
};

struct NamedError {
    std::string_view name;
    int error;
};

constexpr std::array kErrors = {
    NamedError{"EIO", EIO},       NamedError{"ENOSPC", ENOSPC},
    NamedError{"EACCES", EACCES}, NamedError{"EPERM", EPERM},
    NamedError{"EINTR", EINTR},   NamedError{"EISDIR", EISDIR},
    NamedError{"EINVAL", EINVAL}, NamedError{"EOPNOTSUPP", EOPNOTSUPP},
};

// A stop instead of an error.
constexpr int kStop = -1;

struct Plan {
    bool active = false;
    Operation operation = Operation::create;
    unsigned long failingCall = 0;
    int error = EIO;
};

// Counted on every thread that calls: the report allocates on several.
std::atomic<unsigned long> calls{0};

// Read from the environment without allocating; a plan that cannot be
// read stops the test run at once rather than testing nothing.
Plan readPlan() noexcept
{
    Plan parsed;
    const char* const text = std::getenv("FRACTION_FAULT");
    if (text == nullptr || *text == '\0') {
        return parsed;
    }
    const std::string_view whole(text);
    const std::size_t firstColon = whole.find(':');
    bool known = false;
    for (const NamedOperation& named : kOperations) {
        if (whole.substr(0, firstColon) == named.name) {
            parsed.operation = named.operation;
            known = true;
        }
    }
    char* afterNumber = nullptr;
    parsed.failingCall = firstColon == std::string_view::npos
                             ? 0
                             : std::strtoul(text + firstColon + 1, &afterNumber, 10);
    if (!known || parsed.failingCall == 0) {
        std::abort();
    }
    if (*afterNumber == ':') {
        const std::string_view what(afterNumber + 1);
        bool knownError = what == "stop";
        parsed.error = kStop;
        for (const NamedError& named : kErrors) {
            if (what == named.name) {
                parsed.error = named.error;
                knownError = true;
            }
        }
        if (!knownError) {
            std::abort();
        }
    }
    parsed.active = true;
    return parsed;
}

Plan& plan() noexcept
{
    static Plan thePlan = readPlan();
    return thePlan;
}

}  // namespace

namespace platform {

int injectedFailure(Operation operation) noexcept
{
    const Plan& current = plan();
    if (!current.active || operation != current.operation ||
        calls.fetch_add(1) + 1 != current.failingCall) {
        return 0;
    }
    if (current.error == kStop) {
        std::raise(SIGSTOP);
        return 0;
    }
    return current.error;
}

}  // namespace platform

#if defined(__linux__)
// "input" reaches the standard library's own reads of the input (a file
// stream's, or standard input's once it is not tied to C's stdio), which
// call read(): this definition takes the place of the C library's. The
// files of /proc and /sys, which tell a size of 0, are read as always and
// not counted.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" ssize_t read(int descriptor, void* data, std::size_t size)
{
    struct stat status {};
    const bool counted =
        ::fstat(descriptor, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISDIR(status.st_mode) ||
                                              (S_ISREG(status.st_mode) && status.st_size > 0));
    if (counted) {
        const int error = platform::injectedFailure(platform::Operation::readInput);
        if (error != 0) {
            errno = error;
            return -1;
        }
    }
    return ::syscall(SYS_read, descriptor, data, size);
}
#endif

// "allocate" reaches every allocation, the standard library's too.
bool allocationFails(std::size_t /*size*/) noexcept
{
    return platform::injectedFailure(platform::Operation::allocate) != 0;
}
