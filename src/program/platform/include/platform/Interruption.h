#pragma once

#include <cstddef>

#include "platform/Platform.h"

// What a run cut short by a signal (Ctrl-C, kill, a closed terminal, a
// reader gone from a pipe) must undo before it ends: the temporary files it
// has made, and the progress line on the terminal.
//
// All of it is prepared before it may be needed, so that the undoing does
// only what a signal handler may do: it reads lock-free atomics, unlinks
// names whose bytes are already in place, and writes bytes already made to
// standard error. It allocates nothing, takes no lock and touches no
// stream.
namespace interruption {

// Starts watching for the signals, once, at the start of the program.
void install();

// While it lives, the file `name` in `directory` is removed if the program
// is ended by a signal. The caller keeps both unchanged meanwhile.
//
// The places for names are made before any signal can need them, and are
// few: more at once than that is an error the caller is told of, never a
// file silently left.
class RemovedOnInterruption {
public:
    RemovedOnInterruption(const platform::Directory& where, const char* file) noexcept;
    RemovedOnInterruption(const RemovedOnInterruption&) = delete;
    RemovedOnInterruption& operator=(const RemovedOnInterruption&) = delete;
    ~RemovedOnInterruption();

    // False when every place was taken: then a signal would leave the file,
    // which the caller must not make, or remove at once.
    [[nodiscard]] bool registered() const noexcept;

    // Removes the file now. Safe in a signal handler.
    void removeAtOnce() const noexcept;

private:
    const platform::Directory& directory;
    const char* const name;
    // The index of the place the name holds; none when every place was
    // taken.
    std::size_t place;
};

// The progress line on standard error is `width` characters wide now; 0
// once it is erased.
void progressLineShown(std::size_t width) noexcept;

// What the handler does: removes every registered file and erases the
// progress line. Exposed so that it can be tested without a signal.
void undo() noexcept;

}  // namespace interruption
