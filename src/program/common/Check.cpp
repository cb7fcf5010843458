#include "common/Check.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "common/ProgramName.h"

void checkFailed(const char* expression, const char* file, int line, const char* function) noexcept
{
    // Whatever the program printed before the failure comes first, by
    // either route to standard output. The report itself goes through
    // stdio, which needs nothing of the iostreams' state on the way down.
    std::cout.flush();
    std::fflush(stdout);
    const std::string_view name = programName();
    std::fprintf(stderr, "%.*s: %s:%d: %s: Assertion `%s' failed.\n", static_cast<int>(name.size()),
                 name.data(), file, line, function, expression);
    std::abort();
}
