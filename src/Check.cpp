#include "Check.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

const char* programName() noexcept
{
#if defined(__GLIBC__)
    return program_invocation_short_name;
#else
    return "fraction";
#endif
}

}  // namespace

void checkFailed(const char* expression, const char* file, int line, const char* function) noexcept
{
    // stdio rather than iostreams: this runs on the way down and must not
    // depend on the state of std::cout or std::cerr.
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s:%d: %s: Assertion `%s' failed.\n", programName(), file, line,
                 function, expression);
    std::abort();
}
