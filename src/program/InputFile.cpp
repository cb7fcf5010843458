#include "InputFile.h"

#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

Status openInputFile(const std::string& name, std::ifstream& file)
{
    std::error_code ignored;
    // A directory opens on some systems but can never be read.
    if (std::filesystem::is_directory(name, ignored)) {
        return Failure(std::make_error_code(std::errc::is_a_directory).message());
    }
    file.open(name, std::ios::binary | std::ios::in);
    if (file.is_open()) {
        return {};
    }
    const Status readable = platform::canRead(name);
    // Opened by the system but refused by the stream: rare enough to need
    // no words of the system's.
    return readable ? Status(Failure("cannot be read")) : readable;
}

bool inputHasSize(const std::string& name)
{
    if (name.empty()) {
        return platform::isRegularFile(platform::StandardStream::input);
    }
    std::error_code ignored;
    return std::filesystem::is_regular_file(name, ignored);
}

StreamOnly::StreamOnly(std::istream& source) : std::istream(nullptr), buffer(source.rdbuf())
{
    rdbuf(&buffer);
}

std::string describeTrailingBytes(std::int32_t count)
{
    if (count < 0) {
        return "ignoring the bytes after the count " + std::to_string(count) +
               ", which means no records";
    }
    return "ignoring the bytes after the " + std::to_string(count) +
           (count == 1 ? " counted record" : " counted records");
}
