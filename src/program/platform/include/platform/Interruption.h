#pragma once

#include <cstddef>

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

// While it lives, the file `path` is removed if the program is ended by a
// signal. The caller keeps the name's bytes unchanged meanwhile.
class RemovedOnInterruption {
public:
    explicit RemovedOnInterruption(const char* path) noexcept;
    RemovedOnInterruption(const RemovedOnInterruption&) = delete;
    RemovedOnInterruption& operator=(const RemovedOnInterruption&) = delete;
    ~RemovedOnInterruption();

private:
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
