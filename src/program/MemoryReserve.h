#pragma once

// Makes sure that a failed allocation can always be reported.
//
// A failed allocation throws std::bad_alloc, and throwing needs memory of
// its own; the standard library keeps an emergency pool for that, but the
// pool itself may be what a tight address-space limit denied at start, and
// the exception then ends the program in std::terminate. So a reserve is
// set aside at start and given back just before std::bad_alloc is thrown
// for the first time, which leaves room for the exception, the stack's
// unwinding and the message.
namespace memoryReserve {

// Sets the reserve aside and installs the handler that gives it back. False
// when not even the reserve can be had: the program cannot run at all.
[[nodiscard]] bool prepare();

}  // namespace memoryReserve
