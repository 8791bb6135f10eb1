#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tkw {

// The arguments the process was started with, program path first (read from the kernel, so it
// needs nothing from main()).
std::vector<std::string> GetParametersOfCurrentProcess();

// Full path of the running program file, symbolic links resolved; empty when it cannot be found.
std::filesystem::path GetProgramPath();

// The folder that holds the running program file.
std::filesystem::path GetProgramDirectory();

}  // namespace tkw
