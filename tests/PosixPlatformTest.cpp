// What the POSIX side of the platform interface learns from Linux's /proc,
// and how it holds the termination signals back. Each /proc case mounts its
// own /proc/meminfo in a mount namespace of its own, which needs root:
// elsewhere it is skipped.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace {

// /proc/meminfo holding `text`, for this process alone, while it lives.
class OwnMeminfo {
public:
    explicit OwnMeminfo(const std::string& text)
        : file(std::filesystem::temp_directory_path() / ("meminfo-" + std::to_string(::getpid())))
    {
        std::ofstream(file) << text;
        // Private first, so that the mount below reaches no other namespace.
        mounted = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                  ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                  ::mount(file.c_str(), "/proc/meminfo", nullptr, MS_BIND, nullptr) == 0;
    }
    OwnMeminfo(const OwnMeminfo&) = delete;
    OwnMeminfo& operator=(const OwnMeminfo&) = delete;
    ~OwnMeminfo()
    {
        if (mounted) {
            ::umount2("/proc/meminfo", 0);
        }
        std::filesystem::remove(file);
    }

    [[nodiscard]] bool isMounted() const noexcept { return mounted; }

private:
    std::filesystem::path file;
    bool mounted = false;
};

std::uint64_t physicalMemory()
{
    return static_cast<std::uint64_t>(::sysconf(_SC_PHYS_PAGES)) *
           static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

TEST(PosixMemoryLimits, TheAvailableMemoryIsWhatMeminfoSays)
{
    const OwnMeminfo meminfo("MemTotal:        2000000 kB\nMemAvailable:       1234 kB\n");
    if (!meminfo.isMounted()) {
        GTEST_SKIP() << "mounting over /proc/meminfo needs root and a mount namespace";
    }
    EXPECT_EQ(platform::memoryLimits().systemAvailable, std::uint64_t{1234} * 1024);
}

// Kernels before 3.14 write no MemAvailable line; an unreadable one is no
// better. The system's count of free pages stands in.
TEST(PosixMemoryLimits, WithoutAReadableMemAvailableTheFreePagesCount)
{
    for (const char* text : {"MemTotal:        2000000 kB\nMemFree:            1234 kB\n",
                             "MemAvailable:    plenty kB\n"}) {
        const OwnMeminfo meminfo(text);
        if (!meminfo.isMounted()) {
            GTEST_SKIP() << "mounting over /proc/meminfo needs root and a mount namespace";
        }
        const std::optional<std::uint64_t> available = platform::memoryLimits().systemAvailable;
        ASSERT_TRUE(available.has_value()) << text;
        EXPECT_GT(*available, std::uint64_t{1234} * 1024) << text;
        EXPECT_LE(*available, physicalMemory()) << text;
    }
}

// The processors counted are those the affinity mask allows, not all the
// machine has: a job pinned to one processor gets one thread.
TEST(PosixProcessors, TheAffinityMaskBoundsTheProcessors)
{
    cpu_set_t before;
    ASSERT_EQ(::sched_getaffinity(0, sizeof(before), &before), 0);
    std::size_t first = 0;
    while (first < CPU_SETSIZE && !CPU_ISSET(first, &before)) {
        ++first;
    }
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(::sched_setaffinity(0, sizeof(one), &one), 0);
    const unsigned pinned = platform::processorsAvailable();
    ::sched_setaffinity(0, sizeof(before), &before);
    EXPECT_EQ(pinned, 1U);
    EXPECT_LE(platform::processorsAvailable(), static_cast<unsigned>(CPU_COUNT(&before)));
}

volatile std::sig_atomic_t hangupsArrived = 0;

extern "C" void countHangup(int /*signalNumber*/)
{
    hangupsArrived = hangupsArrived + 1;
}

// The end-to-end tests show that no signal leaves a file; what they cannot
// show is that a signal held by whoever started the program stays held.
TEST(PosixTermination, ASignalWaitsUntilTheDeferralEndsAndOneHeldBeforeStaysHeld)
{
    struct sigaction counting {};
    counting.sa_handler = countHangup;
    ::sigemptyset(&counting.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGHUP, &counting, &previous), 0);
    {
        const platform::TerminationDeferred deferred;
        ::raise(SIGHUP);
        // cppcheck-suppress unreachableCode ; the held signal returns here
        EXPECT_EQ(hangupsArrived, 0);
    }
    EXPECT_EQ(hangupsArrived, 1);

    sigset_t hangup;
    ::sigemptyset(&hangup);
    ::sigaddset(&hangup, SIGHUP);
    sigset_t before;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &hangup, &before), 0);
    {
        const platform::TerminationDeferred deferred;
    }
    ::raise(SIGHUP);
    // cppcheck-suppress unreachableCode ; the blocked signal returns here
    EXPECT_EQ(hangupsArrived, 1);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    EXPECT_EQ(hangupsArrived, 2);
    ::sigaction(SIGHUP, &previous, nullptr);
}

void sayUndone() noexcept
{
    platform::writeToErrorsAtOnce("undone\n", 7);
}

// A runtime may run the handler late, from inside a call made after the
// interrupted code blocked the signal (ThreadSanitizer does). The handler
// must still end the process there, not leave the signal waiting to end it
// later without the handler.
TEST(PosixTermination, TheHandlerEndsTheProcessEvenWhenItsSignalIsHeld)
{
    EXPECT_EXIT(
        {
            platform::onTermination(&sayUndone);
            sigset_t interrupt;
            ::sigemptyset(&interrupt);
            ::sigaddset(&interrupt, SIGINT);
            ::pthread_sigmask(SIG_BLOCK, &interrupt, nullptr);
            struct sigaction installed {};
            ::sigaction(SIGINT, nullptr, &installed);
            installed.sa_handler(SIGINT);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "undone");
}

}  // namespace
