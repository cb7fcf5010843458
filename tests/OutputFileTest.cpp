// The output file, the undoing of an interrupted run and the platform calls
// beneath them, where an end-to-end run cannot reach: refusals, large
// pieces, a run abandoned half-way, a closed standard error, another user.
// POSIX only (descriptors, links, users).

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "OutputFile.h"
#include "ScratchDirectory.h"
#include "platform/Interruption.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace {

std::string contentsOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& contents)
{
    std::ofstream(path, std::ios::binary) << contents;
}

// Runs `body` with standard error going to the file `path`.
template <typename Body>
void withErrorsTo(const std::string& path, Body body)
{
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    std::FILE* const file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ::dup2(::fileno(file), STDERR_FILENO);
    body();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::fclose(file);
}

TEST(Interruption, UndoRemovesTheFilesRegisteredNowAndNoOthers)
{
    const ScratchDirectory directory;
    const std::string kept = directory / "kept";
    const std::string removed = directory / "removed";
    writeFile(kept, "kept");
    writeFile(removed, "removed");
    const Result<platform::Directory, platform::OpenFailure> held =
        platform::Directory::holding(kept);
    ASSERT_TRUE(held.ok());
    const interruption::RemovedOnInterruption registered(held.value(), "removed");
    {
        const interruption::RemovedOnInterruption released(held.value(), "kept");
    }
    interruption::undo();
    EXPECT_FALSE(fs::exists(removed));
    EXPECT_EQ(contentsOf(kept), "kept");
}

// The programs hold two temporary files at most; the table promises room
// for several more, so that a new writer never finds it full.
TEST(Interruption, EightFilesRegisteredAtOnceAreAllRemoved)
{
    constexpr int kPromised = 8;
    const ScratchDirectory directory;
    const Result<platform::Directory, platform::OpenFailure> held =
        platform::Directory::holding(directory / "any");
    ASSERT_TRUE(held.ok());
    std::vector<std::string> names;
    for (int index = 0; index < kPromised; ++index) {
        names.push_back("file" + std::to_string(index));
        writeFile(directory / names.back(), "x");
    }
    std::vector<std::unique_ptr<interruption::RemovedOnInterruption>> registered;
    for (const std::string& name : names) {
        registered.push_back(
            std::make_unique<interruption::RemovedOnInterruption>(held.value(), name.c_str()));
        EXPECT_TRUE(registered.back()->registered()) << name;
    }
    interruption::undo();
    for (const std::string& name : names) {
        EXPECT_FALSE(fs::exists(directory / name)) << name;
    }
}

// A file that finds no place is an error its writer hears of, which it
// passes on, removing the file: never a file a signal would leave.
TEST(Interruption, ARegistrationPastTheLastPlaceSaysSoAndTheWriterRefuses)
{
    const ScratchDirectory directory;
    const Result<platform::Directory, platform::OpenFailure> held =
        platform::Directory::holding(directory / "any");
    ASSERT_TRUE(held.ok());
    std::vector<std::unique_ptr<interruption::RemovedOnInterruption>> registered;
    constexpr std::size_t kFarMore = 1000;
    while (registered.size() < kFarMore) {
        registered.push_back(
            std::make_unique<interruption::RemovedOnInterruption>(held.value(), "unused"));
        if (!registered.back()->registered()) {
            break;
        }
    }
    ASSERT_LT(registered.size(), kFarMore);
    const Result<std::unique_ptr<OutputFile>> output = OutputFile::open(directory / "out");
    ASSERT_FALSE(output.ok());
    EXPECT_EQ(output.status().reason(), "too many temporary files at once");
    EXPECT_EQ(directory.entries(), 0U);
    registered.clear();
    EXPECT_TRUE(OutputFile::open(directory / "out").ok());
}

TEST(Interruption, UndoErasesTheProgressLineOnce)
{
    const ScratchDirectory directory;
    const std::string captured = directory / "errors";
    withErrorsTo(captured, [] {
        interruption::progressLineShown(40);
        interruption::undo();
        interruption::undo();
    });
    EXPECT_EQ(contentsOf(captured), "\r" + std::string(40, ' ') + "\r");
}

TEST(OutputFile, RefusesADirectoryWithTheReason)
{
    const ScratchDirectory directory;
    for (const auto links : {OutputFile::Links::follow, OutputFile::Links::replace}) {
        const Result<std::unique_ptr<OutputFile>> output =
            OutputFile::open(directory.name(), links);
        ASSERT_FALSE(output.ok());
        EXPECT_EQ(output.reason(), "Is a directory");
    }
}

TEST(OutputFile, RefusesALoopOfLinksWithTheReason)
{
    const ScratchDirectory directory;
    fs::create_symlink("b", directory / "a");
    fs::create_symlink("a", directory / "b");
    const Result<std::unique_ptr<OutputFile>> output = OutputFile::open(directory / "a");
    ASSERT_FALSE(output.ok());
    EXPECT_EQ(output.reason(), "Too many levels of symbolic links");
    EXPECT_EQ(directory.entries(), 2U);
}

