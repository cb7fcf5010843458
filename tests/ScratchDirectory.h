#pragma once

#include <cstddef>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

// A fresh directory of a test's own under the system's temporary
// directory, removed with everything in it.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::random_device seed;
        do {
            path = std::filesystem::temp_directory_path() /
                   ("fraction-test-" + std::to_string(seed()));
        } while (!std::filesystem::create_directory(path));
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }

    [[nodiscard]] std::string name() const { return path.string(); }
    // The path of `file` in the directory.
    [[nodiscard]] std::string operator/(const std::string& file) const
    {
        return (path / file).string();
    }
    [[nodiscard]] std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path),
                                                      std::filesystem::directory_iterator()));
    }

private:
    std::filesystem::path path;
};
