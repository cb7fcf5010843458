#pragma once

// A check that stays live in every build, NDEBUG included, and reports a
// failure in the standard assertion facility's form before aborting:
//   program: file:line: function: Assertion `expression' failed.
// The expression is evaluated exactly once.

#if defined(__GNUC__)
#define FRACTION_CHECK_FUNCTION __PRETTY_FUNCTION__
#else
#define FRACTION_CHECK_FUNCTION __func__
#endif

#define FRACTION_CHECK(expression)       \
    ((expression) ? static_cast<void>(0) \
                  : checkFailed(#expression, __FILE__, __LINE__, FRACTION_CHECK_FUNCTION))

[[noreturn]] void checkFailed(const char* expression, const char* file, int line,
                              const char* function) noexcept;
