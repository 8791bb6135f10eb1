#pragma once

#include <string>
#include <vector>

namespace tkw::cli {

// Exit codes of tarnwick-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCancelled = 1;
inline constexpr int kExitFailed = 2;
inline constexpr int kExitDamaged = 3;
// The run finished, but files asked for were left out (could not be read or written, no room,
// failed).
inline constexpr int kExitLeftOut = 4;
inline constexpr int kExitUsage = 64;

// Runs one command line (the arguments after the program name); the process's exit code.
int Run(const std::vector<std::string>& arguments);

}  // namespace tkw::cli