TEST(OutputFile, APieceLargerThanItsBlockArrivesWhole)
{
    const ScratchDirectory directory;
    const std::string large(std::size_t{100} * 1024, 'x');
    Result<std::unique_ptr<OutputFile>> opened = OutputFile::open(directory / "large");
    ASSERT_TRUE(opened.ok()) << opened.reason();
    OutputFile& output = *opened.value();
    output.stream() << "head ";
    output.stream().write(large.data(), static_cast<std::streamsize>(large.size()));
    EXPECT_TRUE(output.finish().ok());
    EXPECT_EQ(contentsOf(directory / "large"), "head " + large);
    EXPECT_EQ(directory.entries(), 1U);
}

TEST(OutputFile, ALargePieceThatCannotBeWrittenIsReported)
{
    const std::string large(std::size_t{100} * 1024, 'x');
    Result<std::unique_ptr<OutputFile>> opened = OutputFile::open("/dev/full");
    ASSERT_TRUE(opened.ok()) << opened.reason();
    OutputFile& output = *opened.value();
    output.stream().write(large.data(), static_cast<std::streamsize>(large.size()));
    EXPECT_EQ(output.finish().reason(), "cannot write: No space left on device");
}

TEST(OutputFile, AnAbandonedFileLeavesTheOldOneAndNoTemporary)
{
    const ScratchDirectory directory;
    writeFile(directory / "old", "old contents");
    {
        Result<std::unique_ptr<OutputFile>> opened = OutputFile::open(directory / "old");
        ASSERT_TRUE(opened.ok()) << opened.reason();
        OutputFile& output = *opened.value();
        output.stream() << "new contents";
        output.stream().flush();
        EXPECT_EQ(directory.entries(), 2U);
    }
    EXPECT_EQ(contentsOf(directory / "old"), "old contents");
    EXPECT_EQ(directory.entries(), 1U);
}

TEST(OutputFile, AStandardStreamIsWrittenAfterWhatItHolds)
{
    const ScratchDirectory directory;
    const std::string captured = directory / "errors";
    Status finished = Failure("not finished");
    withErrorsTo(captured, [&finished] {
        platform::writeToErrorsAtOnce("before ", 7);
        OutputFile output(platform::StandardStream::error);
        output.stream() << "written";
        finished = output.finish();
        platform::writeToErrorsAtOnce(" after", 6);
    });
    EXPECT_TRUE(finished.ok());
    EXPECT_EQ(contentsOf(captured), "before written after");
}

TEST(Platform, AMissingNameIsNoStandardStream)
{
    EXPECT_FALSE(platform::standardStreamBehind("/no/such/file").has_value());
}

// With standard error closed, nothing is behind it, and writing to it
// returns at once.
TEST(Platform, AClosedStandardErrorIsNoStream)
{
    const ScratchDirectory directory;
    writeFile(directory / "file", "");
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::close(STDERR_FILENO);
    platform::writeToErrorsAtOnce("lost", 4);
    const bool found = platform::standardStreamBehind(directory / "file").has_value();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    EXPECT_FALSE(found);
}

// Where the coverage build keeps its counts, which a process that dies of
// a signal would otherwise never write; absent from other builds.
extern "C" void __gcov_dump() __attribute__((weak));  // NOLINT(bugprone-reserved-identifier)

void keepCoverageCounts() noexcept
{
    if (__gcov_dump != nullptr) {
        __gcov_dump();
    }
}

// What the handler does after undoing: the process ends by the signal it
// got, which its parent sees.
TEST(Platform, ATerminationSignalUndoesThenEndsTheProcessByItself)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::onTermination(&keepCoverageCounts);
        ::raise(SIGHUP);
        // cppcheck-suppress unreachableCode ; reached when the signal fails to end the child
        std::_Exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGHUP);
}

// A signal ignored before the handlers are installed stays ignored.
TEST(Platform, AnIgnoredSignalStaysIgnored)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGHUP, SIG_IGN);
        platform::onTermination(&keepCoverageCounts);
        ::raise(SIGHUP);
        // cppcheck-suppress unreachableCode ; the ignored signal returns here
        std::exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

// Another user may not give a file to root: the replacement then keeps
// what it may, and that is no error.
TEST(Platform, TakingTheOwnerKeepsWhatTheUserMay)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root, to become another user";
    }
    const ScratchDirectory directory;
    ::chmod(directory.name().c_str(), 0777);
    const std::string model = directory / "roots";
    writeFile(model, "root's");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            std::exit(2);
        }
        std::string name;
        const Result<platform::Directory, platform::OpenFailure> held =
            platform::Directory::holding(model);
        if (!held) {
            std::exit(1);
        }
        platform::OpenedFile file = held.value().createBeside(model, name);
        const bool kept = file.ok() && file.value().takeOwner(model).ok();
        if (file) {
            static_cast<void>(file.value().close());
        }
        std::exit(kept ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
