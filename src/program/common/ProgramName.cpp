#include "common/ProgramName.h"

namespace {

// Set before any other thread starts, and never again.
std::string_view nameSet = "fraction";

}  // namespace

void setProgramName(std::string_view name) noexcept
{
    nameSet = name;
}

std::string_view programName() noexcept
{
    return nameSet;
}
