#include "Check.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

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
    // Whatever the program printed before the failure comes first, by
    // either route to standard output. The report itself goes through
    // stdio, which needs nothing of the iostreams' state on the way down.
    std::cout.flush();
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s:%d: %s: Assertion `%s' failed.\n", programName(), file, line,
                 function, expression);
    std::abort();
}
