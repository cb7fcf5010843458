#pragma once

#include <istream>
#include <string>

// Why reading `in` stopped short: the system's reason where the stream met
// an error (a device's, a directory read as a file), else `atEnd`, which
// describes the end it met. Asked right after the read, while the system's
// error number is still that read's.
[[nodiscard]] std::string shortReadReason(const std::istream& in, std::string atEnd);
