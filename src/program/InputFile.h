#pragma once

#include <fstream>
#include <string>

// Opens the file `name` for reading in binary mode. Returns an empty string
// when `file` is open, or else the system's reason ("No such file or
// directory", "Is a directory", "Permission denied").
[[nodiscard]] std::string openInputFile(const std::string& name, std::ifstream& file);
