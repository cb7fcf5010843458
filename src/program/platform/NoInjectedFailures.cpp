// The programs as shipped: no call is ever made to fail on purpose. The
// test build links tests/FaultInjection.cpp in this file's place.

#include "platform/Platform.h"

namespace platform {

int injectedFailure(Operation /*operation*/) noexcept
{
    return 0;
}

}  // namespace platform
